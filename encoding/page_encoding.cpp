#include "encoding/page_encoding.h"

#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "browser/page_site.h"
#include "encoding/charset.h"

namespace {

constexpr char kKey[] = "tavorin-page-encoding";

struct State {
  std::string chosen;       // by the user; empty: detected
  std::string chosen_host;  // where the choice holds
  std::string redecoding;   // the page being read again: its check is done
  bool posting = false;     // the load under way sends a form
  bool from_form = false;   // the page shown answered a form
};

State& StateOf(WebKitWebView* view) {
  return *static_cast<State*>(g_object_get_data(G_OBJECT(view), kKey));
}

std::string HostOf(WebKitWebView* view) {
  const std::optional<PageSite> site = PageSiteOf(view);
  return site ? site->host : "";
}

// What a page is checked against, once its bytes are in.
struct Check {
  WebKitWebView* view;  // a reference of our own
  std::string uri;      // of the page the check is for
  std::string content_type;
  std::string wanted;
};

bool StillShown(const Check& check) {
  const gchar* uri = webkit_web_view_get_uri(check.view);
  return uri != nullptr && check.uri == uri && !webkit_web_view_is_loading(check.view);
}

void Redecode(WebKitWebView* view, const std::string& charset) {
  // The engine reads nothing again for the charset it has already.
  const char* current = webkit_web_view_get_custom_charset(view);
  if (current != nullptr && charset == current) return;
  const gchar* uri = webkit_web_view_get_uri(view);
  StateOf(view).redecoding = uri != nullptr ? uri : "";
  webkit_web_view_set_custom_charset(view, charset.c_str());
}

void CharacterSetRead(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Check> check(static_cast<Check*>(data));
  JSCValue* value =
      webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
  if (value != nullptr) {
    gchar* in_use = jsc_value_to_string(value);
    if (StillShown(*check) && !SameCharset(in_use, check->wanted))
      Redecode(check->view, check->wanted);
    g_free(in_use);
    g_object_unref(value);
  }
  g_object_unref(check->view);
}

void DataRead(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Check> check(static_cast<Check*>(data));
  gsize length = 0;
  guchar* bytes =
      webkit_web_resource_get_data_finish(WEBKIT_WEB_RESOURCE(source), result, &length, nullptr);
  if (bytes == nullptr || !StillShown(*check)) {
    g_free(bytes);
    g_object_unref(check->view);
    return;
  }
  const std::string_view page(reinterpret_cast<const char*>(bytes), length);
  const std::string declared = DeclaredCharset(check->content_type, page);
  check->wanted = declared.empty() ? DetectedCharset(page) : declared;
  g_free(bytes);
  if (check->wanted.empty()) {  // plain ASCII: any reading is right
    g_object_unref(check->view);
    return;
  }
  // A declared page is read as declared unless a choice for an earlier page
  // is still in force.
  if (!declared.empty() && webkit_web_view_get_custom_charset(check->view) == nullptr) {
    g_object_unref(check->view);
    return;
  }
  // The engine may have found the same on its own: ask what it used.
  Check* asked = check.release();
  webkit_web_view_evaluate_javascript(asked->view, "document.characterSet", -1, nullptr, nullptr,
                                      nullptr, CharacterSetRead, asked);
}

bool IsDocument(const char* mime) {
  return mime != nullptr &&
         (std::strcmp(mime, "text/html") == 0 || std::strcmp(mime, "text/plain") == 0);
}

// A page has loaded: unless the user's choice holds, read it as it declares
// or as its bytes are.
void Finished(WebKitWebView* view) {
  State& state = StateOf(view);
  const gchar* uri = webkit_web_view_get_uri(view);
  // Another page (the user went on meanwhile) is checked all the same.
  if (uri != nullptr && std::exchange(state.redecoding, {}) == uri) return;
  if (!state.chosen.empty() && HostOf(view) == state.chosen_host) return;
  state.chosen.clear();
  WebKitWebResource* resource = webkit_web_view_get_main_resource(view);
  WebKitURIResponse* response = resource ? webkit_web_resource_get_response(resource) : nullptr;
  if (state.from_form || response == nullptr ||
      !IsDocument(webkit_uri_response_get_mime_type(response)))
    return;
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  const char* type = headers ? soup_message_headers_get_one(headers, "Content-Type") : nullptr;
  const std::string content_type = type != nullptr ? type : "";
  // Declared in the header and nothing chosen: nothing to fetch or decode.
  if (webkit_web_view_get_custom_charset(view) == nullptr &&
      !DeclaredCharset(content_type, {}).empty())
    return;
  auto* check = new Check{
      WEBKIT_WEB_VIEW(g_object_ref(view)), webkit_web_view_get_uri(view), content_type, {}};
  webkit_web_resource_get_data(resource, nullptr, DataRead, check);
}

void LoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
  State& state = StateOf(view);
  if (event == WEBKIT_LOAD_COMMITTED) state.from_form = std::exchange(state.posting, false);
  if (event == WEBKIT_LOAD_FINISHED) Finished(view);
}

gboolean DecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                      WebKitPolicyDecisionType type, gpointer) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const char* method =
      webkit_uri_request_get_http_method(webkit_navigation_action_get_request(action));
  StateOf(view).posting = method != nullptr && std::strcmp(method, "POST") == 0;
  return FALSE;  // decided elsewhere
}

}  // namespace

void WatchPageEncoding(WebKitWebView* view) {
  g_object_set_data_full(G_OBJECT(view), kKey, new State,
                         [](gpointer state) { delete static_cast<State*>(state); });
  webkit_settings_set_default_charset(webkit_web_view_get_settings(view), kFallbackCharset);
  g_signal_connect(view, "load-changed", G_CALLBACK(LoadChanged), nullptr);
  g_signal_connect(view, "decide-policy", G_CALLBACK(DecidePolicy), nullptr);
}

std::string ChosenEncoding(WebKitWebView* view) { return StateOf(view).chosen; }

bool EncodingChoosable(WebKitWebView* view) { return !StateOf(view).from_form; }

void ChooseEncoding(WebKitWebView* view, const std::string& charset) {
  State& state = StateOf(view);
  if (state.from_form) return;
  state.chosen = charset;
  state.chosen_host = HostOf(view);
  if (charset.empty()) {
    Finished(view);
    return;
  }
  Redecode(view, charset);
}
