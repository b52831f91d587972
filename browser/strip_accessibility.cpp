#include "browser/strip_accessibility.h"

#include <gdk/gdkkeysyms.h>

void MakeAnnouncedStrip(Gtk::Widget& strip, Atk::Role role, std::function<void()> close) {
  strip.get_accessible()->set_role(role);
  if (!close) return;
  // Keys reach the strip after the focused control inside it has passed them on.
  strip.signal_key_press_event().connect([close = std::move(close)](GdkEventKey* event) {
    const guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
    if (event->keyval != GDK_KEY_Escape || modifiers != 0) return false;
    close();
    return true;
  });
}

void SetStripText(Gtk::Widget& strip, const Glib::ustring& text) {
  strip.get_accessible()->set_name(text);
  strip.get_accessible()->set_description(text);
}

void NameButton(Gtk::Widget& button, const Glib::ustring& name) {
  button.get_accessible()->set_name(name);
  button.set_tooltip_text(name);
}
