// Which of a page's permission requests the user is asked about: the
// location and notifications. The answer holds for the site until the
// program ends, or in private windows until the last of them closes (see
// browser/kept_answers.h); everything else keeps the engine's refusal.
#pragma once

#include <gtkmm/box.h>

#include <string>
#include <utility>
#include <vector>

typedef struct _WebKitWebView WebKitWebView;

// Asks in a strip over the page in `browser`, the box that holds `view`.
void WatchPermissions(WebKitWebView* view, Gtk::Box* browser);

// The answers kept, where `view` keeps them, for the site `origin`: each kind
// asked about ("geolocation", "notifications") and whether it was allowed.
std::vector<std::pair<std::string, bool>> PermissionAnswers(WebKitWebView* view,
                                                            const std::string& origin);
// The site is asked about `kind` again next time.
void ForgetPermissionAnswer(WebKitWebView* view, const std::string& origin,
                            const std::string& kind);
