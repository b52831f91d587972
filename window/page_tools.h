// What the window offers for the page in front beyond browsing: its
// information, saving it whole or as a picture, and the engine's inspector.
// Reached from the window's keys and the page's context menu.
#pragma once

typedef struct _WebKitContextMenu WebKitContextMenu;
typedef struct _WebKitHitTestResult WebKitHitTestResult;
class TFormHTML;

void ShowPageInformation(TFormHTML& form);
void SavePage(TFormHTML& form);
void SavePicture(TFormHTML& form);
void InspectPage(TFormHTML& form);
// Whether the inspector can be opened: the developer tools are on.
bool CanInspect(TFormHTML& form);

// The page menu's items: "ページの情報", and "要素を調査" for the element
// under the pointer in place of the engine's own.
void PageInfoMenuPart(TFormHTML& form, WebKitContextMenu* menu, WebKitHitTestResult* hit);
void InspectMenuPart(TFormHTML& form, WebKitContextMenu* menu, WebKitHitTestResult* hit);
