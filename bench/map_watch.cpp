// Prints one line for each top-level window mapped on the display, with the
// time of its MapNotify on CLOCK_MONOTONIC (the clock of Python's
// time.monotonic), so that a script can time a program's start to its first
// window. Override-redirect windows (menus, tooltips) are left out. Prints
// "ready" once it listens, and runs until killed.
//
//   map_watch
#include <X11/Xlib.h>

#include <cstdio>
#include <ctime>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "map_watch: no display\n");
    return 1;
  }
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False);
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != MapNotify || event.xmap.override_redirect) continue;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("%ld.%09ld 0x%lx\n", static_cast<long>(now.tv_sec), now.tv_nsec, event.xmap.window);
    std::fflush(stdout);
  }
}
