// Every download of a window in one list, opened from the strip's "他 N 件":
// the same rows with the same buttons, and "完了したものを消去".
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/popover.h>
#include <gtkmm/scrolledwindow.h>

#include <functional>
#include <vector>

#include "downloads/row.h"

class TDownloadList : public Gtk::Popover {
 public:
  // `clear` takes away the rows of every ended download.
  TDownloadList(Gtk::Widget& relative_to, std::function<void()> clear);
  // Shows a row for each of `downloads`, oldest first.
  void Show(const std::vector<TDownload*>& downloads, const TDownloadRow::Actions& actions);
  // The rows shown.
  std::vector<TDownloadRow*> Rows();

 private:
  Gtk::Box box_{Gtk::ORIENTATION_VERTICAL, 6};
  Gtk::ScrolledWindow scroll_;
  Gtk::Box rows_{Gtk::ORIENTATION_VERTICAL, 2};
  Gtk::Button clear_{"完了したものを消去"};
};
