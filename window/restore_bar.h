// The strip over the main window's page after a run that did not end
// normally: 「前回のウィンドウを元に戻しますか？」 with 元に戻す and 閉じる.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <functional>

class TRestoreBar : public Gtk::Box {
 public:
  // `restore` runs for 元に戻す; either answer, or Escape, closes the strip.
  explicit TRestoreBar(std::function<void()> restore);
  // Shows the strip at the top of `browser`, with the keyboard focus on 元に戻す.
  void ShowIn(Gtk::Box& browser);
  void Close();

 private:
  std::function<void()> restore_;
  Gtk::Label message_;
  Gtk::Button restore_button_{"元に戻す"};
  Gtk::Button close_{"閉じる"};
};
