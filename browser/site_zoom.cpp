#include "browser/site_zoom.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cstdio>
#include <map>

#include "browser/profile.h"
#include "store/regular_file.h"
#include "store/store_trouble.h"

namespace {

constexpr char kGroup[] = "zoom";
constexpr int kNormal = 100;
constexpr int kLeast = 30, kMost = 300;

constexpr char kWhat[] = "サイトごとの拡大率";
// A line for each site: a file far bigger is not one of ours.
constexpr std::size_t kLargestFile = 4 << 20;

struct Kept {
  bool read = false;
  std::string file;  // the file `levels` came from
  std::map<std::string, int> levels;
  bool replaceable = true;  // false: the file is there but was not read
};

// A FIFO or a device in the file's place is neither waited on nor replaced; a
// damaged file is moved aside, kept for the user.
void ReadLevels(Kept& kept) {
  const RegularFileRead read = ReadRegularFile(kept.file, kLargestFile);
  if (!read.contents) {
    if (read.refusal == FileRefusal::kMissing) return;
    kept.replaceable = false;
    ReportStoreTrouble({kWhat, kept.file, read.reason});
    return;
  }
  GKeyFile* keys = g_key_file_new();
  if (g_key_file_load_from_data(keys, read.contents->data(), read.contents->size(), G_KEY_FILE_NONE,
                                nullptr)) {
    gchar** hosts = g_key_file_get_keys(keys, kGroup, nullptr, nullptr);
    for (gchar** host = hosts; host != nullptr && *host != nullptr; ++host) {
      const int level = g_key_file_get_integer(keys, kGroup, *host, nullptr);
      // A hand-edited or damaged value is dropped, not obeyed.
      if (level >= kLeast && level <= kMost && level != kNormal) kept.levels[*host] = level;
    }
    g_strfreev(hosts);
  } else {
    const std::string aside = MoveAside(kept.file);
    kept.replaceable = !aside.empty();
    ReportStoreTrouble(
        {kWhat, kept.file,
         aside.empty() ? "読めない内容です" : "読めない内容なので " + aside + " に移しました"});
  }
  g_key_file_free(keys);
}

Kept& Levels() {
  static Kept kept;
  const std::string file = SiteZoomFile();
  // A profile moved under the program (tests do) is read anew.
  if (kept.read && kept.file == file) return kept;
  kept = Kept{true, file, {}};
  ReadLevels(kept);
  return kept;
}

bool Write(const Kept& kept) {
  if (!kept.replaceable) return false;  // said when it was read
  if (kept.levels.empty()) {
    const bool gone =
        g_remove(kept.file.c_str()) == 0 || !g_file_test(kept.file.c_str(), G_FILE_TEST_EXISTS);
    if (!gone) std::fprintf(stderr, "tavorin: %s を消せません\n", kept.file.c_str());
    return gone;
  }
  GKeyFile* keys = g_key_file_new();
  for (const auto& [host, level] : kept.levels) {
    g_key_file_set_integer(keys, kGroup, host.c_str(), level);
  }
  gsize length = 0;
  gchar* text = g_key_file_to_data(keys, &length, nullptr);
  g_key_file_free(keys);
  GError* error = nullptr;
  const bool written =
      MakePrivateFolder(ProfileDataFolder()) &&
      g_file_set_contents_full(kept.file.c_str(), text, static_cast<gssize>(length),
                               G_FILE_SET_CONTENTS_CONSISTENT, 0600, &error);
  g_free(text);
  if (!written) {
    std::fprintf(stderr, "tavorin: サイトごとの拡大率を %s に保存できません (%s)\n",
                 kept.file.c_str(), error != nullptr ? error->message : "フォルダを作れません");
    g_clear_error(&error);
  }
  return written;
}

}  // namespace

std::string SiteZoomFile() { return ProfileDataFile("site-zoom.ini"); }

std::string ZoomSiteOf(const char* uri) {
  if (uri == nullptr) return {};
  GUri* parsed = g_uri_parse(uri, G_URI_FLAGS_NONE, nullptr);
  std::string host;
  if (parsed != nullptr && g_uri_get_host(parsed) != nullptr) {
    gchar* lower = g_ascii_strdown(g_uri_get_host(parsed), -1);
    host = lower;
    g_free(lower);
  }
  if (parsed != nullptr) g_uri_unref(parsed);
  return host;
}

int SiteZoom(const std::string& host) {
  const Kept& kept = Levels();
  const auto found = kept.levels.find(host);
  return found != kept.levels.end() ? found->second : kNormal;
}

bool KeepSiteZoom(const std::string& host, int percent) {
  if (host.empty()) return true;
  Kept& kept = Levels();
  if (percent == kNormal) {
    if (kept.levels.erase(host) == 0) return true;
  } else {
    kept.levels[host] = percent;
  }
  // This run goes on with the level even when the disk refuses it.
  return Write(kept);
}

bool ForgetSiteZooms() {
  Kept& kept = Levels();
  kept.levels.clear();
  return Write(kept);
}
