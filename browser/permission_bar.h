// A site's request to use the location, show notifications or download more
// files, put to the user in a strip above the page: "許可" or "拒否". Closing
// the strip, leaving the page or closing the window denies it.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <deque>
#include <functional>
#include <string>

typedef struct _WebKitPermissionRequest WebKitPermissionRequest;

class TPermissionBar : public Gtk::Box {
 public:
  // Called with the user's answer; not when the request was only dismissed.
  using Remember = std::function<void(bool allowed)>;
  // Carries out the answer, once.
  using Answer = std::function<void(bool allowed)>;

  // The strip over the page in `browser`, made on first use.
  static TPermissionBar& Of(Gtk::Box& browser);

  TPermissionBar();
  ~TPermissionBar() override;
  // Puts `question` to the user; requests with the same `key` get one answer.
  void Ask(WebKitPermissionRequest* request, std::string key, std::string question,
           Remember remember);
  void Ask(std::string key, std::string question, Answer answer, Remember remember);
  // Denies every request waiting, without remembering it.
  void DenyAll();

 private:
  struct Waiting {
    std::string key;
    std::string question;
    Answer answer;
    Remember remember;
  };
  void Reply(bool allow, bool remember);
  void DenyWaiting();
  void ShowFirst();

  std::deque<Waiting> waiting_;
  Gtk::Label message_;
  Gtk::Button allow_{"許可"};
  Gtk::Button deny_{"拒否"};
  Gtk::Button close_{"×"};
};
