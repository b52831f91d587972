// Start-up as the program does it, with the home page given on the command
// line instead of the fixed one: the application object, its title, the main
// window loading its home page and the event loop. Ends once the first load
// has finished, after HOLD_MS milliseconds (negative: only when killed), so
// that a script can time it and weigh its processes. The settings file gives
// the rendering path only.
//
//   startup_bench URL [HOLD_MS]
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/application.h"
#include "settings/rendering_path.h"
#include "settings/settings.h"
#include "window/form_html.h"

namespace {

gboolean EndRun(gpointer) {
  Application->Terminate();
  return G_SOURCE_REMOVE;
}

void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer hold) {
  static bool finished = false;
  if (event != WEBKIT_LOAD_FINISHED || finished) return;
  finished = true;
  const int hold_ms = GPOINTER_TO_INT(hold);
  if (hold_ms >= 0) g_timeout_add(hold_ms, EndRun, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s URL [HOLD_MS]\n", argv[0]);
    return 2;
  }
  const int hold_ms = argc > 2 ? std::atoi(argv[2]) : 0;
  // The rendering path the settings and the machine choose, as the program does.
  const TSettings settings = LoadSettings();
  if (!StartRendering(ChooseRenderingPath(settings.hardware_acceleration, HasRenderNode()))) {
    return 1;
  }
  TApplication application;
  Application = &application;
  TCppWebBrowser::SetDefaultHomePage(argv[1]);
  application.Initialize();
  application.SetTitle("Tavorin");
  application.CreateForm(FormHTML);
  g_signal_connect(FormHTML->CppWebBrowser1->View(), "load-changed", G_CALLBACK(OnLoadChanged),
                   GINT_TO_POINTER(hold_ms));
  application.Run();
  application.DestroyForms();
  return 0;
}
