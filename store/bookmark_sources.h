// Other browsers' own bookmark files under the user's home folder: a Firefox
// profile's places.sqlite and the Bookmarks file of the Chromium family.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "store/foreign_bookmarks.h"

enum class BookmarkFormat { kHtml, kFirefox, kChromium };

struct BookmarkSource {
  std::string name;  // for the user: the browser and its profile
  std::string path;
  BookmarkFormat format;
};

// The profiles found under `home`, by browser and then by profile.
std::vector<BookmarkSource> FindBookmarkSources(const std::string& home);

// Longest a places.sqlite is read, in microseconds: a database can be made
// to work forever.
inline constexpr long long kPlacesTimeLimit = 10LL * 1000 * 1000;

// Reads a copy of places.sqlite (and its log), as Firefox may be writing it;
// the copy is made in a private folder and removed after. Reading stops
// when `stop` is set, and after `time_limit`.
ForeignBookmarks ReadFirefoxPlaces(const std::string& path, const StopFlag& stop = kNeverStop,
                                   long long time_limit = kPlacesTimeLimit);
ForeignBookmarks ReadChromiumBookmarks(const std::string& path, const StopFlag& stop = kNeverStop);
// Any of the three, by `format`.
ForeignBookmarks ReadBookmarkFile(BookmarkFormat format, const std::string& path,
                                  const StopFlag& stop = kNeverStop);
