#include "window/encoding_menu.h"

#include <webkit2/webkit2.h>

#include <array>
#include <string>

#include "encoding/page_encoding.h"
#include "window/form_html.h"

namespace {

struct Choice {
  const char* label;
  const char* charset;  // empty: the detection
};

constexpr std::array<Choice, 6> kChoices{{
    {"自動判別", ""},
    {"UTF-8", "UTF-8"},
    {"Shift_JIS", "Shift_JIS"},
    {"EUC-JP", "EUC-JP"},
    {"ISO-2022-JP", "ISO-2022-JP"},
    {"西欧 (windows-1252)", "windows-1252"},
}};

// What an item does: the view it is for, held while the menu is.
struct Target {
  WebKitWebView* view;
  const char* charset;
};

void Activate(GSimpleAction*, GVariant*, gpointer data) {
  auto* target = static_cast<Target*>(data);
  ChooseEncoding(target->view, target->charset);
}

void FreeTarget(gpointer data, GClosure*) {
  auto* target = static_cast<Target*>(data);
  g_object_unref(target->view);
  delete target;
}

}  // namespace

void AddEncodingMenu(TFormHTML& form, WebKitContextMenu* menu, WebKitHitTestResult*) {
  WebKitWebView* view = form.CppWebBrowser1->View();
  const std::string chosen = ChosenEncoding(view);
  WebKitContextMenu* submenu = webkit_context_menu_new();
  // The engine keeps a menu's actions by name: each item needs its own.
  static unsigned items = 0;
  for (const Choice& choice : kChoices) {
    const std::string name = "tavorin-encoding-" + std::to_string(++items);
    GSimpleAction* action = g_simple_action_new_stateful(
        name.c_str(), nullptr, g_variant_new_boolean(chosen == choice.charset));
    g_simple_action_set_enabled(action, EncodingChoosable(view));
    g_signal_connect_data(action, "activate", G_CALLBACK(Activate),
                          new Target{WEBKIT_WEB_VIEW(g_object_ref(view)), choice.charset},
                          FreeTarget, GConnectFlags(0));
    webkit_context_menu_append(submenu, webkit_context_menu_item_new_from_gaction(
                                            G_ACTION(action), choice.label, nullptr));
    g_object_unref(action);  // the item holds it
  }
  webkit_context_menu_append(menu,
                             webkit_context_menu_item_new_with_submenu("文字コード", submenu));
}
