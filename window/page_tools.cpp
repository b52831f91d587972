#include "window/page_tools.h"

#include <webkit2/webkit2.h>

#include "browser/developer_tools.h"
#include "downloads/page_save.h"
#include "page_info/page_info_window.h"
#include "window/form_html.h"
#include "window/page_menu.h"
#include "window/private_window.h"

namespace {

constexpr char kInspectLabel[] = "要素を調査";

// The engine's own item, in English, goes: ours takes its place.
void RemoveEngineInspect(WebKitContextMenu* menu) {
  for (GList* item = webkit_context_menu_get_items(menu); item != nullptr; item = item->next) {
    auto* entry = static_cast<WebKitContextMenuItem*>(item->data);
    if (webkit_context_menu_item_get_stock_action(entry) ==
        WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT) {
      webkit_context_menu_remove(menu, entry);
      return;
    }
  }
}

}  // namespace

void ShowPageInformation(TFormHTML& form) {
  TPageInfoWindow::Show(form, form.CppWebBrowser1->View());
}

void SavePage(TFormHTML& form) {
  TellPageSaved(form);
  SavePageWhole(form.CppWebBrowser1->View(), *form.CppWebBrowser1);
}

void SavePicture(TFormHTML& form) {
  TellPageSaved(form);
  SavePagePicture(form.CppWebBrowser1->View(), *form.CppWebBrowser1);
}

void InspectPage(TFormHTML& form) { ShowInspector(form.CppWebBrowser1->View()); }

bool CanInspect(TFormHTML&) { return DeveloperTools(); }

void PageInfoMenuPart(TFormHTML& form, WebKitContextMenu* menu, WebKitHitTestResult*) {
  AppendPageMenuItem(menu, form, "ページの情報", ShowPageInformation);
}

void InspectMenuPart(TFormHTML&, WebKitContextMenu* menu, WebKitHitTestResult*) {
  RemoveEngineInspect(menu);
  if (!DeveloperTools()) return;
  webkit_context_menu_append(menu, webkit_context_menu_item_new_from_stock_action_with_label(
                                       WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT, kInspectLabel));
}
