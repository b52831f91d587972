// The page's context menu: the engine's own items, then the window's. The
// window has no menu bar, so what it offers beyond its buttons is reached
// from here and from its keys.
#pragma once

typedef struct _WebKitContextMenu WebKitContextMenu;
typedef struct _WebKitHitTestResult WebKitHitTestResult;
class TFormHTML;

// The window's items in the menu of every page of every window; once, with
// the other features (see window/features.h).
void AttachPageMenu();
// An item that runs `command` on `form` when chosen; appended to `menu`.
void AppendPageMenuItem(WebKitContextMenu* menu, TFormHTML& form, const char* label,
                        void (*command)(TFormHTML&));
