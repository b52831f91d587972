#include "store/bookmark_sources.h"

#include <gio/gio.h>
#include <glib/gstdio.h>
#include <json-glib/json-glib.h>
#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <optional>

#include "store/bookmark_html.h"

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

constexpr char kUnreadable[] = "ファイルを読めません: ";
constexpr char kNotFirefox[] = "Firefox のブックマークのデータベースではありません。";
constexpr char kNotChromium[] = "Chromium 系ブラウザーのブックマークのファイルではありません。";
constexpr char kTooDeep[] = "フォルダーの入れ子が深すぎます。";
// Deeper nesting is no bookmark file, and would take the parser's stack.
constexpr int kMaxDepth = 256;
// Chromium counts microseconds from 1601-01-01.
constexpr std::int64_t kWindowsEpochOffset = 11644473600LL * G_USEC_PER_SEC;

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

// The file's bytes; false with an error for the user when it cannot be read
// or is too large.
bool Slurp(const std::string& path, std::string& bytes, std::string& error) {
  GStatBuf status;
  if (g_stat(path.c_str(), &status) == 0 && status.st_size > kMaxBookmarkFile) {
    error = "ファイルが大きすぎます。";
    return false;
  }
  gchar* contents = nullptr;
  gsize length = 0;
  GError* failure = nullptr;
  if (!g_file_get_contents(path.c_str(), &contents, &length, &failure)) {
    error = kUnreadable + std::string(failure->message);
    g_error_free(failure);
    return false;
  }
  bytes.assign(contents, length);
  g_free(contents);
  return true;
}

// Firefox's folders: each one's parent and title, and which hold tags.
struct PlacesFolder {
  std::int64_t parent = 0;
  std::string title;
  std::string guid;
};

class FolderNames {
 public:
  explicit FolderNames(sqlite3* db) {
    sqlite3_stmt* all = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT id, parent, IFNULL(title, ''), IFNULL(guid, '') "
                       "FROM moz_bookmarks WHERE type = 2",
                       -1, &all, nullptr);
    while (all != nullptr && sqlite3_step(all) == SQLITE_ROW) {
      folders_[sqlite3_column_int64(all, 0)] = {sqlite3_column_int64(all, 1), Text(all, 2),
                                                Text(all, 3)};
    }
    sqlite3_finalize(all);
  }

  static std::string Text(sqlite3_stmt* row, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    return text != nullptr ? text : "";
  }

  // The names of the folders above `parent`, outermost first, each with a
  // separator; nullopt for a tag (a bookmark under the tags root).
  std::optional<std::string> Prefix(std::int64_t parent) {
    const auto known = prefixes_.find(parent);
    if (known != prefixes_.end()) return known->second;
    std::string prefix;
    bool tag = false;
    std::int64_t id = parent;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
      const auto folder = folders_.find(id);
      if (folder == folders_.end()) break;
      if (folder->second.guid == "tags________") tag = true;
      // The root and its children (menu, toolbar, tags...) are Firefox's own.
      if (IsRoot(folder->second)) break;
      prefix.insert(0, folder->second.title + kFolderSeparator);
      id = folder->second.parent;
    }
    if (tag) return prefixes_[parent] = std::nullopt;
    return prefixes_[parent] = prefix;
  }

 private:
  bool IsRoot(const PlacesFolder& folder) const {
    if (folder.parent == 0) return true;
    const auto above = folders_.find(folder.parent);
    return above != folders_.end() && above->second.parent == 0;
  }

  std::map<std::int64_t, PlacesFolder> folders_;
  std::map<std::int64_t, std::optional<std::string>> prefixes_;
};

ForeignBookmarks ReadPlaces(sqlite3* db) {
  sqlite3_stmt* marks = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT p.url, IFNULL(b.title, ''), IFNULL(b.dateAdded, 0), b.parent "
                         "FROM moz_bookmarks b JOIN moz_places p ON p.id = b.fk "
                         "WHERE b.type = 1 ORDER BY b.parent, b.position",
                         -1, &marks, nullptr) != SQLITE_OK) {
    return ReadFailure(kNotFirefox);
  }
  FolderNames folders(db);
  ForeignBookmarks read;
  int step;
  while ((step = sqlite3_step(marks)) == SQLITE_ROW) {
    const std::optional<std::string> prefix = folders.Prefix(sqlite3_column_int64(marks, 3));
    if (!prefix) continue;
    read.marks.push_back({FolderNames::Text(marks, 0), *prefix + FolderNames::Text(marks, 1),
                          sqlite3_column_int64(marks, 2)});
  }
  const std::string failure = sqlite3_errmsg(db);
  sqlite3_finalize(marks);
  if (step != SQLITE_DONE) return ReadFailure(kUnreadable + failure);
  return read;
}

// Copies `from` to `to` when it is there; false when it is there but cannot be copied.
bool CopyIfThere(const std::string& from, const std::string& to) {
  if (!g_file_test(from.c_str(), G_FILE_TEST_EXISTS)) return true;
  GFile* source = g_file_new_for_path(from.c_str());
  GFile* target = g_file_new_for_path(to.c_str());
  const gboolean copied =
      g_file_copy(source, target, G_FILE_COPY_OVERWRITE, nullptr, nullptr, nullptr, nullptr);
  g_object_unref(source);
  g_object_unref(target);
  return copied;
}

// Deepest nesting of arrays and objects in `json`, strings skipped; stops
// counting past kMaxDepth.
int JsonDepth(std::string_view json) {
  int depth = 0, deepest = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < json.size() && deepest <= kMaxDepth; ++i) {
    const char c = json[i];
    if (in_string) {
      if (c == '\\') ++i;
      if (c == '"') in_string = false;
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      deepest = std::max(deepest, ++depth);
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return deepest;
}

std::string Member(JsonObject* node, const char* name) {
  JsonNode* member = json_object_get_member(node, name);
  if (member == nullptr || json_node_get_value_type(member) != G_TYPE_STRING) return "";
  return json_node_get_string(member);
}

// Adds the links under `node` with `prefix` before their names.
void CollectChromium(JsonObject* node, const std::string& prefix, ForeignBookmarks& read) {
  const std::string type = Member(node, "type");
  if (type == "url") {
    const std::int64_t since_1601 =
        g_ascii_strtoll(Member(node, "date_added").c_str(), nullptr, 10);
    const std::int64_t added =
        since_1601 > kWindowsEpochOffset ? since_1601 - kWindowsEpochOffset : 0;
    read.marks.push_back({Member(node, "url"), prefix + Member(node, "name"), added});
    return;
  }
  JsonNode* children = json_object_get_member(node, "children");
  if (type != "folder" || children == nullptr || !JSON_NODE_HOLDS_ARRAY(children)) return;
  const std::string inner =
      prefix.size() < 4096 ? prefix + Member(node, "name") + kFolderSeparator : prefix;
  JsonArray* list = json_node_get_array(children);
  for (guint i = 0; i < json_array_get_length(list); ++i) {
    JsonNode* child = json_array_get_element(list, i);
    if (JSON_NODE_HOLDS_OBJECT(child)) CollectChromium(json_node_get_object(child), inner, read);
  }
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

ForeignBookmarks ReadFirefoxPlaces(const std::string& path, const std::string& scratch) {
  const std::string copy = Joined(scratch, "places.sqlite");
  if (!g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR) || !CopyIfThere(path, copy) ||
      !CopyIfThere(path + "-wal", copy + "-wal")) {
    return ReadFailure(kUnreadable + path);
  }
  sqlite3* db = nullptr;
  ForeignBookmarks read;
  if (sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    read = ReadPlaces(db);
  } else {
    read = ReadFailure(kUnreadable + std::string(sqlite3_errmsg(db)));
  }
  sqlite3_close(db);
  for (const char* end : {"", "-wal", "-shm", "-journal"}) g_remove((copy + end).c_str());
  if (read.error.find("file is not a database") != std::string::npos) read.error = kNotFirefox;
  return read;
}

ForeignBookmarks ReadChromiumBookmarks(const std::string& path) {
  std::string bytes, error;
  if (!Slurp(path, bytes, error)) return ReadFailure(error);
  if (JsonDepth(bytes) > kMaxDepth) return ReadFailure(kTooDeep);
  JsonParser* parser = json_parser_new();
  GError* failure = nullptr;
  ForeignBookmarks read;
  if (!json_parser_load_from_data(parser, bytes.data(), static_cast<gssize>(bytes.size()),
                                  &failure)) {
    read = ReadFailure(kNotChromium + std::string(" (") + failure->message + ")");
    g_error_free(failure);
  } else {
    JsonNode* root = json_parser_get_root(parser);
    JsonNode* roots = root != nullptr && JSON_NODE_HOLDS_OBJECT(root)
                          ? json_object_get_member(json_node_get_object(root), "roots")
                          : nullptr;
    if (roots == nullptr || !JSON_NODE_HOLDS_OBJECT(roots)) {
      read = ReadFailure(kNotChromium);
    } else {
      // The roots (bookmark bar, other, synced) are the browser's, not the user's folders.
      JsonObject* tops = json_node_get_object(roots);
      GList* names = json_object_get_members(tops);
      for (GList* name = names; name != nullptr; name = name->next) {
        JsonNode* top = json_object_get_member(tops, static_cast<const char*>(name->data));
        if (!JSON_NODE_HOLDS_OBJECT(top)) continue;
        JsonNode* children = json_object_get_member(json_node_get_object(top), "children");
        if (children == nullptr || !JSON_NODE_HOLDS_ARRAY(children)) continue;
        JsonArray* list = json_node_get_array(children);
        for (guint i = 0; i < json_array_get_length(list); ++i) {
          JsonNode* child = json_array_get_element(list, i);
          if (JSON_NODE_HOLDS_OBJECT(child)) CollectChromium(json_node_get_object(child), "", read);
        }
      }
      g_list_free(names);
    }
  }
  g_object_unref(parser);
  return read;
}

ForeignBookmarks ReadBookmarkFile(BookmarkFormat format, const std::string& path,
                                  const std::string& scratch) {
  if (format == BookmarkFormat::kFirefox) return ReadFirefoxPlaces(path, scratch);
  if (format == BookmarkFormat::kChromium) return ReadChromiumBookmarks(path);
  std::string bytes, error;
  if (!Slurp(path, bytes, error)) return ReadFailure(error);
  return ReadBookmarksHtml(bytes);
}
