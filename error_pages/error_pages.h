// A load that fails in a window's main frame shows the program's own page in
// Japanese (error_page_html.h) under the address that failed, which the
// address box keeps. The page is shown with the engine's alternate HTML, so
// that no site can put one of its own in the history in its place; its
// buttons act only while the program's page shows. An HTTP error (404, 500)
// is the site's own page and stays so.
#pragma once

typedef struct _WebKitWebView WebKitWebView;
namespace Gtk {
class Box;
}

// A view hook (browser/page_hooks.h).
void ShowErrorPages(WebKitWebView* view, Gtk::Box& browser);
