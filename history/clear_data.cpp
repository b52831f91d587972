#include "history/clear_data.h"

#include <glib.h>

#include <vector>

#include "browser/site_data.h"
#include "store/history_store.h"

namespace {

std::vector<std::function<void()>>& HistoryClearedHooks() {
  static std::vector<std::function<void()>> hooks;
  return hooks;
}

}  // namespace

void WhenHistoryCleared(std::function<void()> forget) {
  HistoryClearedHooks().push_back(std::move(forget));
}

std::int64_t PeriodStart(ClearPeriod period, std::int64_t now) {
  switch (period) {
    case ClearPeriod::kLastHour:
      return now - G_TIME_SPAN_HOUR;
    case ClearPeriod::kToday: {
      GDateTime* moment = g_date_time_new_from_unix_local(now / G_USEC_PER_SEC);
      GDateTime* midnight =
          g_date_time_new_local(g_date_time_get_year(moment), g_date_time_get_month(moment),
                                g_date_time_get_day_of_month(moment), 0, 0, 0);
      const std::int64_t start = g_date_time_to_unix(midnight) * G_USEC_PER_SEC;
      g_date_time_unref(midnight);
      g_date_time_unref(moment);
      return start;
    }
    case ClearPeriod::kEverything:
      break;
  }
  return 0;
}

void ClearKeptData(const ClearChoice& choice, HistoryStore* history,
                   std::function<void(bool)> done) {
  const std::int64_t since = PeriodStart(choice.period, g_get_real_time());
  if (choice.history && history != nullptr) {
    if (since == 0) {
      history->DeleteAll();
    } else {
      history->DeleteSince(since);
    }
  }
  if (choice.history) {
    for (const auto& forget : HistoryClearedHooks()) forget();
  }
  ClearSiteData({choice.cookies_and_site_data, choice.cache}, since, std::move(done));
}
