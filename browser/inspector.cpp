#include "browser/inspector.h"

#include <webkit2/webkit2.h>

#include <set>

namespace {

bool g_enabled = true;

// The views made so far, while they live.
std::set<WebKitWebView*>& Views() {
  static std::set<WebKitWebView*> views;
  return views;
}

void Gone(gpointer, GObject* view) { Views().erase(reinterpret_cast<WebKitWebView*>(view)); }

void Apply(WebKitWebView* view) {
  webkit_settings_set_enable_developer_extras(webkit_web_view_get_settings(view), g_enabled);
  if (!g_enabled) webkit_web_inspector_close(webkit_web_view_get_inspector(view));
}

}  // namespace

void SetDeveloperTools(bool enabled) {
  g_enabled = enabled;
  for (WebKitWebView* view : Views()) Apply(view);
}

bool DeveloperTools() { return g_enabled; }

void AllowInspecting(WebKitWebView* view) {
  if (!Views().insert(view).second) return;
  g_object_weak_ref(G_OBJECT(view), Gone, nullptr);
  Apply(view);
}

void ShowInspector(WebKitWebView* view) {
  if (g_enabled) webkit_web_inspector_show(webkit_web_view_get_inspector(view));
}
