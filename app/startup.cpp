#include "app/startup.h"

#include <algorithm>
#include <cstdio>

#include "app/handover_message.h"
#include "history/bookmarks.h"
#include "history/history.h"
#include "platform/exception.h"
#include "window/form_html.h"
#include "window/notice_bar.h"
#include "window/window_limit.h"
#include "window/window_session.h"

namespace {

// Windows of one start are stepped so that none hides another completely.
constexpr int kWindowStep = 20;

TWindowKind KindOf(bool private_window) {
  return private_window ? TWindowKind::kPrivate : TWindowKind::kNormal;
}

TFormHTML* OpenWindow(const std::string& address, int step, TWindowKind kind) {
  auto* window = new TFormHTML(Application, address, std::string(), kind);
  int left = 0, top = 0;
  window->get_position(left, top);
  window->move(left + step * kWindowStep, top + step * kWindowStep);
  window->show();
  return window;
}

}  // namespace

int RunApplication(const std::vector<std::string>& addresses, TWindowSession* session,
                   bool private_window) {
  try {
    Application->Initialize();
    Application->SetTitle("Tavorin");
    const TWindowKind kind = KindOf(private_window);
    const TSavedWindow kept =
        session != nullptr ? session->Open(!addresses.empty() || private_window) : TSavedWindow();
    const TWindowGrant grant = GrantWindows(std::max<std::size_t>(addresses.size(), 1));
    if (!grant.notice.empty()) std::fprintf(stderr, "tavorin: %s\n", grant.notice.c_str());
    Application->CreateForm(FormHTML, addresses.empty() ? kept.address : addresses.front(),
                            kept.state, kind);
    for (std::size_t i = 1; i < grant.open; ++i) OpenWindow(addresses[i], int(i), kind);
    if (session != nullptr) session->Start(*FormHTML);
    Application->Run();
    if (session != nullptr) session->End();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  Application->DestroyForms();
  CloseHistory();  // what the last pages recorded is written before the end
  CloseBookmarks();
  return 0;
}

void OpenWindows(const THandOver& handover) {
  try {
    const std::vector<std::string>& addresses = handover.addresses;
    const std::size_t wanted = std::max<std::size_t>(addresses.size(), 1) + handover.left_over;
    const TWindowGrant grant = GrantWindows(wanted);
    // With no room, the main window tells why nothing opened.
    TFormHTML* last = FormHTML;
    for (std::size_t i = 0; i < grant.open; ++i) {
      last = OpenWindow(i < addresses.size() ? addresses[i] : std::string(), int(i) + 1,
                        KindOf(handover.private_window));
    }
    if (last == nullptr) return;
    if (!grant.notice.empty()) TNoticeBar::Show(*last->CppWebBrowser1, grant.notice);
    if (handover.startup_id.empty()) {
      last->present();
    } else {
      gtk_window_set_startup_id(last->gobj(), handover.startup_id.c_str());  // presents it too
    }
  } catch (...) {
    Application->HandleException();
  }
}
