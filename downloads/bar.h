// The downloads of a window, in a strip above its page: the newest three as
// rows, the older ones folded into one row "他 N 件" that opens the list of
// every download of the window. Ended ones can be taken away one by one or
// all at once with "完了したものを消去".
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "downloads/download.h"
#include "downloads/list.h"
#include "downloads/row.h"

class TDownloadBar : public Gtk::Box {
 public:
  // Hands `uri` to the desktop's default handler; false with the reason.
  using Launcher = std::function<bool(const std::string& uri, std::string* error)>;

  // Rows shown in the strip before the rest fold.
  static constexpr std::size_t kShownRows = 3;

  // The strip over the page in `browser`, made on first use.
  static TDownloadBar& Of(Gtk::Box& browser);
  // Replaces the desktop's handler (tests); null restores it.
  static void SetLauncher(Launcher launcher);
  static bool Launch(const std::string& uri, std::string* error);

  TDownloadBar();
  ~TDownloadBar() override;
  // Shows `download`. `suggested` is the name the engine gave while it was
  // held back: it is saved now.
  void Add(WebKitDownload* download, const std::optional<std::string>& suggested = std::nullopt);
  // Shows a file the program wrote itself, or failed to: see TDownload::Saved.
  void AddSaved(std::unique_ptr<TDownload> saved);
  // Whether `download` is one the user asked to be tried again here.
  bool Retried(WebKitDownload* download) const { return retries_.contains(download); }
  // Removes the rows of ended downloads; the strip goes with the last row.
  void CloseEnded();
  // The downloads of the window, oldest first.
  std::vector<TDownload*> Downloads() const;
  TDownloadList& List() { return *list_; }

 protected:
  bool on_key_press_event(GdkEventKey* event) override;

 private:
  struct Entry {
    std::unique_ptr<TDownload> download;
    TDownloadRow* row;  // in the strip
    bool removed = false;
  };
  TDownloadRow::Actions Actions();
  void Show(std::unique_ptr<TDownload> download);
  void Remove(TDownload* download);
  void Retry(TDownload* download);
  void OpenList();
  void Layout();
  void SyncSoon();
  void Sync();

  std::vector<Entry> entries_;
  // Downloads started again, with the name to keep; our references.
  std::map<WebKitDownload*, std::string> retries_;
  Gtk::Box fold_{Gtk::ORIENTATION_HORIZONTAL, 6};
  Gtk::Button more_;
  Gtk::Button clear_{"完了したものを消去"};
  TDownloadList* list_;  // goes with the strip
  sigc::connection sync_;
};
