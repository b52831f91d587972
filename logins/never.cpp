#include "logins/never.h"

#include <glib.h>

#include <algorithm>
#include <vector>

#include "browser/profile.h"
#include "store/regular_file.h"
#include "store/store_trouble.h"

namespace {

constexpr char kGroup[] = "Logins";
constexpr char kKey[] = "never-save";
constexpr char kWhat[] = "パスワードを保存しないサイトの一覧";

// A list of sites is small; a file far bigger is not one of ours.
constexpr std::size_t kLargestFile = 1 << 20;

struct Origins {
  std::vector<std::string> list;
  bool read = true;  // false: the file is there but was not read, so not to be replaced
};

// A file that cannot be read is said; a damaged one is moved aside, not written
// over; a FIFO or a device in its place is neither waited on nor replaced.
Origins ReadOrigins() {
  Origins origins;
  const RegularFileRead read = ReadRegularFile(NeverSaveFile(), kLargestFile);
  if (!read.contents) {
    if (read.refusal == FileRefusal::kMissing) return origins;
    ReportStoreTrouble({kWhat, NeverSaveFile(), read.reason});
    origins.read = false;
    return origins;
  }
  GKeyFile* file = g_key_file_new();
  GError* error = nullptr;
  if (!g_key_file_load_from_data(file, read.contents->data(), read.contents->size(),
                                 G_KEY_FILE_NONE, &error)) {
    std::string reason = error->message;
    const std::string aside = MoveAside(NeverSaveFile());
    if (!aside.empty()) reason += "; " + aside + " に移しました";
    origins.read = !aside.empty();
    ReportStoreTrouble({kWhat, NeverSaveFile(), reason});
    g_error_free(error);
  } else {
    gchar** list = g_key_file_get_string_list(file, kGroup, kKey, nullptr, nullptr);
    for (gchar** origin = list; origin != nullptr && *origin != nullptr; ++origin) {
      origins.list.emplace_back(*origin);
    }
    g_strfreev(list);
  }
  g_key_file_free(file);
  return origins;
}

}  // namespace

std::string NeverSaveFile() { return ProfileDataFile("logins.conf"); }

bool NeverSaveLoginsFor(const std::string& origin) {
  const std::vector<std::string> origins = ReadOrigins().list;
  return std::find(origins.begin(), origins.end(), origin) != origins.end();
}

bool AddNeverSaveLogins(const std::string& origin) {
  Origins read = ReadOrigins();
  std::vector<std::string>& origins = read.list;
  if (std::find(origins.begin(), origins.end(), origin) != origins.end()) return true;
  if (!read.read) return false;  // what it holds would be lost; said already
  origins.push_back(origin);
  std::vector<const gchar*> list;
  for (const std::string& each : origins) list.push_back(each.c_str());
  GKeyFile* file = g_key_file_new();
  g_key_file_set_string_list(file, kGroup, kKey, list.data(), list.size());
  gsize length = 0;
  gchar* data = g_key_file_to_data(file, &length, nullptr);
  GError* error = nullptr;
  const bool saved = MakePrivateFolder(ProfileDataFolder()) &&
                     g_file_set_contents_full(NeverSaveFile().c_str(), data, length,
                                              G_FILE_SET_CONTENTS_CONSISTENT, 0600, &error);
  if (!saved) {
    ReportStoreTrouble({kWhat, NeverSaveFile(),
                        std::string(error != nullptr ? error->message : "フォルダを作れません") +
                            "; 保存できませんでした"});
  }
  g_clear_error(&error);
  g_free(data);
  g_key_file_free(file);
  return saved;
}
