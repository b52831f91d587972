// A page cannot take its window hostage: a page whose process dies is
// replaced by a notice of ours, and a page that does not take the user's
// request for another page up, or stops answering, is ended.
#pragma once

#include <sigc++/connection.h>

#include <functional>
#include <string>

typedef struct _WebKitWebView WebKitWebView;

class TPageGuard {
 public:
  struct Hooks {
    // The page's process is gone, whether ended on purpose or not.
    std::function<void()> process_gone;
    // A crash notice replaces the page next; answers the address to load
    // again later, the last one the window was told about.
    std::function<std::string()> notice_next;
    // The notice is about to load: the page's own load is over.
    std::function<void()> notice_shown;
    // A page that waits for the user to answer its dialog is not hung.
    std::function<bool()> waiting_for_user;
  };

  TPageGuard(WebKitWebView* view, Hooks hooks);
  ~TPageGuard();
  TPageGuard(const TPageGuard&) = delete;
  TPageGuard& operator=(const TPageGuard&) = delete;

  // Sends the user's request for another page; a page that does not answer
  // any more cannot take it, so its process is ended first.
  void Ask(std::function<void()> request);
  // The page took the request up, or it was given up.
  void Taken() { asked_ = nullptr; }
  // A request of the user's waits for the page.
  bool Asking() const;
  // The page shows something else than the page asked for: a fresh process
  // gets the request instead, once this call has returned.
  void ScheduleRetry();
  // Ends the page if it stays unresponsive for a while.
  void WatchHungPage();
  // The address a crash notice stands for; empty when none shows.
  const std::string& CrashedAddress() const { return crashed_uri_; }
  // A new load replaces the notice.
  void ForgetCrash();

 private:
  static void Crashed(WebKitWebView*, int reason, TPageGuard* self);
  static void ResponsivenessChanged(WebKitWebView* view, void*, TPageGuard* self);

  void ShowCrashNext(const std::string& notice);
  void Retry();
  void EndPage();
  void EndHungPage();

  WebKitWebView* view_;
  Hooks hooks_;
  std::string crashed_uri_;                    // the page to load again after a crash
  const std::string* crash_notice_ = nullptr;  // the page shown in its place
  sigc::connection crash_idle_;
  // The user's last request until the page takes it up, and when it came.
  std::function<void()> asked_;
  long long asked_at_ = 0;
  bool ending_ = false;  // the process is ended on purpose, a load follows
  bool hung_ = false;    // the process is ended for not answering
  sigc::connection retry_idle_;
  sigc::connection hang_timer_;
};
