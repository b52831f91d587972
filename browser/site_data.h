// Clearing what sites keep in the program's profile: cookies and site data
// (local storage, databases, service workers…) and the HTTP cache, through
// the engine's website-data manager.
#pragma once

#include <cstdint>
#include <functional>

struct SiteDataKinds {
  bool cookies_and_site_data = false;
  bool cache = false;
};

// Removes what of `kinds` was stored at or after `since` (microseconds since
// the epoch; 0: everything), on disk as well, then calls `done` with whether
// the engine managed. `done` is called on the main loop, also when nothing
// was asked for.
void ClearSiteData(SiteDataKinds kinds, std::int64_t since, std::function<void(bool)> done);
