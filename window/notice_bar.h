// A strip above the page that only informs: what the program did not do for
// the user, and why. It stays until the user closes it (× or Escape).
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <string>

class TNoticeBar : public Gtk::Box {
 public:
  // Shows `text` in the strip over the page in `browser`, made on first use.
  static void Show(Gtk::Box& browser, const std::string& text);

  TNoticeBar();

 private:
  void Say(const std::string& text);

  Gtk::Label message_;
  Gtk::Button close_{"×"};
};
