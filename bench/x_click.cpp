// Clicks the left button through XTEST at the middle of a top-level window,
// as a user would, and prints the time of the click on CLOCK_MONOTONIC (the
// clock of Python's time.monotonic).
//
//   x_click WINDOW_ID
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s WINDOW_ID\n", argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "x_click: no display\n");
    return 1;
  }
  const Window window = std::strtoul(argv[1], nullptr, 0);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes)) return 1;
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), attributes.width / 2,
                        attributes.height / 2, &x, &y, &child);
  XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
  XSync(display, False);
  // The page sees the pointer arrive before the click, as from a hand.
  const timespec pause{0, 100 * 1000 * 1000};
  nanosleep(&pause, nullptr);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XSync(display, False);
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  std::printf("%ld.%09ld\n", static_cast<long>(now.tv_sec), now.tv_nsec);
  return 0;
}
