// Strips that tell the user something are read out by assistive technology
// when they appear: they carry a notification or alert role and their text.
#pragma once

#include <atk/atk.h>
#include <gtkmm/widget.h>

#include <string>

void Announce(Gtk::Widget& strip, AtkRole role, const std::string& text);
// Gives a button whose caption is a symbol a name that says what it does.
void NameButton(Gtk::Widget& button, const std::string& name);
