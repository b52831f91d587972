// The settings window as the browser window reaches it: Ctrl+, and 「設定…」
// in the page's context menu and in the history window.
#pragma once

typedef struct _WebKitContextMenu WebKitContextMenu;
typedef struct _WebKitHitTestResult WebKitHitTestResult;
class TFormHTML;

// Opens the settings window of `form`; 「現在のページを使用」 takes its page.
void ShowSettings(TFormHTML& form);
// The page menu's 「設定…」.
void AddSettingsItem(TFormHTML& form, WebKitContextMenu* menu, WebKitHitTestResult* hit);
// The history window's 「設定…」 opens the settings of the window it belongs to.
void OfferSettingsInHistory();
