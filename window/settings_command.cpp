#include "window/settings_command.h"

#include "history/history_window.h"
#include "settings/settings_window.h"
#include "window/form_html.h"
#include "window/page_menu.h"

void ShowSettings(TFormHTML& form) {
  OpenSettingsWindow(form, [&form] { return form.CppWebBrowser1->LocationURL().ToUtf8(); });
}

void AddSettingsItem(TFormHTML& form, WebKitContextMenu* menu, WebKitHitTestResult*) {
  AppendPageMenuItem(menu, form, "設定…", ShowSettings);
}

void OfferSettingsInHistory() {
  THistoryWindow::SetSettingsOpener([](Gtk::Window& history) {
    auto* form = dynamic_cast<TFormHTML*>(history.get_transient_for());
    if (form != nullptr) ShowSettings(*form);
  });
}
