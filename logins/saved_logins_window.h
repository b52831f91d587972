// The window of saved logins: site, username and a hidden password that is
// shown on request, with delete. One at a time; opened again, it is raised.
#pragma once

#include <gtkmm/window.h>

// Opens the window over `parent`, or raises it when it is open.
void ShowSavedLogins(Gtk::Window* parent);
// The open window, or null.
Gtk::Window* SavedLoginsWindow();
