#include "downloads/list.h"

namespace {

// Taller lists scroll rather than leave the screen.
constexpr int kMaxHeight = 400;

}  // namespace

TDownloadList::TDownloadList(Gtk::Widget& relative_to, std::function<void()> clear)
    : Gtk::Popover(relative_to) {
  set_name("DownloadList");
  set_position(Gtk::POS_BOTTOM);
  box_.set_border_width(6);
  rows_.set_name("DownloadListRows");
  clear_.set_name("DownloadListClear");
  clear_.set_halign(Gtk::ALIGN_END);
  scroll_.set_policy(Gtk::POLICY_NEVER, Gtk::POLICY_AUTOMATIC);
  scroll_.set_propagate_natural_height(true);
  scroll_.set_max_content_height(kMaxHeight);
  scroll_.add(rows_);
  box_.pack_start(scroll_, true, true);
  box_.pack_start(clear_, false, false);
  add(box_);
  box_.show_all();
  clear_.signal_clicked().connect(std::move(clear));
}

void TDownloadList::Show(const std::vector<TDownload*>& downloads,
                         const TDownloadRow::Actions& actions) {
  const bool had_focus = rows_.get_focus_child() != nullptr;
  for (Gtk::Widget* row : rows_.get_children()) rows_.remove(*row);
  for (TDownload* download : downloads) {
    auto* row = Gtk::manage(new TDownloadRow(*download, actions));
    rows_.pack_start(*row, false, false);
    row->show_all();
  }
  if (had_focus) clear_.grab_focus();  // its row is gone
}

std::vector<TDownloadRow*> TDownloadList::Rows() {
  std::vector<TDownloadRow*> rows;
  for (Gtk::Widget* row : rows_.get_children()) rows.push_back(dynamic_cast<TDownloadRow*>(row));
  return rows;
}
