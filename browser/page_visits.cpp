#include "browser/page_visits.h"

#include <webkit2/webkit2.h>

namespace {

std::string AddressOf(WebKitWebView* view) {
  const gchar* uri = webkit_web_view_get_uri(view);
  return uri != nullptr ? uri : "";
}

std::string TitleOf(WebKitWebView* view) {
  const gchar* title = webkit_web_view_get_title(view);
  return title != nullptr ? title : "";
}

// The failures after which the engine shows no error page.
bool Silent(const GError* error) {
  return g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
         g_error_matches(error, WEBKIT_POLICY_ERROR,
                         WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
         g_error_matches(error, WEBKIT_PLUGIN_ERROR, WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD);
}

}  // namespace

struct TPageVisits::Signals {
  static void LoadChanged(WebKitWebView* view, WebKitLoadEvent event, TPageVisits* self) {
    if (event != WEBKIT_LOAD_COMMITTED) return;
    const std::string uri = AddressOf(view);
    const bool error_page = !self->failed_uri_.empty() && self->failed_uri_ == uri;
    self->failed_uri_.clear();
    self->visited_uri_.clear();
    if (error_page || (self->showing_notice_ && self->showing_notice_())) return;
    self->visited_uri_ = uri;
    if (self->on_visit_) self->on_visit_(uri, TitleOf(view));
  }

  // Runs only for failures that no earlier handler took: those get the
  // engine's error page, which commits under the failed address.
  static gboolean LoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* failing_uri, GError* error,
                             TPageVisits* self) {
    if (failing_uri != nullptr && !Silent(error)) self->failed_uri_ = failing_uri;
    return FALSE;
  }

  static void TitleChanged(WebKitWebView* view, GParamSpec*, TPageVisits* self) {
    const std::string title = TitleOf(view);
    if (self->visited_uri_.empty() || title.empty() || AddressOf(view) != self->visited_uri_)
      return;
    if (self->on_title_) self->on_title_(self->visited_uri_, title);
  }
};

TPageVisits::TPageVisits(WebKitWebView* view, std::function<bool()> showing_notice)
    : view_(WEBKIT_WEB_VIEW(g_object_ref(view))), showing_notice_(std::move(showing_notice)) {
  g_signal_connect(view_, "load-changed", G_CALLBACK(Signals::LoadChanged), this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(Signals::LoadFailed), this);
  g_signal_connect(view_, "notify::title", G_CALLBACK(Signals::TitleChanged), this);
}

TPageVisits::~TPageVisits() {
  g_signal_handlers_disconnect_by_data(view_, this);
  g_object_unref(view_);
}
