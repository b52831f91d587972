// The pages a view shows, as the history keeps them: the top frame's page
// once its load commits (after redirects), never the engine's error page for
// a failed load nor a notice of ours shown in a page's place.
#pragma once

#include <functional>
#include <string>

typedef struct _WebKitWebView WebKitWebView;

class TPageVisits {
 public:
  // url, title (often still empty when the page commits)
  using Handler = std::function<void(const std::string& url, const std::string& title)>;

  // `showing_notice` says whether the load now committing is a notice of ours.
  TPageVisits(WebKitWebView* view, std::function<bool()> showing_notice);
  ~TPageVisits();
  TPageVisits(const TPageVisits&) = delete;
  TPageVisits& operator=(const TPageVisits&) = delete;

  // A page was shown.
  void SetOnVisit(Handler handler) { on_visit_ = std::move(handler); }
  // The page last reported to SetOnVisit named itself.
  void SetOnTitle(Handler handler) { on_title_ = std::move(handler); }
  // The next page committed at `uri` is an error page in place of that address.
  void ErrorPageNext(const std::string& uri) { failed_uri_ = uri; }

 private:
  struct Signals;

  WebKitWebView* view_;  // a reference of our own
  std::function<bool()> showing_notice_;
  Handler on_visit_, on_title_;
  std::string failed_uri_;   // whose error page the engine shows next
  std::string visited_uri_;  // the page reported last; empty when none is shown
};
