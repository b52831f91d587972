#include "history/bookmark_popover.h"

#include "browser/address_gate.h"
#include "store/bookmark_store.h"

namespace {

constexpr char kNotAdded[] = "ブックマークを保存できませんでした";
constexpr char kNotRemoved[] = "ブックマークを削除できませんでした";

}  // namespace

TBookmarkPopover::TBookmarkPopover(Gtk::Widget& under, Store store)
    : Gtk::Popover(under), store_(std::move(store)) {
  set_name("BookmarkPopover");
  set_position(Gtk::POS_BOTTOM);
  heading_.set_xalign(0);
  name_.set_width_chars(36);
  name_.set_activates_default(true);
  name_.get_accessible()->set_name("名前");
  add_.set_can_default(true);
  buttons_.pack_end(add_, Gtk::PACK_SHRINK);
  buttons_.pack_end(remove_, Gtk::PACK_SHRINK);
  column_.set_border_width(8);
  column_.pack_start(heading_, Gtk::PACK_SHRINK);
  column_.pack_start(name_, Gtk::PACK_SHRINK);
  column_.pack_start(buttons_, Gtk::PACK_SHRINK);
  add(column_);
  column_.show_all();
  add_.signal_clicked().connect([this] { Keep(); });
  remove_.signal_clicked().connect([this] { Forget(); });
  // Enter in the name keeps the bookmark.
  name_.signal_activate().connect([this] { Keep(); });
}

void TBookmarkPopover::Open(const std::string& url, const std::string& title) {
  BookmarkStore* store = store_();
  url_ = url;
  const auto kept = store != nullptr ? store->Find(url) : std::nullopt;
  heading_.set_text(kept ? "ブックマーク済みです" : "ブックマークに追加");
  name_.set_text(kept ? kept->name : (title.empty() ? url : title));
  // Only what the bookmark list would open is kept there.
  add_.set_sensitive(store != nullptr && MayOpen(url));
  remove_.set_sensitive(kept.has_value());
  popup();
  name_.grab_focus();
  name_.select_region(0, -1);
}

void TBookmarkPopover::Keep() {
  BookmarkStore* store = store_();
  if (store == nullptr || !MayOpen(url_)) return;
  // A bookmark not written stays offered, and the popover says so.
  if (!store->Put(url_, name_.get_text())) {
    heading_.set_text(kNotAdded);
    return;
  }
  popdown();
}

void TBookmarkPopover::Forget() {
  BookmarkStore* store = store_();
  if (store == nullptr) return;
  const auto kept = store->Find(url_);
  if (kept && !store->Remove(kept->id)) {
    heading_.set_text(kNotRemoved);
    return;
  }
  popdown();
}
