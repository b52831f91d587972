// Real key presses for tests, through what the display server offers: XTEST
// under X, and under Wayland a virtual keyboard of the compositor's (wtype).
// Each wtype run is a keyboard with a keymap of its own, so every chord typed
// under Wayland is also a keymap change.
#pragma once

#include <gdk/gdk.h>
#include <glib.h>

#include <string>
#include <vector>

#include "tests/support/x_input.h"  // last: the X headers define Button1 and more

namespace testsupport {

inline bool OnWayland() { return !GDK_IS_X11_DISPLAY(gdk_display_get_default()); }

// A press or release, or a pause (keysym 0) while keys are held.
struct KeyStep {
  guint keysym;
  bool press;
  int pause_ms = 0;
};

// The wtype arguments that play `steps`. wtype holds modifiers itself. GDK's
// Wayland keymap never lists the highest key of a keymap, where wtype puts
// the one key of a run, so `listed` adds a key after it that nobody presses,
// as a real keymap has keys after Enter and the arrows.
inline std::vector<std::string> WtypeArguments(const std::vector<KeyStep>& steps, bool listed) {
  struct Modifier {
    guint keysym;
    const char* name;
  };
  constexpr Modifier kModifiers[] = {
      {GDK_KEY_Shift_L, "shift"}, {GDK_KEY_Control_L, "ctrl"}, {GDK_KEY_Alt_L, "alt"}};
  std::vector<std::string> args{"wtype"};
  for (const KeyStep& s : steps) {
    const char* modifier = nullptr;
    for (const Modifier& m : kModifiers) {
      if (m.keysym == s.keysym) modifier = m.name;
    }
    if (s.keysym == 0) {
      args.insert(args.end(), {"-s", std::to_string(s.pause_ms)});
    } else if (modifier != nullptr) {
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
  std::vector<std::string> args = WtypeArguments(steps, listed);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  GPid pid = 0;
  if (!g_spawn_async(nullptr, argv.data(), nullptr,
                     static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                     nullptr, nullptr, &pid, nullptr)) {
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
  // wtype ends by itself, also when the compositor goes away.
  while (!exit.done) g_main_context_iteration(nullptr, TRUE);
  return g_spawn_check_wait_status(exit.status, nullptr);
}

inline void SendKeySteps(const std::vector<KeyStep>& steps) {
  if (OnWayland()) {
    RunWtype(steps);
    return;
  }
  for (const KeyStep& s : steps) {
    if (s.keysym == 0) RunPending(s.pause_ms);
    if (s.keysym != 0) FakeKey(s.keysym, s.press);
  }
}

// Presses `keysym` with `modifier` (if any) held, and lets go of both.
inline void TypeKey(guint keysym, guint modifier = 0) {
  std::vector<KeyStep> steps{{keysym, true}, {keysym, false}};
  if (modifier != 0) {
    steps.insert(steps.begin(), {modifier, true});
    steps.push_back({modifier, false});
  }
  SendKeySteps(steps);
}

// Types lower-case letters, digits and spaces, a key at a time, with the
// main loop running `pause_ms` after each.
inline void TypeText(const std::string& text, int pause_ms = 30) {
  for (char c : text) {
    TypeKey(c == ' ' ? GDK_KEY_space : static_cast<guint>(c));
    RunPending(pause_ms);
  }
}

// Holds `keysym` down for `ms`, long enough for it to repeat.
inline void HoldKey(guint keysym, int ms) {
  SendKeySteps({{keysym, true}, {0, false, ms}, {keysym, false}});
}

// Shows `window` and waits until it has the keyboard focus. Under Wayland
// the compositor gives it to a window as it maps or when asked.
inline bool FocusAnyWindow(GtkWindow* window, int timeout_ms = 5000) {
  if (!OnWayland()) return FocusWindow(window, timeout_ms);
  gtk_widget_show_all(GTK_WIDGET(window));
  gtk_window_present(window);
  return RunUntil([window] { return gtk_window_has_toplevel_focus(window) != FALSE; }, timeout_ms);
}

}  // namespace testsupport
