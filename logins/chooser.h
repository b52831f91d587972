// The list of saved usernames that opens under a page's username field when
// a site has several logins, or before anything is filled into an http page.
#pragma once

#include <gdk/gdk.h>
#include <gtk/gtk.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Shows `usernames` pointing at `area` of `view`; `chosen` gets the index of
// the one chosen, or nothing when the list was closed without a choice.
void ChooseLogin(GtkWidget* view, const GdkRectangle& area,
                 const std::vector<std::string>& usernames,
                 std::function<void(std::optional<std::size_t>)> chosen);
