#include <glib-unix.h>

#include <csignal>
#include <cstdio>

#include "app/command_line.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "platform/application.h"
#include "settings/rendering_path.h"
#include "settings/settings.h"
#include "window/window_session.h"

namespace {

// Ended from outside (the session ends, kill): closed as the user closes it,
// so that nothing of this run stays behind for the next one.
gboolean EndRun(gpointer) {
  Application->Terminate();
  return G_SOURCE_CONTINUE;
}

}  // namespace

int main(int argc, char** argv) {
  const TCommandLine command = ParseCommandLine(argc, argv);
  if (command.exit_status) return *command.exit_status;
  TSingleInstance instance;
  switch (instance.Claim(command.addresses, command.private_window)) {
    case TSingleInstance::Role::kFirst:
      break;
    case TSingleInstance::Role::kHandedOver:
      return 0;
    case TSingleInstance::Role::kUnanswered:
      std::fprintf(stderr, "tavorin: 起動中の Tavorin が応答しません\n");
      return 1;
    case TSingleInstance::Role::kRefused:
      std::fprintf(stderr, "tavorin: 起動中の Tavorin がアドレスを受け付けませんでした\n");
      return 1;
  }
  // Read before the toolkit starts: the rendering path decides how it starts.
  const TSettings settings = LoadSettings();
  if (!StartRendering(ChooseRenderingPath(settings.hardware_acceleration, HasRenderNode()))) {
    std::fprintf(stderr, "tavorin: cannot open the display (is DISPLAY set?)\n");
    return 1;
  }
  ApplySettings(settings);
  TApplication application;
  Application = &application;
  instance.Serve(OpenWindows);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) g_unix_signal_add(signal, EndRun, nullptr);
  TWindowSession session(TWindowSession::DefaultFile(), settings.restore_windows);
  return RunApplication(command.addresses, &session, command.private_window);
}
