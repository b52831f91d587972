// The strip above the page that offers to save a login just sent: 「このサイト
// のパスワードを保存しますか？」 with 保存 / 今回は保存しない / このサイトでは保存しない,
// or 「保存済みのパスワードを変更しますか」 when it would replace a saved password.
// It also tells, with only a close button, why logins cannot be saved.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <functional>
#include <string>

class TLoginBar : public Gtk::Box {
 public:
  enum class Answer { kSave, kNotNow, kNever };
  using Answered = std::function<void(Answer)>;

  // The strip over the page in `browser`, made on first use.
  static TLoginBar& Of(Gtk::Box& browser);

  TLoginBar();
  // Asks about `username` at `site`, whose saved password it would `change`;
  // a newer offer replaces one not answered.
  void Offer(const std::string& username, const std::string& site, bool change, Answered answered);
  void Tell(const std::string& text);
  void Close();

 private:
  void Show(const std::string& text, const std::string& detail, bool asking);
  void Reply(Answer answer);

  Answered answered_;
  Gtk::Label message_;
  Gtk::Label detail_;
  Gtk::Button save_{"保存"};
  Gtk::Button not_now_{"今回は保存しない"};
  Gtk::Button never_{"このサイトでは保存しない"};
  Gtk::Button close_{"×"};
};
