// The downloads of a window, in a strip above its page: one row each, with
// its name and progress, "キャンセル" while it runs, and at the end "開く"
// and "フォルダを開く" or why it failed. Nothing is opened without a click.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <functional>
#include <memory>
#include <string>

#include "browser/download.h"

class TDownloadRow : public Gtk::Box {
 public:
  TDownloadRow(WebKitDownload* download, std::function<void(TDownloadRow*)> close);
  ~TDownloadRow() override;
  TDownload& Download() { return *download_; }
  bool Ended() const { return download_->state() != TDownload::State::kActive; }

 private:
  void Update();
  void Open(const std::string& path);

  std::unique_ptr<TDownload> download_;
  TDownload::State announced_ = TDownload::State::kActive;
  Gtk::Label name_;
  Gtk::Label status_;
  Gtk::Button cancel_{"キャンセル"};
  Gtk::Button open_{"開く"};
  Gtk::Button folder_{"フォルダを開く"};
  Gtk::Button close_{"×"};
};

class TDownloadBar : public Gtk::Box {
 public:
  // Hands `uri` to the desktop's default handler; false with the reason.
  using Launcher = std::function<bool(const std::string& uri, std::string* error)>;

  // The strip over the page in `browser`, made on first use.
  static TDownloadBar& Of(Gtk::Box& browser);
  // Replaces the desktop's handler (tests); null restores it.
  static void SetLauncher(Launcher launcher);
  static bool Launch(const std::string& uri, std::string* error);

  TDownloadBar();
  void Add(WebKitDownload* download);
  // Removes the rows of ended downloads; the strip goes with the last row.
  void CloseEnded();

 protected:
  bool on_key_press_event(GdkEventKey* event) override;

 private:
  void Remove(TDownloadRow* row);
  void Drop(TDownloadRow* row);
};
