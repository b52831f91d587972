// Runs the default main context from a test until something holds.
#pragma once

#include <glib.h>

#include <functional>

namespace testsupport {

// Iterates the main context until `done` holds or `timeout_ms` have passed;
// returns whether it held.
inline bool RunUntil(const std::function<bool()>& done, int timeout_ms = 5000) {
  const gint64 deadline = g_get_monotonic_time() + gint64{timeout_ms} * 1000;
  while (!done()) {
    if (g_get_monotonic_time() > deadline) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
  }
  return true;
}

// Handles everything that is pending now, then whatever arrives within
// `quiet_ms`, so that late events have had their chance to show up.
inline void RunPending(int quiet_ms = 50) {
  const gint64 until = g_get_monotonic_time() + gint64{quiet_ms} * 1000;
  while (g_get_monotonic_time() < until) {
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
  }
}

}  // namespace testsupport
