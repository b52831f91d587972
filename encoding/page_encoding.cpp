#include "encoding/page_encoding.h"

#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "encoding/charset.h"

namespace {

constexpr char kKey[] = "tavorin-page-encoding";
constexpr char kDetectorFeature[] = "UsesEncodingDetector";
// Where the check asks what the page was read in: the page's own scripts
// cannot reach it.
constexpr char kWorld[] = "tavorin-encoding";

// Where the engine's detector cannot tell. Measured on pages that declare
// nothing, its first reading is right more often so than with Shift_JIS:
// long UTF-8 and Western pages it cannot tell are read right, the check
// reads the others again.
constexpr char kEngineFallback[] = "windows-1252";

struct State {
  std::string reading;         // what the engine reads undeclared pages in; empty: its detector
  std::string chosen;          // by the user; empty: detected
  std::string chosen_host;     // where the choice holds
  bool chosen_forced = false;  // given to the engine as a choice that beats a declaration
  std::string rereading_next;  // the page the check reads again, until its navigation
  bool rereading = false;      // the page under way or shown is read again
  bool posting = false;        // the load under way sends a form
  bool from_form = false;      // the page shown answered a form
};

State& StateOf(WebKitWebView* view) {
  return *static_cast<State*>(g_object_get_data(G_OBJECT(view), kKey));
}

std::string HostOf(const char* uri) {
  GUri* parsed = uri != nullptr ? g_uri_parse(uri, G_URI_FLAGS_NONE, nullptr) : nullptr;
  const char* host = parsed != nullptr ? g_uri_get_host(parsed) : nullptr;
  std::string lower;
  if (host != nullptr) {
    gchar* down = g_ascii_strdown(host, -1);
    lower = down;
    g_free(down);
  }
  if (parsed != nullptr) g_uri_unref(parsed);
  return lower;
}

std::string ShownHost(WebKitWebView* view) { return HostOf(webkit_web_view_get_uri(view)); }

bool ChoiceHolds(const State& state, const std::string& host) {
  return !state.chosen.empty() && !host.empty() && host == state.chosen_host;
}

void SetDetector(WebKitSettings* settings, bool on) {
  WebKitFeatureList* features = webkit_settings_get_all_features();
  for (gsize i = 0; i < webkit_feature_list_get_length(features); ++i) {
    WebKitFeature* feature = webkit_feature_list_get(features, i);
    if (std::strcmp(webkit_feature_get_identifier(feature), kDetectorFeature) == 0)
      webkit_settings_set_feature_enabled(settings, feature, on);
  }
  webkit_feature_list_unref(features);
}

// How the engine reads the next page that declares nothing: with its own
// detector, or in `charset` (the check's finding, the user's choice). Only
// such a page: a declaration still wins. Read when the page's bytes come,
// so set before its navigation goes on.
void ReadUndeclaredAs(WebKitWebView* view, const std::string& charset) {
  std::string& reading = StateOf(view).reading;
  if (reading == charset) return;  // each change is a message to the page's process
  reading = charset;
  WebKitSettings* settings = webkit_web_view_get_settings(view);
  SetDetector(settings, charset.empty());
  webkit_settings_set_default_charset(settings,
                                      charset.empty() ? kEngineFallback : charset.c_str());
}

// Reads the page shown again, from the cache, with no choice left on the
// view for the pages after it: the engine keeps a custom charset for every
// later page and reads even a declared one in it.
void ReadAgainAs(WebKitWebView* view, const std::string& charset) {
  WebKitBackForwardListItem* item =
      webkit_back_forward_list_get_current_item(webkit_web_view_get_back_forward_list(view));
  if (item == nullptr) return;
  ReadUndeclaredAs(view, charset);
  StateOf(view).rereading_next = webkit_back_forward_list_item_get_uri(item);
  webkit_web_view_go_to_back_forward_list_item(view, item);
}

// What a page is checked against, once its bytes are in.
struct Check {
  WebKitWebView* view;  // a reference of our own
  std::string uri;      // of the page the check is for
  std::string content_type;
  std::string wanted;
  std::string bytes;
};

// Whether `bytes` read the same in both: the engine's detector may name a
// neighbour of the encoding found (ISO-8859-2 for French text).
bool ReadAlike(const std::string& bytes, const char* one, const std::string& other) {
  gchar* a = g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", one, nullptr,
                       nullptr, nullptr);
  gchar* b = g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", other.c_str(),
                       nullptr, nullptr, nullptr);
  const bool alike = a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
  g_free(a);
  g_free(b);
  return alike;
}

bool StillShown(const Check& check) {
  const gchar* uri = webkit_web_view_get_uri(check.view);
  return uri != nullptr && check.uri == uri && !webkit_web_view_is_loading(check.view);
}

void CharacterSetRead(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Check> check(static_cast<Check*>(data));
  JSCValue* value =
      webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
  if (value != nullptr) {
    gchar* in_use = jsc_value_to_string(value);
    if (StillShown(*check) && !SameCharset(in_use, check->wanted) &&
        !ReadAlike(check->bytes, in_use, check->wanted))
      ReadAgainAs(check->view, check->wanted);
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
  // Read as declared: nothing to check.
  if (!DeclaredCharset(check->content_type, page).empty()) {
    g_free(bytes);
    g_object_unref(check->view);
    return;
  }
  check->wanted = DetectedCharset(page);
  check->bytes = DetectionSample(page);
  g_free(bytes);
  if (check->wanted.empty()) {  // plain ASCII: any reading is right
    g_object_unref(check->view);
    return;
  }
  // The engine's detector may have found the same: ask what it used.
  Check* asked = check.release();
  webkit_web_view_evaluate_javascript(asked->view, "document.characterSet", -1, kWorld, nullptr,
                                      nullptr, CharacterSetRead, asked);
}

bool IsDocument(const char* mime) {
  return mime != nullptr &&
         (std::strcmp(mime, "text/html") == 0 || std::strcmp(mime, "text/plain") == 0);
}

// Checks the page shown, unless it is the check's own second reading, the
// answer to a form, or declares its encoding in its header.
void CheckShownPage(WebKitWebView* view) {
  State& state = StateOf(view);
  if (state.rereading || state.from_form) return;
  WebKitWebResource* resource = webkit_web_view_get_main_resource(view);
  WebKitURIResponse* response = resource ? webkit_web_resource_get_response(resource) : nullptr;
  if (response == nullptr || !IsDocument(webkit_uri_response_get_mime_type(response))) return;
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  const char* type = headers ? soup_message_headers_get_one(headers, "Content-Type") : nullptr;
  const std::string content_type = type != nullptr ? type : "";
  if (!DeclaredCharset(content_type, {}).empty()) return;
  auto* check = new Check{
      WEBKIT_WEB_VIEW(g_object_ref(view)), webkit_web_view_get_uri(view), content_type, {}, {}};
  webkit_web_resource_get_data(resource, nullptr, DataRead, check);
}

// A page has loaded: unless the user's choice holds, read it as it declares
// or as its bytes are.
void Finished(WebKitWebView* view) {
  State& state = StateOf(view);
  if (ChoiceHolds(state, ShownHost(view))) return;
  state.chosen.clear();
  // A choice that beat a declaration stays on the view: the page left for
  // another site was read in it, and is read again without it.
  if (std::exchange(state.chosen_forced, false)) {
    if (state.from_form) return;
    const gchar* uri = webkit_web_view_get_uri(view);
    state.rereading_next = uri != nullptr ? uri : "";
    webkit_web_view_set_custom_charset(view, nullptr);
    return;
  }
  CheckShownPage(view);
}

void LoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
  State& state = StateOf(view);
  if (event == WEBKIT_LOAD_COMMITTED) state.from_form = std::exchange(state.posting, false);
  if (event == WEBKIT_LOAD_FINISHED) Finished(view);
}

// Each page is read by its own bytes: what the check found for the page
// before is set back before the next one comes, unless the next is the
// check's own second reading. The user's choice holds on its site.
gboolean DecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                      WebKitPolicyDecisionType type, gpointer) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* method = webkit_uri_request_get_http_method(request);
  State& state = StateOf(view);
  state.posting = method != nullptr && std::strcmp(method, "POST") == 0;
  const gchar* uri = webkit_uri_request_get_uri(request);
  const std::string rereading = std::exchange(state.rereading_next, {});
  const WebKitNavigationType kind = webkit_navigation_action_get_navigation_type(action);
  state.rereading =
      !rereading.empty() && uri != nullptr && rereading == uri &&
      (kind == WEBKIT_NAVIGATION_TYPE_BACK_FORWARD || kind == WEBKIT_NAVIGATION_TYPE_RELOAD);
  if (state.rereading) return FALSE;
  const bool holds = ChoiceHolds(state, HostOf(uri)) && !state.chosen_forced;
  ReadUndeclaredAs(view, holds ? state.chosen : std::string());
  return FALSE;  // decided elsewhere
}

// A view's own settings: the engine's reading is set per view, and a view
// opened by a page starts with its opener's.
void OwnSettings(WebKitWebView* view) {
  WebKitSettings* shared = webkit_web_view_get_settings(view);
  WebKitSettings* own = webkit_settings_new();
  guint count = 0;
  auto** properties = g_object_class_list_properties(G_OBJECT_GET_CLASS(shared), &count);
  for (guint i = 0; i < count; ++i) {
    if ((properties[i]->flags & G_PARAM_READWRITE) != G_PARAM_READWRITE ||
        (properties[i]->flags & G_PARAM_CONSTRUCT_ONLY) != 0 ||
        (properties[i]->flags & G_PARAM_DEPRECATED) != 0)
      continue;
    GValue value = G_VALUE_INIT;
    g_value_init(&value, properties[i]->value_type);
    g_object_get_property(G_OBJECT(shared), properties[i]->name, &value);
    g_object_set_property(G_OBJECT(own), properties[i]->name, &value);
    g_value_unset(&value);
  }
  g_free(properties);
  WebKitFeatureList* features = webkit_settings_get_all_features();
  for (gsize i = 0; i < webkit_feature_list_get_length(features); ++i) {
    WebKitFeature* feature = webkit_feature_list_get(features, i);
    webkit_settings_set_feature_enabled(own, feature,
                                        webkit_settings_get_feature_enabled(shared, feature));
  }
  webkit_feature_list_unref(features);
  webkit_web_view_set_settings(view, own);
  g_object_unref(own);
}

struct Choice {
  WebKitWebView* view;  // a reference of our own
  std::string uri;
  std::string charset;
};

// The user's choice for the page shown, once its bytes tell whether it
// declares its encoding: only the engine's custom charset beats a
// declaration, and it stays on the view.
void ChoiceDataRead(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Choice> choice(static_cast<Choice*>(data));
  gsize length = 0;
  guchar* bytes =
      webkit_web_resource_get_data_finish(WEBKIT_WEB_RESOURCE(source), result, &length, nullptr);
  WebKitWebView* view = choice->view;
  const gchar* uri = webkit_web_view_get_uri(view);
  if (uri != nullptr && choice->uri == uri) {
    std::string content_type;
    WebKitURIResponse* response = webkit_web_resource_get_response(WEBKIT_WEB_RESOURCE(source));
    SoupMessageHeaders* headers =
        response ? webkit_uri_response_get_http_headers(response) : nullptr;
    const char* type = headers ? soup_message_headers_get_one(headers, "Content-Type") : nullptr;
    if (type != nullptr) content_type = type;
    const std::string_view page(reinterpret_cast<const char*>(bytes), bytes ? length : 0);
    State& state = StateOf(view);
    if (state.chosen_forced || !DeclaredCharset(content_type, page).empty()) {
      state.chosen_forced = true;
      webkit_web_view_set_custom_charset(view, choice->charset.c_str());
    } else {
      ReadAgainAs(view, choice->charset);
    }
  }
  g_free(bytes);
  g_object_unref(view);
}

}  // namespace

void UseEngineDetector(WebKitWebView* view) {
  OwnSettings(view);
  WebKitSettings* settings = webkit_web_view_get_settings(view);
  SetDetector(settings, true);
  webkit_settings_set_default_charset(settings, kEngineFallback);
}

void WatchPageEncoding(WebKitWebView* view) {
  g_object_set_data_full(G_OBJECT(view), kKey, new State,
                         [](gpointer state) { delete static_cast<State*>(state); });
  UseEngineDetector(view);
  g_signal_connect(view, "load-changed", G_CALLBACK(LoadChanged), nullptr);
  g_signal_connect(view, "decide-policy", G_CALLBACK(DecidePolicy), nullptr);
}

std::string ChosenEncoding(WebKitWebView* view) { return StateOf(view).chosen; }

bool EncodingChoosable(WebKitWebView* view) { return !StateOf(view).from_form; }

void ChooseEncoding(WebKitWebView* view, const std::string& charset) {
  State& state = StateOf(view);
  if (state.from_form) return;
  const std::string host = ShownHost(view);
  if (charset == state.chosen && (charset.empty() || host == state.chosen_host)) return;
  state.chosen = charset;
  state.chosen_host = host;
  if (charset.empty()) {  // the detection again
    if (std::exchange(state.chosen_forced, false)) {
      webkit_web_view_set_custom_charset(view, nullptr);
    } else {
      ReadAgainAs(view, {});
      state.rereading_next.clear();  // and checked as any page
    }
    return;
  }
  WebKitWebResource* resource = webkit_web_view_get_main_resource(view);
  if (resource == nullptr) {
    ReadAgainAs(view, charset);
    return;
  }
  auto* choice =
      new Choice{WEBKIT_WEB_VIEW(g_object_ref(view)),
                 webkit_web_view_get_uri(view) ? webkit_web_view_get_uri(view) : "", charset};
  webkit_web_resource_get_data(resource, nullptr, ChoiceDataRead, choice);
}
