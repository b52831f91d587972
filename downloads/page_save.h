// The page kept as the user sees it: saved whole as one MHTML file, or as a
// PNG picture of the whole page, in the download folder under the page's
// title made safe, never replacing a file. The download strip of the window
// shows the file with "開く" and "フォルダを開く", or why it failed.
#pragma once

#include <gtkmm/box.h>

typedef struct _WebKitWebView WebKitWebView;

// The page of `view`, shown in the strip of `browser`, the box holding it.
void SavePageWhole(WebKitWebView* view, Gtk::Box& browser);
void SavePagePicture(WebKitWebView* view, Gtk::Box& browser);
