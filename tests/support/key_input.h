// Real key presses for tests, through what the display server offers: XTEST
// under X, and under Wayland a virtual keyboard of the compositor's (wtype).
// Each wtype run is a keyboard of its own with a keymap of its own, so every
// chord typed under Wayland is also a keymap change.
#pragma once

#include <gdk/gdk.h>
#include <glib.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/x_input.h"  // last: the X headers define Button1 and more

namespace testsupport {

inline bool OnWayland() { return !GDK_IS_X11_DISPLAY(gdk_display_get_default()); }

// wtype's name of a modifier that it holds itself, or null for other keys:
// a modifier keysym pressed as a key would not change its keymap's state.
inline const char* WtypeModifier(guint keysym) {
  switch (keysym) {
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R:
      return "shift";
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R:
      return "ctrl";
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
      return "alt";
    default:
      return nullptr;
  }
}

// One step of a chord: a press or release, or a pause while keys are held.
struct KeyStep {
  guint keysym;  // 0 for a pause
  bool press;
  int pause_ms = 0;
};

// The wtype arguments that play `steps`. GDK's Wayland keymap never lists
// the highest key of a keymap, and wtype puts the one key of a run there, so
// `listed` adds a key that nobody presses after it, as a real keymap has keys
// after Enter and the arrows. Unlisted, the run is a keymap in which GDK
// finds no key at all.
inline std::vector<std::string> WtypeArguments(const std::vector<KeyStep>& steps,
                                               bool listed = true) {
  std::vector<std::string> args{"wtype"};
  for (const KeyStep& s : steps) {
    if (s.keysym == 0) {
      args.insert(args.end(), {"-s", std::to_string(s.pause_ms)});
    } else if (const char* modifier = WtypeModifier(s.keysym)) {
      args.insert(args.end(), {s.press ? "-M" : "-m", modifier});
    } else {
      args.insert(args.end(), {s.press ? "-P" : "-p", gdk_keyval_name(s.keysym)});
    }
  }
  if (listed) args.insert(args.end(), {"-p", "VoidSymbol"});
  return args;
}

// Runs wtype while the main loop goes on, so that keys it holds repeat.
inline bool RunWtype(const std::vector<KeyStep>& steps, bool listed = true) {
  const std::vector<std::string> args = WtypeArguments(steps, listed);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  GPid pid = 0;
  GError* error = nullptr;
  if (!g_spawn_async(nullptr, argv.data(), nullptr,
                     static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                     nullptr, nullptr, &pid, &error)) {
    g_printerr("wtype: %s\n", error->message);
    g_error_free(error);
    return false;
  }
  struct Exit {
    bool done = false;
    int status = 0;
  } exit;
  g_child_watch_add(
      pid,
      +[](GPid child, gint status, gpointer data) {
        *static_cast<Exit*>(data) = {true, status};
        g_spawn_close_pid(child);
      },
      &exit);
  // wtype gives up on its own when the compositor does not answer.
  while (!exit.done) g_main_context_iteration(nullptr, TRUE);
  return g_spawn_check_wait_status(exit.status, nullptr);
}

// Plays `steps` with real key events and lets the toolkit take them.
inline void SendKeySteps(const std::vector<KeyStep>& steps) {
  if (OnWayland()) {
    RunWtype(steps);
  } else {
    for (const KeyStep& s : steps) {
      if (s.keysym == 0) {
        RunPending(s.pause_ms);
      } else {
        FakeKey(s.keysym, s.press);
      }
    }
  }
}

// Presses `keysym` with `modifiers` held, and lets go of all of them.
inline void TypeKey(guint keysym, std::initializer_list<guint> modifiers = {}) {
  std::vector<KeyStep> steps;
  for (guint m : modifiers) steps.push_back({m, true});
  steps.push_back({keysym, true});
  steps.push_back({keysym, false});
  for (guint m : modifiers) steps.push_back({m, false});
  SendKeySteps(steps);
}

// Holds `keysym` down for `ms`, long enough for it to repeat.
inline void HoldKey(guint keysym, int ms) {
  SendKeySteps({{keysym, true}, {0, false, ms}, {keysym, false}});
}

// Shows `window` and waits until it has the keyboard focus. Under Wayland
// the compositor gives the focus to a window as it maps or when asked.
inline bool FocusAnyWindow(GtkWindow* window, int timeout_ms = 5000) {
  if (!OnWayland()) return FocusWindow(window, timeout_ms);
  gtk_widget_show_all(GTK_WIDGET(window));
  gtk_window_present(window);
  return RunUntil([window] { return gtk_window_has_toplevel_focus(window) != FALSE; }, timeout_ms);
}

}  // namespace testsupport
