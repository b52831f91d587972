// Which of a page's permission requests the user is asked about: the
// location and notifications. The answer holds for the site until the
// program ends; everything else keeps the engine's refusal.
#pragma once

#include <gtkmm/box.h>

typedef struct _WebKitWebView WebKitWebView;

// Asks in a strip over the page in `browser`, the box that holds `view`.
void WatchPermissions(WebKitWebView* view, Gtk::Box* browser);
