#include "downloads/row.h"

#include <cstdio>

#include "browser/strip_accessibility.h"
#include "downloads/bar.h"

namespace {

// "512 B", "12.3 KB", "4.5 MB", "1.2 GB".
std::string Size(guint64 bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  const char* units[] = {"KB", "MB", "GB", "TB"};
  double value = bytes / 1024.0;
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

std::string Progress(const TDownload& download) {
  const guint64 received = download.Received(), total = download.Total();
  if (total == 0 || received > total) return Size(received);
  return Size(received) + " / " + Size(total) + "（" + std::to_string(received * 100 / total) +
         "%）";
}

std::string Status(const TDownload& download) {
  switch (download.state()) {
    case TDownload::State::kActive:
      return "ダウンロード中 " + Progress(download);
    case TDownload::State::kDone:
      return "完了しました（" + Size(download.Received()) + "）" +
             (download.Note().empty() ? "" : " " + download.Note());
    case TDownload::State::kCancelled:
      return "キャンセルしました";
    case TDownload::State::kFailed:
      break;
  }
  const std::string failed = "失敗しました: " + download.Failure();
  return download.SentData() ? failed + "（フォームの送信で得たファイルのため再試行できません）"
                             : failed;
}

std::string FileUri(const std::string& path) {
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  std::string result = uri != nullptr ? uri : "";
  g_free(uri);
  return result;
}

std::string Folder(const std::string& path) {
  gchar* folder = g_path_get_dirname(path.c_str());
  std::string result = folder;
  g_free(folder);
  return result;
}

}  // namespace

TDownloadRow::TDownloadRow(TDownload& download, Actions actions)
    : Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 6), download_(download) {
  set_name("DownloadRow");
  name_.set_name("DownloadName");
  status_.set_name("DownloadStatus");
  name_.set_ellipsize(Pango::ELLIPSIZE_MIDDLE);
  name_.set_max_width_chars(60);
  status_.set_xalign(0);
  pack_start(name_, false, false);
  pack_start(status_, true, true);
  const std::pair<Gtk::Button*, const char*> buttons[] = {{&cancel_, "DownloadCancel"},
                                                          {&open_, "DownloadOpen"},
                                                          {&folder_, "DownloadFolder"},
                                                          {&retry_, "DownloadRetry"},
                                                          {&close_, "DownloadClose"}};
  for (auto [button, name] : buttons) {
    button->set_name(name);
    button->set_no_show_all(true);
    pack_start(*button, false, false);
  }
  NameButton(close_, "閉じる");
  MakeAnnouncedStrip(*this, Atk::ROLE_NOTIFICATION, nullptr);  // Escape is the bar's
  cancel_.signal_clicked().connect([this] { download_.Cancel(); });
  open_.signal_clicked().connect([this] { Open(download_.Path()); });
  folder_.signal_clicked().connect([this] { Open(Folder(download_.Path())); });
  retry_.signal_clicked().connect([this, retry = std::move(actions.retry)] { retry(&download_); });
  close_.signal_clicked().connect([this, close = std::move(actions.close)] { close(&download_); });
  download_.signal_changed().connect(sigc::mem_fun(*this, &TDownloadRow::Update));
  announced_ = download_.state();
  Update();
  SetStripText(*this, Ended() ? download_.Name() + ": " + status_.get_text().raw()
                              : "ダウンロードを開始しました: " + download_.Name());
}

void TDownloadRow::Update() {
  const TDownload::State state = download_.state();
  name_.set_text(download_.Name());
  status_.set_text(Status(download_));
  cancel_.set_visible(state == TDownload::State::kActive);
  open_.set_visible(state == TDownload::State::kDone);
  folder_.set_visible(state == TDownload::State::kDone);
  retry_.set_visible(state == TDownload::State::kFailed && download_.FromEngine() &&
                     !download_.SentData());
  close_.set_visible(state != TDownload::State::kActive);
  if (state == announced_) return;
  announced_ = state;  // the end is read out, not every step of progress
  SetStripText(*this, download_.Name() + ": " + status_.get_text());
  if (!cancel_.has_focus()) return;
  const bool done = state == TDownload::State::kDone;
  (done ? open_ : retry_.get_visible() ? retry_ : close_).grab_focus();
}

void TDownloadRow::Open(const std::string& path) {
  std::string error;
  if (!TDownloadBar::Launch(FileUri(path), &error)) {
    status_.set_text("開けませんでした（" + error + "）");
  }
}
