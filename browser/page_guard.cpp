#include "browser/page_guard.h"

#include <glibmm/main.h>
#include <webkit2/webkit2.h>

#include <utility>

namespace {

// An alert, so that a screen reader announces the notice when it shows.
std::string NoticePage(const char* heading, const char* reason) {
  return std::string(R"html(<!doctype html><meta charset="utf-8">
<body style="font-family: sans-serif; margin: 2em"><div role="alert"><h2>)html") +
         heading + "</h2><p>" + reason +
         "</p><p>「更新」ボタンで再度読み込みます。</p></div></body>";
}

constexpr char kCrashed[] = "このページはクラッシュしました";
const std::string kCrashPage = NoticePage(kCrashed, "");
const std::string kMemoryPage = NoticePage(kCrashed, "メモリを使いすぎたため、停止しました。");
const std::string kHungPage =
    NoticePage("このページは応答しなくなりました", "スクリプトが終わらないため、停止しました。");

const std::string& NoticePageFor(WebKitWebProcessTerminationReason reason, bool hung) {
  if (hung) return kHungPage;
  return reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? kMemoryPage : kCrashPage;
}

// After the engine reports a page unresponsive, how long it may stay so before
// it is ended.
constexpr unsigned kHungPageGraceMs = 5000;
// How long a user's request counts as waiting for the page to take it up.
constexpr gint64 kAskedForUs = 10000000;

}  // namespace

TPageGuard::TPageGuard(WebKitWebView* view, Hooks hooks) : view_(view), hooks_(std::move(hooks)) {
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(Crashed), this);
  g_signal_connect(view_, "notify::is-web-process-responsive", G_CALLBACK(ResponsivenessChanged),
                   this);
}

TPageGuard::~TPageGuard() {
  crash_idle_.disconnect();
  retry_idle_.disconnect();
  hang_timer_.disconnect();
  g_signal_handlers_disconnect_by_data(view_, this);
}

void TPageGuard::Crashed(WebKitWebView*, int reason, TPageGuard* self) {
  self->hooks_.process_gone();
  self->hang_timer_.disconnect();
  if (self->ending_) return;
  self->ShowCrashNext(NoticePageFor(static_cast<WebKitWebProcessTerminationReason>(reason),
                                    std::exchange(self->hung_, false)));
}

// The engine says so some seconds after the page failed to answer it.
void TPageGuard::ResponsivenessChanged(WebKitWebView* view, void*, TPageGuard* self) {
  if (webkit_web_view_get_is_web_process_responsive(view)) {
    self->hang_timer_.disconnect();
  } else if (self->Asking()) {
    self->ScheduleRetry();
  } else {
    self->WatchHungPage();
  }
}

void TPageGuard::ShowCrashNext(const std::string& notice) {
  asked_ = nullptr;  // went with the process
  crash_notice_ = &notice;
  // The engine forgets the address with its process.
  crashed_uri_ = hooks_.notice_next();
  // Loading from inside the engine's own notice does not take; do it next.
  crash_idle_.disconnect();
  crash_idle_ = Glib::signal_idle().connect([this] {
    hooks_.notice_shown();
    webkit_web_view_load_alternate_html(view_, crash_notice_->c_str(), crashed_uri_.c_str(),
                                        nullptr);
    return false;
  });
}

void TPageGuard::ForgetCrash() {
  crashed_uri_.clear();
  crash_idle_.disconnect();
}

void TPageGuard::Ask(std::function<void()> request) {
  crash_idle_.disconnect();
  asked_ = std::move(request);
  asked_at_ = g_get_monotonic_time();
  if (!webkit_web_view_get_is_web_process_responsive(view_)) {
    Retry();
    return;
  }
  std::function<void()> send = asked_;  // a handler on the way may replace asked_
  send();
}

bool TPageGuard::Asking() const {
  return asked_ && g_get_monotonic_time() - asked_at_ < kAskedForUs;
}

void TPageGuard::ScheduleRetry() {
  if (retry_idle_.connected()) return;
  retry_idle_ = Glib::signal_idle().connect([this] {
    Retry();
    return false;
  });
}

// The page did not take the user's request up (its script never returns, or
// shows dialog after dialog): a fresh process gets the request instead.
void TPageGuard::Retry() {
  std::function<void()> request = std::exchange(asked_, nullptr);
  if (!request) return;
  EndPage();
  request();
}

// Ends the page's process without a crash page: a load of the user's follows.
void TPageGuard::EndPage() {
  ending_ = true;
  webkit_web_view_terminate_web_process(view_);
  ending_ = false;
}

void TPageGuard::WatchHungPage() {
  if (hooks_.waiting_for_user() || hang_timer_.connected()) return;
  hang_timer_ = Glib::signal_timeout().connect(
      [this] {
        EndHungPage();
        return false;
      },
      kHungPageGraceMs);
}

void TPageGuard::EndHungPage() {
  hung_ = true;
  webkit_web_view_terminate_web_process(view_);  // see Crashed
}
