#include "browser/developer_tools.h"

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

constexpr char kOpened[] = "tavorin-inspector-opened";

// The page's window is small: the inspector opens in a window of its own
// (the engine docks it first). Docked later by the user, it stays docked.
gboolean Attached(WebKitWebInspector* inspector, gpointer) {
  if (g_object_get_data(G_OBJECT(inspector), kOpened) != nullptr) return FALSE;
  g_object_set_data(G_OBJECT(inspector), kOpened, GINT_TO_POINTER(1));
  g_idle_add_full(
      G_PRIORITY_DEFAULT_IDLE,
      [](gpointer data) {
        webkit_web_inspector_detach(WEBKIT_WEB_INSPECTOR(data));
        return G_SOURCE_REMOVE;
      },
      g_object_ref(inspector), g_object_unref);
  return FALSE;
}

void Closed(WebKitWebInspector* inspector, gpointer) {
  g_object_set_data(G_OBJECT(inspector), kOpened, nullptr);
}

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
  WebKitWebInspector* inspector = webkit_web_view_get_inspector(view);
  g_signal_connect(inspector, "attach", G_CALLBACK(Attached), nullptr);
  g_signal_connect(inspector, "closed", G_CALLBACK(Closed), nullptr);
  Apply(view);
}

void ShowInspector(WebKitWebView* view) {
  if (g_enabled) webkit_web_inspector_show(webkit_web_view_get_inspector(view));
}
