#include "error_pages/error_pages.h"

#include <glibmm/main.h>
#include <webkit2/webkit2.h>

#include <string>

#include "browser/address_gate.h"
#include "browser/cpp_web_browser.h"
#include "browser/page_visits.h"
#include "error_pages/blocked_port.h"
#include "error_pages/error_page_html.h"
#include "page_info/security.h"

namespace {

// What a view's error pages need; lives as long as the view.
struct Watch {
  TCppWebBrowser* browser;
  std::string pending;  // the address an error page of ours is loading under
  std::string shown;    // the address whose error page of ours shows
};

std::string AddressOf(WebKitWebView* view) {
  const gchar* uri = webkit_web_view_get_uri(view);
  return uri != nullptr ? uri : "";
}

void Show(WebKitWebView* view, Watch* watch, const ErrorFacts& facts) {
  watch->pending = facts.uri;
  watch->browser->Visits().ErrorPageNext(facts.uri);
  const std::string html = ErrorPageHtml(facts);
  webkit_web_view_load_alternate_html(view, html.c_str(), facts.uri.c_str(), facts.uri.c_str());
}

gboolean LoadFailed(WebKitWebView* view, WebKitLoadEvent, gchar* uri, GError* error, Watch* watch) {
  if (uri == nullptr || Unshown(error)) return FALSE;
  const ErrorKind kind = KindOf(error);
  Show(view, watch, {kind, uri, kind == ErrorKind::kOther ? error->message : ""});
  return TRUE;
}

gboolean TlsFailed(WebKitWebView* view, gchar* uri, GTlsCertificate*, GTlsCertificateFlags errors,
                   Watch* watch) {
  if (uri == nullptr) return FALSE;
  Show(view, watch, {ErrorKind::kCertificate, uri, CertificateProblems(errors)});
  return TRUE;
}

void LoadChanged(WebKitWebView* view, WebKitLoadEvent event, Watch* watch) {
  if (event != WEBKIT_LOAD_COMMITTED) return;
  const std::string uri = AddressOf(view);
  watch->shown = !watch->pending.empty() && watch->pending == uri ? uri : "";
  watch->pending.clear();
}

// Acts on a button of the page, once the engine's decision is over; not once
// the window is gone.
void Later(Watch* watch, std::function<void(TCppWebBrowser*)> act) {
  TCppWebBrowser* browser = watch->browser;
  Glib::signal_idle().connect_once(
      sigc::track_obj([browser, act = std::move(act)] { act(browser); }, *browser));
}

void Retry(TCppWebBrowser* browser, const std::string& uri) {
  if (MayOpen(uri, AddressFrom::kUser)) {
    browser->Navigate(WideString::FromUtf8(uri), nullptr, nullptr, nullptr, nullptr);
  }
}

void Back(TCppWebBrowser* browser) {
  if (webkit_web_view_can_go_back(browser->View())) {
    browser->GoBack();
  } else {
    browser->GoHome();
  }
}

// The buttons of our page, which only act while it shows.
bool Button(WebKitWebView* view, Watch* watch, const std::string& target) {
  if (watch->shown.empty() || AddressOf(view) != watch->shown) return false;
  if (target == kRetryAddress) {
    Later(watch, [uri = watch->shown](TCppWebBrowser* browser) { Retry(browser, uri); });
    return true;
  }
  if (target == kBackAddress) {
    Later(watch, Back);
    return true;
  }
  return false;
}

gboolean Decide(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                Watch* watch) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const std::string target =
      webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  if (Button(view, watch, target)) {
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
  // The engine would show a blank page and say nothing.
  const std::optional<int> port = BlockedPort(target);
  if (!port) return FALSE;
  webkit_policy_decision_ignore(decision);
  Later(watch, [view, watch, target, port = *port](TCppWebBrowser*) {
    Show(view, watch, {ErrorKind::kBlockedPort, target, "", port});
  });
  return TRUE;
}

}  // namespace

void ShowErrorPages(WebKitWebView* view, Gtk::Box& box) {
  auto* browser = dynamic_cast<TCppWebBrowser*>(&box);
  if (browser == nullptr) return;
  auto* watch = new Watch{browser, {}, {}};
  g_object_set_data_full(G_OBJECT(view), "tavorin-error-pages", watch,
                         [](gpointer data) { delete static_cast<Watch*>(data); });
  g_signal_connect(view, "load-failed", G_CALLBACK(LoadFailed), watch);
  g_signal_connect(view, "load-failed-with-tls-errors", G_CALLBACK(TlsFailed), watch);
  g_signal_connect(view, "load-changed", G_CALLBACK(LoadChanged), watch);
  g_signal_connect(view, "decide-policy", G_CALLBACK(Decide), watch);
}
