// One download shown as a row: its name and progress, "キャンセル" while it
// runs, and at the end "開く" and "フォルダを開く", or why it failed and
// "再試行". Nothing is opened without a click. The same row shows in the
// strip and in the list of every download of the window.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <functional>
#include <string>

#include "downloads/download.h"

class TDownloadRow : public Gtk::Box {
 public:
  struct Actions {
    std::function<void(TDownload*)> close;  // takes the row of an ended download away
    std::function<void(TDownload*)> retry;  // downloads the address of a failed one again
  };

  TDownloadRow(TDownload& download, Actions actions);
  TDownload& Download() { return download_; }
  bool Ended() const { return download_.state() != TDownload::State::kActive; }

 private:
  void Update();
  void Open(const std::string& path);

  TDownload& download_;
  TDownload::State announced_ = TDownload::State::kActive;
  Gtk::Label name_;
  Gtk::Label status_;
  Gtk::Button cancel_{"キャンセル"};
  Gtk::Button open_{"開く"};
  Gtk::Button folder_{"フォルダを開く"};
  Gtk::Button retry_{"再試行"};
  Gtk::Button close_{"×"};
};
