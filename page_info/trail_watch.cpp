#include "page_info/trail_watch.h"

#include <webkit2/webkit2.h>

#include <string>

#include "page_info/trail.h"

namespace {

constexpr char kKey[] = "tavorin-trail";
constexpr char kWorld[] = "tavorin-trail";
constexpr char kChannel[] = "tavorinTrail";

// Says that the page asks to be refreshed into another: the refresh itself
// comes only after the page has loaded, so this arrives first.
constexpr char kMetaScript[] =
    "if (document.querySelector('meta[http-equiv=\"refresh\" i]'))"
    " window.webkit.messageHandlers.tavorinTrail.postMessage(1);";

struct Watch {
  ~Watch() {
    if (content == nullptr) return;
    g_signal_handlers_disconnect_by_data(content, this);
    g_object_remove_weak_pointer(G_OBJECT(content), reinterpret_cast<gpointer*>(&content));
  }
  WebKitUserContentManager* content = nullptr;  // not ours; it may go first
  TPageTrail trail;
  sigc::signal<void()> changed;
  bool user_asked = true;     // the view's first load is asked for by somebody
  bool provisional = false;   // a load on its way, not committed
  bool page_shown = false;    // a page committed in the view
  bool meta_refresh = false;  // the page shown asks for a refresh
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

const char* HowPageSentOn(const Watch& watch) {
  if (watch.meta_refresh) return TPageTrail::kMetaRefresh;
  if (watch.header_refresh) return TPageTrail::kRefreshHeader;
  return TPageTrail::kScript;
}

// Which of the top frame's loads a page made by itself, before it starts:
// neither the user's request nor a click, nor a step in the history.
gboolean DecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                      Watch* watch) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const bool by_page =
      webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_OTHER &&
      !webkit_navigation_action_is_user_gesture(action) &&
      !webkit_navigation_action_is_redirect(action);
  if (by_page && !watch->user_asked && watch->page_shown) {
    watch->client_redirect = UriOf(webkit_navigation_action_get_request(action));
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
  const std::string uri = UriOf(request);
  if (!watch->user_asked && watch->client_redirect == uri) {
    watch->trail.Add(HowPageSentOn(*watch), uri);
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
  watch->meta_refresh = false;
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

void MetaRefresh(WebKitUserContentManager*, JSCValue*, Watch* watch) { watch->meta_refresh = true; }

void WatchMetaRefresh(WebKitWebView* view, Watch* watch) {
  WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(view);
  watch->content = content;
  g_object_add_weak_pointer(G_OBJECT(content), reinterpret_cast<gpointer*>(&watch->content));
  webkit_user_content_manager_register_script_message_handler_in_world(content, kChannel, kWorld);
  g_signal_connect(content, (std::string("script-message-received::") + kChannel).c_str(),
                   G_CALLBACK(MetaRefresh), watch);
  WebKitUserScript* script = webkit_user_script_new_for_world(
      kMetaScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END,
      kWorld, nullptr, nullptr);
  webkit_user_content_manager_add_script(content, script);
  webkit_user_script_unref(script);
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
  WatchMetaRefresh(view, watch);
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
