#include "window/page_menu.h"

#include <webkit2/webkit2.h>

#include <string>
#include <vector>

#include "browser/page_hooks.h"
#include "window/encoding_menu.h"
#include "window/form_html.h"
#include "window/page_tools.h"
#include "window/settings_command.h"

namespace {

// Adds one feature's items to the menu of a page of the window.
using MenuPart = void (*)(TFormHTML&, WebKitContextMenu*, WebKitHitTestResult*);

const std::vector<MenuPart>& Parts() {
  // Each feature's items, in the order they appear.
  static const std::vector<MenuPart> parts = {
      PageInfoMenuPart,
      AddEncodingMenu,
      InspectMenuPart,
      AddSettingsItem,
  };
  return parts;
}

struct Chosen {
  TFormHTML* form;
  void (*command)(TFormHTML&);
};

void Activate(GSimpleAction*, GVariant*, gpointer data) {
  auto* chosen = static_cast<Chosen*>(data);
  chosen->command(*chosen->form);
}

void FreeChosen(gpointer data, GClosure*) { delete static_cast<Chosen*>(data); }

gboolean Fill(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult* hit,
              gpointer) {
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view));
  auto* form = GTK_IS_WINDOW(top) ? dynamic_cast<TFormHTML*>(Glib::wrap(GTK_WINDOW(top))) : nullptr;
  if (form == nullptr || Parts().empty()) return FALSE;
  webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
  for (MenuPart part : Parts()) part(*form, menu, hit);
  return FALSE;  // the engine shows it
}

}  // namespace

void AppendPageMenuItem(WebKitContextMenu* menu, TFormHTML& form, const char* label,
                        void (*command)(TFormHTML&)) {
  // The engine keeps a menu's actions by name: each item needs its own.
  static unsigned items = 0;
  const std::string name = "tavorin-page-item-" + std::to_string(++items);
  GSimpleAction* action = g_simple_action_new(name.c_str(), nullptr);
  g_signal_connect_data(action, "activate", G_CALLBACK(Activate), new Chosen{&form, command},
                        FreeChosen, GConnectFlags(0));
  webkit_context_menu_append(
      menu, webkit_context_menu_item_new_from_gaction(G_ACTION(action), label, nullptr));
  g_object_unref(action);  // the item holds it
}

void AttachPageMenu() {
  AddViewHook([](WebKitWebView* view, Gtk::Box&) {
    g_signal_connect(view, "context-menu", G_CALLBACK(Fill), nullptr);
  });
}
