#include "downloads/gate.h"

#include <webkit2/webkit2.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "browser/kept_answers.h"
#include "browser/page_site.h"
#include "browser/permission_bar.h"
#include "downloads/bar.h"

namespace {

constexpr char kSpent[] = "tavorin-download-spent";
constexpr char kQuestion[] = "このサイトが複数のファイルをダウンロードしようとしています";

// The user's answers by site, for as long as the view's context lives.
std::map<std::string, bool>& Answers(WebKitWebView* view) { return KeptAnswers(view, "downloads"); }

// The page that spent a view's one download, by its site; none while the
// next download may start at once.
const char* SpentBy(WebKitWebView* view) {
  return static_cast<const char*>(g_object_get_data(G_OBJECT(view), kSpent));
}

void Spend(WebKitWebView* view, const std::string& page) {
  g_object_set_data_full(G_OBJECT(view), kSpent, g_strdup(page.c_str()), g_free);
}

void Renew(WebKitWebView* view) { g_object_set_data(G_OBJECT(view), kSpent, nullptr); }

// The site of the page, or the page itself when it has none.
std::string PageKey(WebKitWebView* view, const std::optional<PageSite>& site) {
  if (site) return site->origin;
  const gchar* uri = webkit_web_view_get_uri(view);
  return uri != nullptr ? uri : "";
}

gboolean Gesture(WebKitWebView* view, GdkEvent*, gpointer) {
  Renew(view);
  return FALSE;
}

// Another site's page gets its first download; the same site reloading or
// moving on by itself does not.
void LoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
  if (event != WEBKIT_LOAD_COMMITTED || SpentBy(view) == nullptr) return;
  if (PageKey(view, PageSiteOf(view)) != SpentBy(view)) Renew(view);
}

// A download waiting for the user's answer: the engine's question where to
// save it stays open until then, and nothing is written.
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

// Without a site (a file, a blank page) the answer is for this page only.
void Hold(WebKitDownload* download, Gtk::Box& browser, WebKitWebView* view,
          const std::optional<PageSite>& site) {
  if (!browser.get_mapped()) {  // a question nobody can see
    webkit_download_cancel(download);
    return;
  }
  const std::string key = PageKey(view, site);
  auto held = std::make_shared<HeldDownload>(download);
  TPermissionBar::Of(browser).Ask(
      key + " downloads", kQuestion,
      [held, target = &browser](bool allowed) {
        if (allowed) held->Release(*target);  // the strip asking is in it
      },
      [site, place = AnswersPlace(view)](bool allowed) {
        if (site) KeptAnswers(place.get(), "downloads")[site->origin] = allowed;
      });
}

}  // namespace

void WatchDownloadGestures(WebKitWebView* view) {
  g_signal_connect(view, "button-press-event", G_CALLBACK(Gesture), nullptr);
  g_signal_connect(view, "key-press-event", G_CALLBACK(Gesture), nullptr);
  g_signal_connect(view, "load-changed", G_CALLBACK(LoadChanged), nullptr);
}

void AllowNextDownload(WebKitWebView* view) { Renew(view); }

void ShowOrHold(WebKitDownload* download, Gtk::Box& browser, WebKitWebView* view) {
  TDownloadBar& bar = TDownloadBar::Of(browser);
  const std::optional<PageSite> site = PageSiteOf(view);
  if (bar.Retried(download) || SpentBy(view) == nullptr) {
    Spend(view, PageKey(view, site));
    bar.Add(download);
    return;
  }
  std::map<std::string, bool>& answers = Answers(view);
  const auto known = site ? answers.find(site->origin) : answers.end();
  if (known == answers.end()) {
    Hold(download, browser, view, site);
  } else if (known->second) {
    bar.Add(download);
  } else {
    webkit_download_cancel(download);
  }
}

std::optional<bool> DownloadsAnswer(WebKitWebView* view, const std::string& origin) {
  const std::map<std::string, bool>& answers = Answers(view);
  const auto known = answers.find(origin);
  if (known == answers.end()) return std::nullopt;
  return known->second;
}

void ForgetDownloadsAnswer(WebKitWebView* view, const std::string& origin) {
  Answers(view).erase(origin);
}
