// When each kept cookie was set. The engine clears cookies only all at once,
// so the cookie file itself notes the time of every row written to it (a
// table and triggers of our own beside the engine's), and clearing a period
// asks it which cookies are recent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CookieKey {
  std::string name, value, host, path;
};

// Makes the cookie file note times, once its table exists; rows found
// without a time are taken as set now, so that no period misses them.
// Cheap when already done.
void NoteCookieTimes(const std::string& cookie_file);
// The cookies set at or after `since` (microseconds since the epoch).
std::vector<CookieKey> CookiesSetSince(const std::string& cookie_file, std::int64_t since);
