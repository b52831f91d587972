#include "window/restore_bar.h"

#include "browser/strip_accessibility.h"

namespace {

constexpr char kQuestion[] = "前回のウィンドウを元に戻しますか？";

}  // namespace

TRestoreBar::TRestoreBar(std::function<void()> restore)
    : Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 6), restore_(std::move(restore)), message_(kQuestion) {
  set_name("RestoreBar");
  set_border_width(4);
  set_no_show_all(true);
  message_.set_name("RestoreMessage");
  message_.set_xalign(0);
  message_.set_line_wrap(true);
  pack_start(message_, true, true);
  restore_button_.set_name("RestoreWindows");
  close_.set_name("RestoreClose");
  pack_start(restore_button_, false, false);
  pack_start(close_, false, false);
  MakeAnnouncedStrip(*this, Atk::ROLE_ALERT, [this] { Close(); });
  SetStripText(*this, kQuestion);
  restore_button_.signal_clicked().connect([this] {
    Close();
    restore_();
  });
  close_.signal_clicked().connect([this] { Close(); });
  show_all_children();
}

void TRestoreBar::ShowIn(Gtk::Box& browser) {
  browser.pack_start(*this, false, false);
  browser.reorder_child(*this, 0);
  show();
  // The question is the first thing of this run: its answer needs no pointer.
  restore_button_.grab_focus();
}

void TRestoreBar::Close() {
  const bool had_focus = get_focus_child() != nullptr;
  hide();
  if (had_focus && get_parent() != nullptr) get_parent()->child_focus(Gtk::DIR_TAB_FORWARD);
}
