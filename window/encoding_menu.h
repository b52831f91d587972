// 「文字コード」 in the page's context menu: the detection or one encoding,
// the one in force marked; see encoding/page_encoding.h.
#pragma once

typedef struct _WebKitContextMenu WebKitContextMenu;
typedef struct _WebKitHitTestResult WebKitHitTestResult;
class TFormHTML;

void AddEncodingMenu(TFormHTML& form, WebKitContextMenu* menu, WebKitHitTestResult* hit);
