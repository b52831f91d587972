// What the features built on the adapter (downloads, saved logins) add to
// every page: the adapter knows none of them; they attach here from above.
#pragma once

#include <functional>

typedef struct _WebKitWebView WebKitWebView;
namespace Gtk {
class Box;
}

// Called for each view as it is made, with the box that holds it, where
// strips over the page go. Added hooks run in the order they were added.
void AddViewHook(std::function<void(WebKitWebView*, Gtk::Box&)> hook);
// Called when the user asks `view` for a load (not when the page does).
void AddUserLoadHook(std::function<void(WebKitWebView*)> hook);

void RunViewHooks(WebKitWebView* view, Gtk::Box& browser);
void RunUserLoadHooks(WebKitWebView* view);
