#include "logins/bar.h"

#include "browser/strip_accessibility.h"
#include "browser/strip_over_page.h"

namespace {
constexpr char kQuestion[] = "このサイトのパスワードを保存しますか？";
constexpr char kChangeQuestion[] = "保存済みのパスワードを変更しますか";
}  // namespace

TLoginBar& TLoginBar::Of(Gtk::Box& browser) { return StripOverPage<TLoginBar>(browser); }

TLoginBar::TLoginBar() : Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 6) {
  set_name("LoginBar");
  set_border_width(4);
  set_no_show_all(true);
  message_.set_name("LoginMessage");
  detail_.set_name("LoginDetail");
  for (Gtk::Label* label : {&message_, &detail_}) {
    label->set_xalign(0);
    label->set_line_wrap(true);
  }
  pack_start(message_, false, false);
  pack_start(detail_, true, true);
  const std::pair<Gtk::Button*, const char*> buttons[] = {{&save_, "LoginSave"},
                                                          {&not_now_, "LoginNotNow"},
                                                          {&never_, "LoginNever"},
                                                          {&close_, "LoginClose"}};
  for (auto [button, name] : buttons) {
    button->set_name(name);
    pack_start(*button, false, false);
  }
  NameButton(close_, "閉じる");
  MakeAnnouncedStrip(*this, Atk::ROLE_ALERT, [this] { Reply(Answer::kNotNow); });
  save_.signal_clicked().connect([this] { Reply(Answer::kSave); });
  not_now_.signal_clicked().connect([this] { Reply(Answer::kNotNow); });
  never_.signal_clicked().connect([this] { Reply(Answer::kNever); });
  close_.signal_clicked().connect([this] { Reply(Answer::kNotNow); });
  show_all_children();
}

void TLoginBar::Offer(const std::string& username, const std::string& site, bool change,
                      Answered answered) {
  answered_ = std::move(answered);
  save_.set_label(change ? "変更" : "保存");
  Show(change ? kChangeQuestion : kQuestion, username.empty() ? site : username + " — " + site,
       true);
}

void TLoginBar::Tell(const std::string& text) {
  answered_ = nullptr;
  Show(text, "", false);
}

void TLoginBar::Show(const std::string& text, const std::string& detail, bool asking) {
  message_.set_text(text);
  detail_.set_text(detail);
  for (Gtk::Widget* button : {&save_, &not_now_, &never_}) button->set_visible(asking);
  close_.set_visible(!asking);
  SetStripText(*this, detail.empty() ? text : text + " " + detail);
  show();
}

// The answer is taken before the callback, which may show the strip again.
void TLoginBar::Reply(Answer answer) {
  Answered answered = std::move(answered_);
  answered_ = nullptr;
  Close();
  if (answered) answered(answer);
}

void TLoginBar::Close() {
  answered_ = nullptr;
  const bool had_focus = get_focus_child() != nullptr;
  hide();
  if (had_focus && get_parent() != nullptr) get_parent()->child_focus(Gtk::DIR_TAB_FORWARD);
}
