// Events of the window's browser component.
#include "window/form_html.h"
#include "window/notice_bar.h"
#include "window/suggestion_list.h"
#include "window/window_limit.h"
#include "window/window_session.h"

namespace {

constexpr char kEmptyPage[] = "about:blank";

}  // namespace

void TFormHTML::CppWebBrowser1NavigateComplete2(TCppWebBrowser*, IDispatch*, Variant*) {
  // The component's own location, not the event's address: a frame's
  // navigation must not put the frame's address in the box.
  Suggestions().ShowAddress(CppWebBrowser1->LocationURL().ToUtf8());
  TWindowSession::Changed();
}

void TFormHTML::CppWebBrowser1NewWindow2(TCppWebBrowser*, IDispatch** ppDisp,
                                         VARIANT_BOOL* Cancel) {
  // A private window's pages open private windows: they share its context.
  TFormHTML* window = OpenWindow(kind_, *FormHTML);
  if (window == nullptr) {  // the page's request is refused and the user told why
    *Cancel = VARIANT_TRUE;
    return;
  }
  CppWebBrowser1->SetRegisterAsBrowser(VARIANT_TRUE);
  *ppDisp = window->CppWebBrowser1->Application();
}

TFormHTML* TFormHTML::OpenWindow(TWindowKind kind, TFormHTML& place) {
  if (WindowRoom() == 0) {
    TNoticeBar::Show(*CppWebBrowser1, WindowLimitNotice());
    return nullptr;
  }
  auto* window = new TFormHTML(Owner(), {}, {}, kind);
  int left = 0, top = 0;
  place.get_position(left, top);
  window->move(left + 20, top + 20);
  window->show();
  return window;
}

// A closed window is kept hidden (for what it still downloads, and until
// room is needed), but its page would go on running, playing and loading
// where nothing shows: closing leaves it for an empty page, and no page
// that kept a handle on the window (its opener) loads another there.
void TFormHTML::LeavePageWhenClosed() {
  signal_delete_event().connect(
      [this](GdkEventAny*) {
        if (Application->MainForm() == this) return false;  // the program ends
        closed_ = true;
        CppWebBrowser1->Stop();
        NavigateTo(kEmptyPage);
        return false;
      },
      false);
  signal_show().connect([this] { closed_ = false; });
}

void TFormHTML::CppWebBrowser1BeforeNavigate2(TCppWebBrowser*, IDispatch*, Variant* URL, Variant*,
                                              Variant*, Variant*, Variant*, VARIANT_BOOL* Cancel) {
  if (closed_ && URL->bstrVal().ToUtf8() != kEmptyPage) *Cancel = VARIANT_TRUE;
}

// The address box shows the load's progress under its text; its text is
// left alone.
void TFormHTML::CppWebBrowser1ProgressChange(TCppWebBrowser*, long Progress, long ProgressMax) {
  const bool loading = Progress >= 0 && ProgressMax > 0 && Progress < ProgressMax;
  EditURL->set_progress_fraction(loading ? double(Progress) / ProgressMax : 0.0);
}
