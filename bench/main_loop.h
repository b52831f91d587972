// Runs the default main context in a benchmark until something holds. It polls
// finely, so that the wait adds little to what is timed.
#pragma once

#include <glib.h>

#include <functional>

namespace bench {

inline bool RunUntil(const std::function<bool()>& done, int timeout_ms = 30000) {
  const gint64 deadline = g_get_monotonic_time() + gint64{timeout_ms} * 1000;
  while (!done()) {
    if (g_get_monotonic_time() > deadline) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(200);
  }
  return true;
}

}  // namespace bench
