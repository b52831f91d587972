// Other browsers' own bookmark files under the user's home folder: a Firefox
// profile's places.sqlite and the Bookmarks file of the Chromium family.
#pragma once

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

// Reads a copy of places.sqlite (and its log), as Firefox may be writing it;
// the copy goes in `scratch`, a private folder, and is removed after.
ForeignBookmarks ReadFirefoxPlaces(const std::string& path, const std::string& scratch);
ForeignBookmarks ReadChromiumBookmarks(const std::string& path);
// Any of the three, by `format`; files larger than kMaxBookmarkFile are refused.
ForeignBookmarks ReadBookmarkFile(BookmarkFormat format, const std::string& path,
                                  const std::string& scratch);

inline constexpr long long kMaxBookmarkFile = 512LL * 1024 * 1024;
