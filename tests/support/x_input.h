// Real input through the X server (XTEST), for tests under Xvfb. With no
// window manager the focus follows the pointer, so a window is focused by
// moving the pointer into it and setting the X input focus.
#pragma once

#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "tests/support/main_loop.h"

namespace testsupport {

inline Display* DefaultXDisplay() { return GDK_DISPLAY_XDISPLAY(gdk_display_get_default()); }

// What the window manager sends when the user closes a window.
inline void AskToClose(Window window) {
  Display* display = DefaultXDisplay();
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  gdk_x11_display_error_trap_push(gdk_display_get_default());  // it may be gone
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
  gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
}

// Moves the pointer to root coordinates x, y.
inline void MovePointer(int x, int y) {
  Display* display = DefaultXDisplay();
  XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
  XSync(display, False);
}

// Moves the pointer to the bottom right corner of the screen, outside every
// window that a test places.
inline void MovePointerAway() {
  Display* display = DefaultXDisplay();
  const int screen = DefaultScreen(display);
  MovePointer(DisplayWidth(display, screen) - 1, DisplayHeight(display, screen) - 1);
}

// The time of the last real key or button event, 0 before any: focus
// requests stamped with it are never older than the X server's last focus
// change, as long as every focus request in the process uses it the way
// gtk_window_present does.
inline Time UserTime() { return gdk_x11_display_get_user_time(gdk_display_get_default()); }

// Shows `window`, puts the pointer in its middle and gives it the input
// focus; true once GTK reports that it has the toplevel focus.
inline bool FocusWindow(GtkWindow* window, int timeout_ms = 5000) {
  gtk_widget_show_all(GTK_WIDGET(window));
  const gint64 deadline = g_get_monotonic_time() + gint64{timeout_ms} * 1000;
  while (g_get_monotonic_time() < deadline) {
    gtk_window_present(window);
    GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
    if (gdk_window != nullptr) {
      int x = 0;
      int y = 0;
      gdk_window_get_origin(gdk_window, &x, &y);
      MovePointer(x + gdk_window_get_width(gdk_window) / 2,
                  y + gdk_window_get_height(gdk_window) / 2);
    }
    if (RunUntil([window] { return gtk_window_has_toplevel_focus(window) != FALSE; }, 200)) {
      return true;
    }
  }
  return false;
}

// Presses or releases the key that the X keymap gives `keysym`.
inline void FakeKey(guint keysym, bool press) {
  Display* display = DefaultXDisplay();
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, keysym), press ? True : False, CurrentTime);
  XSync(display, False);
}

}  // namespace testsupport
