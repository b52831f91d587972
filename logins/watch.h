// Saved logins in the pages of a view: offers to save a login the user sends
// from the page or a frame of the page's origin (not in a view that keeps
// nothing on disk), and fills in a saved one the user chooses from the
// program's own list (see logins/page_script.h for the page's side).
#pragma once

#include <gtkmm/box.h>

typedef struct _WebKitWebView WebKitWebView;

// Asks and tells in a strip over the page in `browser`, the box that holds
// `view`. The view needs a user content manager of its own.
void WatchLogins(WebKitWebView* view, Gtk::Box* browser);
