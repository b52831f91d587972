#include "browser/download_bar.h"

#include <gdk/gdkkeysyms.h>
#include <gio/gio.h>
#include <glibmm/main.h>

#include <cstdio>

#include "browser/strip_accessibility.h"

namespace {

TDownloadBar::Launcher& CurrentLauncher() {
  static TDownloadBar::Launcher launcher;
  return launcher;
}

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
      return "完了しました（" + Size(download.Received()) + "）";
    case TDownload::State::kCancelled:
      return "キャンセルしました";
    case TDownload::State::kFailed:
      break;
  }
  return "失敗しました: " + download.Failure();
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

TDownloadRow::TDownloadRow(WebKitDownload* download, std::function<void(TDownloadRow*)> close)
    : Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 6) {
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
                                                          {&close_, "DownloadClose"}};
  for (auto [button, name] : buttons) {
    button->set_name(name);
    button->set_no_show_all(true);
    pack_start(*button, false, false);
  }
  NameButton(close_, "閉じる");
  MakeAnnouncedStrip(*this, Atk::ROLE_NOTIFICATION, nullptr);  // Escape is the bar's
  cancel_.signal_clicked().connect([this] { download_->Cancel(); });
  open_.signal_clicked().connect([this] { Open(download_->Path()); });
  folder_.signal_clicked().connect([this] { Open(Folder(download_->Path())); });
  close_.signal_clicked().connect([this, close = std::move(close)] { close(this); });
  download_ = std::make_unique<TDownload>(download, [this] { Update(); });
  Update();
  SetStripText(*this, "ダウンロードを開始しました: " + download_->Name());
}

TDownloadRow::~TDownloadRow() { download_.reset(); }

void TDownloadRow::Update() {
  const TDownload::State state = download_->state();
  name_.set_text(download_->Name());
  status_.set_text(Status(*download_));
  cancel_.set_visible(state == TDownload::State::kActive);
  open_.set_visible(state == TDownload::State::kDone);
  folder_.set_visible(state == TDownload::State::kDone);
  close_.set_visible(state != TDownload::State::kActive);
  if (state == announced_) return;
  announced_ = state;  // the end is read out, not every step of progress
  SetStripText(*this, download_->Name() + ": " + status_.get_text());
  if (cancel_.has_focus()) (state == TDownload::State::kDone ? open_ : close_).grab_focus();
}

void TDownloadRow::Open(const std::string& path) {
  std::string error;
  if (!TDownloadBar::Launch(FileUri(path), &error)) {
    status_.set_text("開けませんでした（" + error + "）");
  }
}

TDownloadBar& TDownloadBar::Of(Gtk::Box& browser) {
  for (Gtk::Widget* child : browser.get_children()) {
    if (auto* bar = dynamic_cast<TDownloadBar*>(child)) return *bar;
  }
  auto* bar = Gtk::manage(new TDownloadBar());
  browser.pack_start(*bar, false, false);
  browser.reorder_child(*bar, 0);
  return *bar;
}

void TDownloadBar::SetLauncher(Launcher launcher) { CurrentLauncher() = std::move(launcher); }

bool TDownloadBar::Launch(const std::string& uri, std::string* error) {
  if (CurrentLauncher()) return CurrentLauncher()(uri, error);
  GError* failure = nullptr;
  if (g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &failure)) return true;
  *error = failure->message;
  g_error_free(failure);
  return false;
}

TDownloadBar::TDownloadBar() : Gtk::Box(Gtk::ORIENTATION_VERTICAL, 2) {
  set_name("DownloadBar");
  set_border_width(4);
  set_no_show_all(true);  // shown with its first row
}

void TDownloadBar::Add(WebKitDownload* download) {
  auto* row = Gtk::manage(new TDownloadRow(download, [this](TDownloadRow* row) { Remove(row); }));
  pack_start(*row, false, false);
  row->show_all();
  show();
}

void TDownloadBar::CloseEnded() {
  for (Gtk::Widget* child : get_children()) {
    auto* row = dynamic_cast<TDownloadRow*>(child);
    if (row != nullptr && row->get_visible() && row->Ended()) Remove(row);
  }
}

// Taken out now, destroyed once the click that asked for it is over.
void TDownloadBar::Remove(TDownloadRow* row) {
  const bool had_focus = row->get_focus_child() != nullptr;
  row->hide();
  Glib::signal_idle().connect_once(sigc::bind(sigc::mem_fun(*this, &TDownloadBar::Drop), row));
  bool rows_left = false;
  for (Gtk::Widget* child : get_children()) rows_left |= child != row && child->get_visible();
  if (!rows_left) hide();
  if (had_focus) {
    if (Gtk::Widget* page = get_parent()) page->child_focus(Gtk::DIR_TAB_FORWARD);
  }
}

void TDownloadBar::Drop(TDownloadRow* row) { remove(*row); }

// Escape closes what offers closing; otherwise it goes on to the window.
bool TDownloadBar::on_key_press_event(GdkEventKey* event) {
  if (event->keyval != GDK_KEY_Escape) return Gtk::Box::on_key_press_event(event);
  bool ended = false;
  for (Gtk::Widget* child : get_children()) {
    auto* row = dynamic_cast<TDownloadRow*>(child);
    ended |= row != nullptr && row->get_visible() && row->Ended();
  }
  if (ended) CloseEnded();
  return ended;
}
