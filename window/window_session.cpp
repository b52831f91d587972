#include "window/window_session.h"

#include <gdkmm/display.h>
#include <gdkmm/monitor.h>

#include <algorithm>

#include "browser/address_gate.h"
#include "browser/profile.h"
#include "store/session_form_data.h"
#include "window/form_html.h"
#include "window/notice_bar.h"
#include "window/restore_bar.h"
#include "window/window_limit.h"

namespace {

constexpr char kFileName[] = "session.ini";
// Set on a window whose back/forward list is no longer kept.
constexpr char kListForgotten[] = "tavorin-session-list-forgotten";

// The one session of the running program, for windows made anywhere.
TWindowSession* g_session = nullptr;

// A window kept on a screen that is gone would come back where nobody sees
// it; it then opens where a new window does.
bool OnSomeMonitor(const TSavedWindow& w) {
  Glib::RefPtr<Gdk::Display> display = Gdk::Display::get_default();
  const Gdk::Rectangle kept(w.left, w.top, std::max(w.width, 1), std::max(w.height, 1));
  for (int i = 0; i < display->get_n_monitors(); ++i) {
    Gdk::Rectangle area;
    display->get_monitor(i)->get_workarea(area);
    bool overlap = false;
    area.intersect(kept, overlap);
    if (overlap) return true;
  }
  return false;
}

void Place(TFormHTML& window, const TSavedWindow& w) {
  if (w.width > 0 && w.height > 0) window.resize(w.width, w.height);
  if (OnSomeMonitor(w)) window.move(w.left, w.top);
  if (w.maximized) window.maximize();
}

// A kept window passes the address gate as every kept address does: another
// kind of page gives the home page, and Back and Forward go past the entries
// of another kind.
void Gated(TSavedWindow& window) {
  if (!MayOpen(window.address)) window.address.clear();
  window.state =
      StateOfOpenable(window.state, [](const char* uri) { return MayOpen(uri); }).value_or("");
}

TSavedWindow Saved(TFormHTML& window) {
  TSavedWindow w;
  window.get_position(w.left, w.top);
  window.get_size(w.width, w.height);
  w.maximized = window.is_maximized();
  w.address = window.CppWebBrowser1->LocationURL().ToUtf8();
  if (window.get_data(kListForgotten) == nullptr) w.state = window.CppWebBrowser1->SessionState();
  return w;
}

}  // namespace

TWindowSession::TWindowSession(std::string path, RestoreWindows policy)
    : store_(std::move(path), [this] { return Windows(); }), policy_(policy) {
  g_session = this;
}

TWindowSession::~TWindowSession() {
  if (g_session == this) g_session = nullptr;
  delete bar_;
}

std::string TWindowSession::DefaultFile() { return ProfileDataFile(kFileName); }

TSavedWindow TWindowSession::Open(bool main_has_address) {
  into_main_ = !main_has_address;
  if (policy_ == RestoreWindows::kNever) {
    store_.Forget();
    return {};
  }
  last_ = store_.Open();
  for (TSavedWindow& window : last_.windows) Gated(window);
  const bool at_once = policy_ == RestoreWindows::kAlways && into_main_ && !last_.windows.empty();
  return at_once ? last_.windows.front() : TSavedWindow();
}

void TWindowSession::Start(TFormHTML& main) {
  main_ = &main;
  if (last_.windows.empty()) return;
  if (policy_ == RestoreWindows::kAlways) {
    BringBack(true);
  } else if (!last_.ended_normally) {
    Offer(main);
  }
}

void TWindowSession::Offer(TFormHTML& main) {
  // Owned here, not by the window: the window may go first at the end.
  bar_ = new TRestoreBar([this] { Restore(); });
  bar_->ShowIn(*main.CppWebBrowser1);
}

void TWindowSession::BringBack(bool main_done) {
  const std::vector<TSavedWindow> windows = std::exchange(last_.windows, {});
  std::size_t next = 0;
  if (into_main_ && main_ != nullptr && !windows.empty()) {
    Place(*main_, windows[0]);
    if (!main_done && !main_->CppWebBrowser1->RestoreSession(windows[0].state)) {
      main_->NavigateTo(windows[0].address, AddressFrom::kKept);
    }
    next = 1;
  }
  // Within the program's window limits, like any other request for windows.
  const TWindowGrant grant = GrantWindows(windows.size() - next);
  for (std::size_t i = next; i < next + grant.open; ++i) {
    auto* window = new TFormHTML(Application, windows[i].address, windows[i].state);
    Place(*window, windows[i]);
    window->show();
  }
  if (!grant.notice.empty() && main_ != nullptr) {
    TNoticeBar::Show(*main_->CppWebBrowser1, grant.notice);
  }
  Changed();
}

void TWindowSession::SettingChanged(RestoreWindows policy) {
  if (g_session != nullptr) g_session->Follow(policy);
}

void TWindowSession::Follow(RestoreWindows policy) {
  const bool kept = policy_ != RestoreWindows::kNever;
  policy_ = policy;
  if (kept && policy == RestoreWindows::kNever) {
    store_.Forget();
  } else if (!kept && policy != RestoreWindows::kNever) {
    store_.Resume();
  }
}

void TWindowSession::End() {
  if (policy_ != RestoreWindows::kNever) store_.Close();
}

std::vector<TSavedWindow> TWindowSession::Windows() const {
  std::vector<TSavedWindow> windows;
  if (Application == nullptr) return windows;
  // The main window first: it is made first, and the forms are kept in that order.
  for (TForm* form : Application->Forms()) {
    auto* window = dynamic_cast<TFormHTML*>(form);
    // A private window is not kept, nor brought back.
    if (window != nullptr && window->get_visible() && !window->Private()) {
      windows.push_back(Saved(*window));
    }
  }
  return windows;
}

void TWindowSession::Watch(TFormHTML& window) {
  window.signal_configure_event().connect(
      [](GdkEventConfigure*) {
        Changed();
        return false;
      },
      false);
  window.signal_window_state_event().connect(
      [](GdkEventWindowState*) {
        Changed();
        return false;
      },
      false);
  window.signal_show().connect(&TWindowSession::Changed);
  window.signal_hide().connect(&TWindowSession::Changed);
}

void TWindowSession::Changed() {
  if (g_session != nullptr && g_session->policy_ != RestoreWindows::kNever) {
    g_session->store_.Changed();
  }
}

void TWindowSession::ForgetBackForwardLists() {
  if (Application != nullptr) {
    for (TForm* form : Application->Forms()) form->set_data(kListForgotten, form);
  }
  if (g_session == nullptr) return;
  for (TSavedWindow& window : g_session->last_.windows) window.state.clear();
  Changed();
}
