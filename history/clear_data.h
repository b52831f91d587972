// Clearing what the program keeps: history, cookies and site data, cache,
// for a period that ends now.
#pragma once

#include <cstdint>
#include <functional>

class HistoryStore;

enum class ClearPeriod { kLastHour, kToday, kEverything };

struct ClearChoice {
  bool history = true;
  bool cookies_and_site_data = true;
  bool cache = true;
  ClearPeriod period = ClearPeriod::kLastHour;
};

// Where the period begins for a clearing at `now` (microseconds since the
// epoch); "today" begins at local midnight; 0 for everything.
std::int64_t PeriodStart(ClearPeriod period, std::int64_t now);

// Clears what `choice` names from `history` (may be null) and the engine's
// stores; `done` is called on the main loop once all is gone from disk,
// with whether everything went.
void ClearKeptData(const ClearChoice& choice, HistoryStore* history,
                   std::function<void(bool)> done);

// Called whenever history is cleared, whatever the period: what the windows
// hold of it (their back/forward lists) cannot be cut at a time.
void WhenHistoryCleared(std::function<void()> forget);
