#include "browser/announce.h"

void Announce(Gtk::Widget& strip, AtkRole role, const std::string& text) {
  AtkObject* accessible = gtk_widget_get_accessible(strip.gobj());
  atk_object_set_role(accessible, role);
  atk_object_set_name(accessible, text.c_str());
  atk_object_set_description(accessible, text.c_str());
}

void NameButton(Gtk::Widget& button, const std::string& name) {
  atk_object_set_name(gtk_widget_get_accessible(button.gobj()), name.c_str());
  button.set_tooltip_text(name);
}
