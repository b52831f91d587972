#include "page_info/trail_watch.h"

#include <webkit2/webkit2.h>

#include <memory>
#include <string>

#include "page_info/trail.h"

namespace {

constexpr char kKey[] = "tavorin-trail";
constexpr char kWorld[] = "tavorin-trail";

// Asked of the page still shown when it sends itself on: a refresh it
// declared, or a script of its own.
constexpr char kMetaProbe[] = "!!document.querySelector('meta[http-equiv=\"refresh\" i]')";

struct Watch {
  TPageTrail trail;
  sigc::signal<void()> changed;
  bool user_asked = true;    // the view's first load is asked for by somebody
  bool provisional = false;  // a load on its way, not committed
  bool page_shown = false;   // a page committed in the view
  std::string meta_refresh;  // a load that a page's <meta> asked for
  bool header_refresh = false;
  std::string client_redirect;  // a load the page started by itself
};

Watch* WatchOf(WebKitWebView* view) {
  return static_cast<Watch*>(g_object_get_data(G_OBJECT(view), kKey));
}

std::string UriOf(WebKitURIRequest* request) {
  const gchar* uri = webkit_uri_request_get_uri(request);
  return uri != nullptr ? uri : "";
}

const char* HowPageSentOn(const Watch& watch, const std::string& uri) {
  if (watch.meta_refresh == uri) return TPageTrail::kMetaRefresh;
  if (watch.header_refresh) return TPageTrail::kRefreshHeader;
  return TPageTrail::kScript;
}

// The answer may come before the load starts or after: either way the hop
// to `uri` ends up named for the refresh.
void MetaProbed(GObject* view, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::string> uri(static_cast<std::string*>(data));
  JSCValue* value =
      webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
  const bool meta = value != nullptr && jsc_value_to_boolean(value);
  if (value != nullptr) g_object_unref(value);
  Watch* watch = WatchOf(WEBKIT_WEB_VIEW(view));
  if (!meta || watch == nullptr) return;
  watch->meta_refresh = *uri;
  if (watch->trail.Hops().empty() || watch->trail.Hops().back().address != *uri) return;
  watch->trail.Relabel(*uri, TPageTrail::kMetaRefresh);
  watch->changed.emit();
}

// Asked only when a page sends itself on: nothing is added to other loads.
void ProbeMetaRefresh(WebKitWebView* view, const std::string& uri) {
  webkit_web_view_evaluate_javascript(view, kMetaProbe, -1, kWorld, nullptr, nullptr, MetaProbed,
                                      new std::string(uri));
}

// Which of the top frame's loads a page made by itself, before it starts:
// neither the user's request nor a click, nor a step in the history.
gboolean DecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                      WebKitPolicyDecisionType type, Watch* watch) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const bool by_page =
      webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_OTHER &&
      !webkit_navigation_action_is_user_gesture(action) &&
      !webkit_navigation_action_is_redirect(action);
  if (by_page && !watch->user_asked && watch->page_shown) {
    watch->client_redirect = UriOf(webkit_navigation_action_get_request(action));
    if (!watch->header_refresh) ProbeMetaRefresh(view, watch->client_redirect);
  }
  return FALSE;
}

void SentRequest(WebKitWebResource*, WebKitURIRequest* request, WebKitURIResponse* redirected,
                 Watch* watch) {
  if (redirected == nullptr) return;
  watch->trail.Add(std::to_string(webkit_uri_response_get_status_code(redirected)), UriOf(request));
  watch->changed.emit();
}

// Seen on the document itself: the view's notice of a failure may be taken
// by the component as one of an older load.
void Failed(WebKitWebResource*, GError* error, Watch* watch) {
  if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) return;
  if (g_error_matches(error, WEBKIT_POLICY_ERROR,
                      WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE)) {
    return;  // became a download, or another load took over
  }
  watch->trail.Fail(error->message);
  watch->changed.emit();
}

void ResourceStarted(WebKitWebView* view, WebKitWebResource* resource, WebKitURIRequest* request,
                     Watch* watch) {
  if (resource != webkit_web_view_get_main_resource(view)) return;
  // The engine's page telling of the failure is not a step of the way.
  if (!watch->user_asked && !watch->trail.Failure().empty()) return;
  const std::string uri = UriOf(request);
  if (!watch->user_asked && watch->client_redirect == uri) {
    watch->trail.Add(HowPageSentOn(*watch, uri), uri);
  } else {
    watch->trail.Start(uri);
  }
  watch->user_asked = false;
  watch->client_redirect.clear();
  g_signal_connect(resource, "sent-request", G_CALLBACK(SentRequest), watch);
  g_signal_connect(resource, "failed", G_CALLBACK(Failed), watch);
  watch->changed.emit();
}

WebKitURIResponse* MainResponse(WebKitWebView* view) {
  WebKitWebResource* main = webkit_web_view_get_main_resource(view);
  return main != nullptr ? webkit_web_resource_get_response(main) : nullptr;
}

bool HasRefreshHeader(WebKitWebView* view) {
  WebKitURIResponse* response = MainResponse(view);
  SoupMessageHeaders* headers =
      response != nullptr ? webkit_uri_response_get_http_headers(response) : nullptr;
  return headers != nullptr && soup_message_headers_get_one(headers, "Refresh") != nullptr;
}

void LoadChanged(WebKitWebView* view, WebKitLoadEvent event, Watch* watch) {
  watch->provisional = event == WEBKIT_LOAD_STARTED || event == WEBKIT_LOAD_REDIRECTED;
  if (event != WEBKIT_LOAD_COMMITTED) return;
  watch->page_shown = true;
  watch->meta_refresh.clear();
  watch->header_refresh = HasRefreshHeader(view);
  // The engine stops following a chain too long (or a loop) and shows the
  // last redirect itself.
  WebKitURIResponse* response = MainResponse(view);
  const guint status = response != nullptr ? webkit_uri_response_get_status_code(response) : 0;
  if (status >= 300 && status < 400) {
    watch->trail.Fail("転送が続くため、エンジンがここで止めました（" + std::to_string(status) +
                      "）");
  }
  watch->changed.emit();
}

// A move within the page (a fragment, history.pushState) commits no load.
void UriChanged(WebKitWebView* view, GParamSpec*, Watch* watch) {
  const gchar* uri = webkit_web_view_get_uri(view);
  if (watch->provisional || uri == nullptr || watch->trail.Hops().empty()) return;
  if (watch->trail.Hops().back().address == uri) return;
  watch->trail.Add(TPageTrail::kSameDocument, uri);
  watch->changed.emit();
}

void Forget(gpointer data) { delete static_cast<Watch*>(data); }

}  // namespace

void WatchTrail(WebKitWebView* view) {
  if (WatchOf(view) != nullptr) return;
  auto* watch = new Watch;
  g_object_set_data_full(G_OBJECT(view), kKey, watch, Forget);
  g_signal_connect(view, "decide-policy", G_CALLBACK(DecidePolicy), watch);
  g_signal_connect(view, "resource-load-started", G_CALLBACK(ResourceStarted), watch);
  g_signal_connect(view, "load-changed", G_CALLBACK(LoadChanged), watch);
  g_signal_connect(view, "notify::uri", G_CALLBACK(UriChanged), watch);
}

void NoteUserLoad(WebKitWebView* view) {
  if (Watch* watch = WatchOf(view)) watch->user_asked = true;
}

const TPageTrail* TrailOf(WebKitWebView* view) {
  Watch* watch = WatchOf(view);
  return watch != nullptr ? &watch->trail : nullptr;
}

sigc::signal<void()>* TrailChanged(WebKitWebView* view) {
  Watch* watch = WatchOf(view);
  return watch != nullptr ? &watch->changed : nullptr;
}
