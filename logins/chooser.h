// The program's own list of a site's saved logins, in a popover under the
// page's field the user clicked or reached: the site, then one row for each
// username. Down and Up choose a row, Enter or a click fills it in, Escape
// closes the list, and any other key closes it and goes on to the page. The
// page can neither draw nor reach it.
#pragma once

#include <gdk/gdk.h>
#include <gtk/gtk.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Shows `usernames` of `site` pointing at `field`, a place in `view`, in place of a
// list still open there; `chosen` gets the index of the one chosen, or
// nothing when the list was closed without a choice.
void ChooseLogin(GtkWidget* view, const GdkRectangle& field, const std::string& site,
                 const std::vector<std::string>& usernames,
                 std::function<void(std::optional<std::size_t>)> chosen);

// Closes the list open in `view`, if any, without a choice: its page went.
void CloseLoginChoice(GtkWidget* view);
