// What makes a strip that tells the user something usable without the screen
// and the mouse: assistive technology announces it when it appears and reads
// its text, and Escape pressed inside it closes it.
#pragma once

#include <atkmm/object.h>
#include <gtkmm/widget.h>

#include <functional>

// Gives `strip` the role that screen readers announce when it shows (an alert
// for what needs an answer, a notification for what only informs) and, when
// `close` is given, calls it for Escape pressed while the focus is inside.
void MakeAnnouncedStrip(Gtk::Widget& strip, Atk::Role role, std::function<void()> close);

// The text read out for `strip`; set it before the strip shows, and again
// when what it says changes.
void SetStripText(Gtk::Widget& strip, const Glib::ustring& text);

// Gives a button whose caption is a symbol a name that says what it does.
void NameButton(Gtk::Widget& button, const Glib::ustring& name);
