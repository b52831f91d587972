#include "browser/download_gate.h"

#include <webkit2/webkit2.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "browser/download_bar.h"
#include "browser/page_site.h"
#include "browser/permission_bar.h"

namespace {

constexpr char kSpent[] = "tavorin-download-spent";
constexpr char kQuestion[] = "このサイトが複数のファイルをダウンロードしようとしています";

// The user's answers by site, for as long as the program runs.
std::map<std::string, bool>& Answers() {
  static std::map<std::string, bool> answers;
  return answers;
}

bool Spent(WebKitWebView* view) { return g_object_get_data(G_OBJECT(view), kSpent) != nullptr; }

void Spend(WebKitWebView* view, bool spent) {
  g_object_set_data(G_OBJECT(view), kSpent, spent ? GINT_TO_POINTER(1) : nullptr);
}

gboolean Gesture(WebKitWebView* view, GdkEvent*, gpointer) {
  Spend(view, false);
  return FALSE;
}

void LoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
  if (event == WEBKIT_LOAD_COMMITTED) Spend(view, false);  // a new page's first download
}

// A download waiting for the user's answer. The engine asks where to save it
// once the answer has come; until then the data waits.
class HeldDownload {
 public:
  explicit HeldDownload(WebKitDownload* download)
      : download_(WEBKIT_DOWNLOAD(g_object_ref(download))) {
    g_signal_connect(download_, "decide-destination", G_CALLBACK(&HeldDownload::Decide), this);
    g_signal_connect(download_, "failed", G_CALLBACK(&HeldDownload::Failed), this);
  }
  // Not released: discarded.
  ~HeldDownload() {
    g_signal_handlers_disconnect_by_data(download_, this);
    if (!ended_) webkit_download_cancel(download_);
    g_object_unref(download_);
  }
  HeldDownload(const HeldDownload&) = delete;
  HeldDownload& operator=(const HeldDownload&) = delete;

  void Release(Gtk::Box& browser) {
    g_signal_handlers_disconnect_by_data(download_, this);
    if (!ended_) TDownloadBar::Of(browser).Add(download_, suggested_);
    ended_ = true;
  }

 private:
  static gboolean Decide(WebKitDownload*, gchar* suggested, HeldDownload* self) {
    self->suggested_ = suggested != nullptr ? suggested : "";
    return TRUE;
  }
  static void Failed(WebKitDownload*, GError*, HeldDownload* self) { self->ended_ = true; }

  WebKitDownload* download_;
  std::optional<std::string> suggested_;
  bool ended_ = false;
};

void Hold(WebKitDownload* download, Gtk::Box& browser, WebKitWebView* view) {
  const std::optional<PageSite> site = SiteOf(view);
  if (!browser.get_mapped()) {  // a question nobody can see
    webkit_download_cancel(download);
    return;
  }
  auto held = std::make_shared<HeldDownload>(download);
  const gchar* uri = webkit_web_view_get_uri(view);
  const std::string key = site ? site->origin : std::string(uri != nullptr ? uri : "");
  TPermissionBar::Of(browser).Ask(
      key + " downloads", kQuestion,
      [held, &browser](bool allowed) {
        if (allowed) held->Release(browser);
      },
      [site](bool allowed) {
        if (site) Answers()[site->origin] = allowed;
      });
}

}  // namespace

void WatchDownloadGestures(WebKitWebView* view) {
  g_signal_connect(view, "button-press-event", G_CALLBACK(Gesture), nullptr);
  g_signal_connect(view, "key-press-event", G_CALLBACK(Gesture), nullptr);
  g_signal_connect(view, "load-changed", G_CALLBACK(LoadChanged), nullptr);
}

void AllowNextDownload(WebKitWebView* view) { Spend(view, false); }

void ShowOrHold(WebKitDownload* download, Gtk::Box& browser, WebKitWebView* view) {
  TDownloadBar& bar = TDownloadBar::Of(browser);
  if (bar.Retried(download) || !Spent(view)) {
    Spend(view, true);
    bar.Add(download);
    return;
  }
  const std::optional<PageSite> site = SiteOf(view);
  const auto known = site ? Answers().find(site->origin) : Answers().end();
  if (known == Answers().end()) {
    Hold(download, browser, view);
  } else if (known->second) {
    bar.Add(download);
  } else {
    webkit_download_cancel(download);
  }
}
