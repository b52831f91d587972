// The floor for start-up: a bare GTK 3 window of the browser's size holding
// one WebKit view, with the engine set up as the browser sets it up (pages in
// the sandbox, composited in software), and nothing else. Loads URL
// (about:blank by default) and ends HOLD_MS after the load (negative: only
// when killed), like startup_bench.
//
//   floor_bench [URL [HOLD_MS]]
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>

namespace {

gboolean Quit(gpointer) {
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer hold) {
  static bool finished = false;
  if (event != WEBKIT_LOAD_FINISHED || finished) return;
  finished = true;
  const int hold_ms = GPOINTER_TO_INT(hold);
  if (hold_ms >= 0) g_timeout_add(hold_ms, Quit, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  const char* url = argc > 1 ? argv[1] : "about:blank";
  const int hold_ms = argc > 2 ? std::atoi(argv[2]) : -1;
  WebKitWebContext* context = webkit_web_context_get_default();
  webkit_web_context_set_sandbox_enabled(context, TRUE);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 792, 573);
  GtkWidget* view = webkit_web_view_new_with_context(context);
  webkit_settings_set_hardware_acceleration_policy(
      webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view)),
      WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), GINT_TO_POINTER(hold_ms));
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  gtk_container_add(GTK_CONTAINER(window), view);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), url);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
