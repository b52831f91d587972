#include "store/bookmark_sources.h"

#include <glib.h>

#include <algorithm>

#include "store/bookmark_html.h"
#include "store/regular_file.h"

namespace {

struct Family {
  const char* browser;
  const char* folder;  // under the home folder, holding one folder per profile
  const char* file;
  BookmarkFormat format;
};

constexpr Family kFamilies[] = {
    {"Firefox", ".mozilla/firefox", "places.sqlite", BookmarkFormat::kFirefox},
    {"Firefox (Snap)", "snap/firefox/common/.mozilla/firefox", "places.sqlite",
     BookmarkFormat::kFirefox},
    {"Firefox (Flatpak)", ".var/app/org.mozilla.firefox/.mozilla/firefox", "places.sqlite",
     BookmarkFormat::kFirefox},
    {"Chromium", ".config/chromium", "Bookmarks", BookmarkFormat::kChromium},
    {"Chromium (Snap)", "snap/chromium/common/chromium", "Bookmarks", BookmarkFormat::kChromium},
    {"Google Chrome", ".config/google-chrome", "Bookmarks", BookmarkFormat::kChromium},
    {"Google Chrome Beta", ".config/google-chrome-beta", "Bookmarks", BookmarkFormat::kChromium},
    {"Brave", ".config/BraveSoftware/Brave-Browser", "Bookmarks", BookmarkFormat::kChromium},
    {"Microsoft Edge", ".config/microsoft-edge", "Bookmarks", BookmarkFormat::kChromium},
    {"Vivaldi", ".config/vivaldi", "Bookmarks", BookmarkFormat::kChromium},
    {"Opera", ".config/opera", "Bookmarks", BookmarkFormat::kChromium},
};

std::string Joined(const std::string& a, const std::string& b) {
  gchar* joined = g_build_filename(a.c_str(), b.c_str(), nullptr);
  std::string path = joined;
  g_free(joined);
  return path;
}

// "abcd1234.default-release" is shown as "default-release".
std::string ProfileName(const std::string& folder, BookmarkFormat format) {
  const std::size_t dot = folder.find('.');
  if (format == BookmarkFormat::kFirefox && dot != std::string::npos) return folder.substr(dot + 1);
  return folder;
}

std::vector<std::string> Profiles(const std::string& folder) {
  std::vector<std::string> names;
  GDir* dir = g_dir_open(folder.c_str(), 0, nullptr);
  if (dir == nullptr) return names;
  while (const gchar* name = g_dir_read_name(dir)) names.push_back(name);
  g_dir_close(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::vector<BookmarkSource> FindBookmarkSources(const std::string& home) {
  std::vector<BookmarkSource> found;
  for (const Family& family : kFamilies) {
    const std::string folder = Joined(home, family.folder);
    for (const std::string& profile : Profiles(folder)) {
      const std::string file = Joined(Joined(folder, profile), family.file);
      if (!g_file_test(file.c_str(), G_FILE_TEST_IS_REGULAR)) continue;
      found.push_back(
          {std::string(family.browser) + "（" + ProfileName(profile, family.format) + "）", file,
           family.format});
    }
  }
  return found;
}

ForeignBookmarks ReadBookmarkFile(BookmarkFormat format, const std::string& path,
                                  const StopFlag& stop) {
  if (format == BookmarkFormat::kFirefox) return ReadFirefoxPlaces(path, stop);
  if (format == BookmarkFormat::kChromium) return ReadChromiumBookmarks(path, stop);
  const RegularFileRead file = ReadRegularFile(path, kMaxBookmarkFile);
  if (!file.contents) return ReadFailure(FileRefused(file.reason, path));
  return ReadBookmarksHtml(*file.contents, stop);
}
