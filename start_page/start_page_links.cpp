// What the start page opens (an entry, the search box) is not loaded by the
// page: the program takes the request and opens it as the user's own load,
// through the address gate.
#include <glibmm/main.h>
#include <webkit2/webkit2.h>

#include <set>
#include <string>

#include "browser/address_gate.h"
#include "browser/cpp_web_browser.h"
#include "search/search_engine.h"
#include "search/typed_text.h"
#include "start_page/start_page.h"

namespace {

std::set<WebKitWebView*>& Watched() {
  static std::set<WebKitWebView*> views;
  return views;
}

std::string AddressOf(WebKitWebView* view) {
  const gchar* uri = webkit_web_view_get_uri(view);
  return uri != nullptr ? uri : "";
}

// The words of a search sent from the start page; empty when `uri` is none.
std::string FormWords(const std::string& uri) {
  const std::string prefix = std::string(kStartPageSearch) + "?";
  if (!uri.starts_with(prefix)) return "";
  GHashTable* params =
      g_uri_parse_params(uri.c_str() + prefix.size(), -1, "&", G_URI_PARAMS_WWW_FORM, nullptr);
  if (params == nullptr) return "";
  const auto* words = static_cast<const gchar*>(g_hash_table_lookup(params, "q"));
  std::string result = words != nullptr ? words : "";
  g_hash_table_unref(params);
  return result;
}

// What a click or a search on the start page opens; empty for nothing.
std::string Target(const std::string& uri) {
  if (uri.starts_with(kStartPageSearch)) {
    const std::string words = FormWords(uri);
    return words.find_first_not_of(" \t\u3000") == std::string::npos
               ? ""
               : SearchAddress(SearchEngine(), words);
  }
  // The entries come from the history and the bookmarks: kept addresses.
  return MayOpen(uri, AddressFrom::kKept) ? uri : "";
}

bool FromPage(WebKitNavigationAction* action) {
  const WebKitNavigationType type = webkit_navigation_action_get_navigation_type(action);
  return type == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED ||
         type == WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED ||
         type == WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED;
}

gboolean Decide(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                TCppWebBrowser* browser) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE || !IsStartPage(AddressOf(view))) return FALSE;
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  // The user's own loads (address box, Back, Reload) go their way.
  if (!FromPage(action)) return FALSE;
  const std::string target =
      Target(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
  webkit_policy_decision_ignore(decision);
  if (target.empty()) return TRUE;
  // Not from inside the engine's decision; and not once the window is gone.
  Glib::signal_idle().connect_once(sigc::track_obj(
      [browser, target] {
        browser->Navigate(WideString::FromUtf8(target), nullptr, nullptr, nullptr, nullptr);
      },
      *browser));
  return TRUE;
}

void Forget(gpointer, GObject* view) { Watched().erase(reinterpret_cast<WebKitWebView*>(view)); }

}  // namespace

void WatchStartPage(WebKitWebView* view, Gtk::Box& box) {
  auto* browser = dynamic_cast<TCppWebBrowser*>(&box);
  if (browser == nullptr) return;
  g_signal_connect(view, "decide-policy", G_CALLBACK(Decide), browser);
  Watched().insert(view);
  g_object_weak_ref(G_OBJECT(view), Forget, nullptr);
}

void ReloadStartPages() {
  for (WebKitWebView* view : Watched()) {
    if (IsStartPage(AddressOf(view))) webkit_web_view_reload(view);
  }
}
