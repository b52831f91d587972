// Strips sit above the page in the window's browser box, one of each kind.
#pragma once

#include <gtkmm/box.h>

// The strip of kind `Strip` above the page in `browser`, made on first use.
template <typename Strip>
Strip& StripOverPage(Gtk::Box& browser) {
  for (Gtk::Widget* child : browser.get_children()) {
    if (auto* strip = dynamic_cast<Strip*>(child)) return *strip;
  }
  auto* strip = Gtk::manage(new Strip());
  browser.pack_start(*strip, false, false);
  browser.reorder_child(*strip, 0);
  return *strip;
}
