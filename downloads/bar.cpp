#include "downloads/bar.h"

#include <gdk/gdkkeysyms.h>
#include <gio/gio.h>
#include <glibmm/main.h>
#include <webkit2/webkit2.h>

#include "browser/cpp_web_browser.h"
#include "browser/strip_over_page.h"

namespace {

TDownloadBar::Launcher& CurrentLauncher() {
  static TDownloadBar::Launcher launcher;
  return launcher;
}

}  // namespace

TDownloadBar& TDownloadBar::Of(Gtk::Box& browser) { return StripOverPage<TDownloadBar>(browser); }

void TDownloadBar::SetLauncher(Launcher launcher) { CurrentLauncher() = std::move(launcher); }

bool TDownloadBar::Launch(const std::string& uri, std::string* error) {
  if (CurrentLauncher()) return CurrentLauncher()(uri, error);
  GError* failure = nullptr;
  if (g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &failure)) return true;
  *error = failure->message;
  g_error_free(failure);
  return false;
}

TDownloadBar::TDownloadBar()
    : Gtk::Box(Gtk::ORIENTATION_VERTICAL, 2),
      list_(Gtk::manage(new TDownloadList(*this, [this] { CloseEnded(); }))) {
  set_name("DownloadBar");
  set_border_width(4);
  set_no_show_all(true);  // shown with its first row
  fold_.set_name("DownloadFold");
  more_.set_name("DownloadMore");
  clear_.set_name("DownloadClear");
  fold_.pack_start(more_, false, false);
  fold_.pack_end(clear_, false, false);
  fold_.show_all_children();
  fold_.set_no_show_all(true);
  pack_start(fold_, false, false);
  more_.signal_clicked().connect(sigc::mem_fun(*this, &TDownloadBar::OpenList));
  clear_.signal_clicked().connect(sigc::mem_fun(*this, &TDownloadBar::CloseEnded));
}

TDownloadBar::~TDownloadBar() {
  sync_.disconnect();
  for (auto& [download, name] : retries_) g_object_unref(download);
}

TDownloadRow::Actions TDownloadBar::Actions() {
  return {[this](TDownload* download) { Remove(download); },
          [this](TDownload* download) { Retry(download); }};
}

void TDownloadBar::Add(WebKitDownload* download, const std::optional<std::string>& suggested) {
  auto owned = std::make_unique<TDownload>(download);
  TDownload& added = *owned;
  if (auto retry = retries_.find(download); retry != retries_.end()) {
    if (!retry->second.empty()) added.PreferName(retry->second);
    g_object_unref(retry->first);
    retries_.erase(retry);
  }
  Show(std::move(owned));
  if (suggested) added.Decide(*suggested);
}

void TDownloadBar::AddSaved(std::unique_ptr<TDownload> saved) { Show(std::move(saved)); }

void TDownloadBar::Show(std::unique_ptr<TDownload> download) {
  auto* row = Gtk::manage(new TDownloadRow(*download, Actions()));
  pack_start(*row, false, false);
  row->show_all();
  entries_.push_back({std::move(download), row});
  Layout();
  if (list_->get_visible()) SyncSoon();
}

std::vector<TDownload*> TDownloadBar::Downloads() const {
  std::vector<TDownload*> downloads;
  for (const Entry& entry : entries_) {
    if (!entry.removed) downloads.push_back(entry.download.get());
  }
  return downloads;
}

void TDownloadBar::CloseEnded() {
  for (Entry& entry : entries_) {
    if (!entry.removed && entry.row->Ended()) Remove(entry.download.get());
  }
}

// Taken out of sight now, destroyed once the click that asked for it is over.
void TDownloadBar::Remove(TDownload* download) {
  bool had_focus = false;
  for (Entry& entry : entries_) {
    if (entry.download.get() != download) continue;
    had_focus = entry.row->get_focus_child() != nullptr;
    entry.removed = true;
  }
  Layout();
  SyncSoon();
  if (had_focus) {
    if (Gtk::Widget* page = get_parent()) page->child_focus(Gtk::DIR_TAB_FORWARD);
  }
}

// Asks the page's view for the address again; the new download comes back
// through Add, in place of the failed one.
void TDownloadBar::Retry(TDownload* download) {
  auto* browser = dynamic_cast<TCppWebBrowser*>(get_parent());
  const std::string address = download->Address();
  const std::string name = download->Named() ? download->Name() : "";
  if (download->SentData()) return;  // the address alone may give another file
  Remove(download);
  if (browser == nullptr || address.empty()) return;
  retries_[webkit_web_view_download_uri(browser->View(), address.c_str())] = name;
}

// The list hangs from the strip, which stays while the list is worked in,
// pointing at the button that opened it.
void TDownloadBar::OpenList() {
  int x = 0, y = 0;
  more_.translate_coordinates(*this, 0, 0, x, y);
  list_->set_pointing_to({x, y, more_.get_allocated_width(), more_.get_allocated_height()});
  list_->Show(Downloads(), Actions());
  list_->popup();
}

// The newest rows show; the others are counted in the fold.
void TDownloadBar::Layout() {
  std::size_t shown = 0;
  for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
    entry->row->set_visible(!entry->removed && shown++ < kShownRows);
  }
  const std::size_t live = Downloads().size();
  const std::size_t folded = live > kShownRows ? live - kShownRows : 0;
  more_.set_label("他 " + std::to_string(folded) + " 件");
  fold_.set_visible(folded > 0);
  if (live == 0) {
    list_->popdown();
    hide();
  } else {
    show();
  }
}

// After the click under way, which may be in a row of the list.
void TDownloadBar::SyncSoon() {
  if (!sync_.connected()) sync_ = Glib::signal_idle().connect([this] { return Sync(), false; });
}

// Drops what was removed, after the list lets go of it.
void TDownloadBar::Sync() {
  list_->Show(list_->get_visible() ? Downloads() : std::vector<TDownload*>{}, Actions());
  std::erase_if(entries_, [this](Entry& entry) {
    if (!entry.removed) return false;
    remove(*entry.row);
    return true;
  });
  Layout();
}

// Escape closes what offers closing; otherwise it goes on to the window.
bool TDownloadBar::on_key_press_event(GdkEventKey* event) {
  if (event->keyval != GDK_KEY_Escape || list_->get_visible()) {
    return Gtk::Box::on_key_press_event(event);
  }
  bool ended = false;
  for (const Entry& entry : entries_) ended |= !entry.removed && entry.row->Ended();
  if (ended) CloseEnded();
  return ended;
}
