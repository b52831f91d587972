#include "window/notice_bar.h"

#include "browser/strip_accessibility.h"
#include "browser/strip_over_page.h"

void TNoticeBar::Show(Gtk::Box& browser, const std::string& text) {
  StripOverPage<TNoticeBar>(browser).Say(text);
}

TNoticeBar::TNoticeBar() : Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 6) {
  set_name("NoticeBar");
  set_border_width(4);
  set_no_show_all(true);
  message_.set_name("NoticeMessage");
  message_.set_xalign(0);
  message_.set_line_wrap(true);
  pack_start(message_, true, true);
  close_.set_name("NoticeClose");
  pack_start(close_, false, false);
  NameButton(close_, "閉じる");
  MakeAnnouncedStrip(*this, Atk::ROLE_NOTIFICATION, [this] { hide(); });
  close_.signal_clicked().connect([this] { hide(); });
  show_all_children();
}

void TNoticeBar::Say(const std::string& text) {
  message_.set_text(text);
  SetStripText(*this, text);
  show();
}
