#include "browser/permission_request.h"

#include <webkit2/webkit2.h>

#include <map>
#include <optional>
#include <string>

#include "browser/kept_answers.h"
#include "browser/page_site.h"
#include "browser/permission_bar.h"

namespace {

struct Kind {
  const char* name;      // as the page's permission queries call it
  const char* question;  // follows the site
};

constexpr Kind kLocation{"geolocation", " が位置情報の使用を求めています。"};
constexpr Kind kNotifications{"notifications", " が通知の表示を求めています。"};

const Kind* KindOf(WebKitPermissionRequest* request) {
  if (WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(request)) return &kLocation;
  if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request)) return &kNotifications;
  return nullptr;
}

// The user's answers by site and kind, for as long as the view's context lives.
std::map<std::string, bool>& Answers(WebKitWebView* view) {
  return KeptAnswers(view, "permissions");
}

std::string Key(const PageSite& site, const Kind& kind) { return site.origin + " " + kind.name; }

gboolean Request(WebKitWebView* view, WebKitPermissionRequest* request, Gtk::Box* browser) {
  const Kind* kind = KindOf(request);
  if (kind == nullptr) return FALSE;  // the engine denies it
  const std::optional<PageSite> site = PageSiteOf(view);
  if (!site || !browser->get_mapped()) {
    webkit_permission_request_deny(request);
    return TRUE;
  }
  const std::string key = Key(*site, *kind);
  std::map<std::string, bool>& answers = Answers(view);
  const auto known = answers.find(key);
  if (known != answers.end()) {
    if (known->second) {
      webkit_permission_request_allow(request);
    } else {
      webkit_permission_request_deny(request);
    }
    return TRUE;
  }
  TPermissionBar::Of(*browser).Ask(request, key, site->host + kind->question,
                                   [key, place = AnswersPlace(view)](bool allowed) {
                                     KeptAnswers(place.get(), "permissions")[key] = allowed;
                                   });
  return TRUE;
}

// A page asking what it may do is told what the user answered for its site.
gboolean QueryState(WebKitWebView* view, WebKitPermissionStateQuery* query, gpointer) {
  const std::optional<PageSite> site = PageSiteOf(view);
  const gchar* name = webkit_permission_state_query_get_name(query);
  if (!site || name == nullptr) return FALSE;
  const std::map<std::string, bool>& answers = Answers(view);
  const auto known = answers.find(site->origin + " " + name);
  if (known == answers.end()) return FALSE;
  webkit_permission_state_query_finish(
      query, known->second ? WEBKIT_PERMISSION_STATE_GRANTED : WEBKIT_PERMISSION_STATE_DENIED);
  return TRUE;
}

// Leaving the page denies what it asked.
void LoadChanged(WebKitWebView*, WebKitLoadEvent event, Gtk::Box* browser) {
  if (event != WEBKIT_LOAD_COMMITTED) return;
  for (Gtk::Widget* child : browser->get_children()) {
    if (auto* bar = dynamic_cast<TPermissionBar*>(child)) bar->DenyAll();
  }
}

}  // namespace

void WatchPermissions(WebKitWebView* view, Gtk::Box* browser) {
  g_signal_connect(view, "permission-request", G_CALLBACK(Request), browser);
  g_signal_connect(view, "query-permission-state", G_CALLBACK(QueryState), browser);
  g_signal_connect(view, "load-changed", G_CALLBACK(LoadChanged), browser);
}

std::vector<std::pair<std::string, bool>> PermissionAnswers(WebKitWebView* view,
                                                            const std::string& origin) {
  std::vector<std::pair<std::string, bool>> kept;
  const std::map<std::string, bool>& answers = Answers(view);
  for (const Kind* kind : {&kLocation, &kNotifications}) {
    const auto known = answers.find(origin + " " + kind->name);
    if (known != answers.end()) kept.emplace_back(kind->name, known->second);
  }
  return kept;
}

void ForgetPermissionAnswer(WebKitWebView* view, const std::string& origin,
                            const std::string& kind) {
  Answers(view).erase(origin + " " + kind);
}
