#include "window/private_window.h"

#include <glibmm/main.h>
#include <webkit2/webkit2.h>

#include <algorithm>

#include "private/private_context.h"
#include "window/form_html.h"
#include "window/notice_bar.h"
#include "window/window_limit.h"

const char kPrivateTitle[] = "Tavorinのお役立ちブラウザ（プライベート）";
const char kPrivateAddressName[] = "アドレス（プライベート）";
const char kPrivateDownloadNotice[] =
    "プライベート ウィンドウでダウンロードしたファイルも、ダウンロード フォルダに保存され、"
    "ウィンドウを閉じても残ります。";
const char kPrivateSaveNotice[] =
    "プライベート ウィンドウで保存したページも、ダウンロード フォルダに保存され、"
    "ウィンドウを閉じても残ります。";

namespace {

// Violet, as other browsers mark their private windows; black text stays legible on it.
constexpr Rgb kPrivateRow{0xDC / 255.0, 0xD0 / 255.0, 0xEE / 255.0};
constexpr char kWatched[] = "tavorin-private-downloads-watched";
constexpr char kTold[] = "tavorin-private-file-told";

TFormHTML* WindowOf(WebKitWebView* view) {
  if (view == nullptr || Application == nullptr) return nullptr;
  for (TForm* form : Application->Forms()) {
    auto* window = dynamic_cast<TFormHTML*>(form);
    if (window != nullptr && window->CppWebBrowser1->View() == view) return window;
  }
  return nullptr;
}

// A window a page opened only for a download closes again, and the download
// shows in the opener's window (downloads/routing.h): so does the notice.
TFormHTML* ShowingDownloadOf(WebKitWebView* view) {
  TFormHTML* window = WindowOf(view);
  if (window == nullptr) return nullptr;
  WebKitWebView* opener = window->CppWebBrowser1->Opener();
  const bool empty = webkit_back_forward_list_get_current_item(
                         webkit_web_view_get_back_forward_list(view)) == nullptr;
  TFormHTML* opener_window = opener != nullptr && empty ? WindowOf(opener) : nullptr;
  return opener_window != nullptr ? opener_window : window;
}

// Said for the first file the private windows open together write: files
// are the one thing they leave behind.
void TellOnce(TFormHTML& window, const char* notice) {
  GObject* context = G_OBJECT(webkit_web_view_get_context(window.CppWebBrowser1->View()));
  if (g_object_get_data(context, kTold) != nullptr) return;
  g_object_set_data(context, kTold, context);
  TNoticeBar::Show(*window.CppWebBrowser1, notice);
}

void DownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
  TFormHTML* window = ShowingDownloadOf(webkit_download_get_web_view(download));
  if (window != nullptr) TellOnce(*window, kPrivateDownloadNotice);
}

void WatchDownloads(WebKitWebContext* context) {
  if (g_object_get_data(G_OBJECT(context), kWatched) != nullptr) return;
  g_object_set_data(G_OBJECT(context), kWatched, context);
  g_signal_connect(context, "download-started", G_CALLBACK(DownloadStarted), nullptr);
}

// Destroyed once the close is over; unless something destroyed it meanwhile
// or showed it again.
void DestroyLater(TFormHTML* window) {
  Glib::signal_idle().connect_once([window] {
    if (Application == nullptr) return;
    const std::vector<TForm*>& forms = Application->Forms();
    if (std::find(forms.begin(), forms.end(), window) == forms.end()) return;
    if (!window->get_visible()) delete window;
  });
}

// A hidden private window would keep its pages running and their data in
// memory: the user closed it to be done with them.
bool Closing(TFormHTML& window) {
  if (Application == nullptr || Application->MainForm() == &window) return false;
  window.hide();
  if (!StillDownloading(*window.CppWebBrowser1)) DestroyLater(&window);
  return true;
}

}  // namespace

void OpenPrivateWindow(TFormHTML& from) {
  if (TFormHTML* window = from.OpenWindow(TWindowKind::kPrivate, from)) window->present();
}

void TellPageSaved(TFormHTML& window) {
  if (window.Private()) TellOnce(window, kPrivateSaveNotice);
}

void MakePrivate(TFormHTML& window) {
  std::shared_ptr<WebKitWebContext> context = PrivateContext();
  WatchDownloads(context.get());
  window.CppWebBrowser1->UseContext(std::move(context));
  window.set_title(kPrivateTitle);
  window.Panel2->SetColour(kPrivateRow);
  window.Panel2->get_accessible()->set_name(kPrivateAddressName);
  window.EditURL->get_accessible()->set_name(kPrivateAddressName);
  window.signal_delete_event().connect([&window](GdkEventAny*) { return Closing(window); }, false);
}
