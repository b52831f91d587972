// A Firefox profile's places.sqlite, read from a private copy: only real
// tables, no recursive query, no value over a megabyte, given up when the
// user cancels and after a time limit.
#include <glib.h>
#include <sqlite3.h>

#include <map>
#include <optional>
#include <vector>

#include "store/bookmark_sources.h"
#include "store/regular_file.h"
#include "store/scratch_folder.h"

namespace {

constexpr char kUnreadable[] = "ファイルを読めません: ";
constexpr char kNotFirefox[] = "Firefox のブックマークのデータベースではありません。";
constexpr char kTooSlow[] = "読むのに時間がかかりすぎるため、やめました。";
constexpr char kNoScratch[] = "一時フォルダーを作れません。";
// Deeper folders are not followed up: a parent can point in a circle.
constexpr int kMaxDepth = 256;
// The engine asks whether to go on after this many of its steps; often: one step can cost
// milliseconds (a generated column, a long function), and キャンセル must stop it within a fraction
// of a second.
constexpr int kProgressSteps = 50;
// No title or address is longer; a database can make values of any size.
constexpr int kLongestValue = 1024 * 1024;
constexpr char kMarksQuery[] =
    "SELECT p.url, substr(IFNULL(b.title, ''), 1, 1024), IFNULL(b.dateAdded, 0), b.parent "
    "FROM moz_bookmarks b JOIN moz_places p ON p.id = b.fk "
    "WHERE b.type = 1 ORDER BY b.parent, b.position";
constexpr char kFoldersQuery[] =
    "SELECT id, parent, substr(IFNULL(title, ''), 1, 1024), substr(IFNULL(guid, ''), 1, 16) "
    "FROM moz_bookmarks WHERE type = 2";
// Both are tables, as Firefox makes them: a view can be made to work forever.
constexpr char kTablesQuery[] =
    "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND "
    "lower(name) IN ('moz_bookmarks', 'moz_places') AND lower(sql) NOT LIKE 'create virtual%'";

struct Watch {
  const StopFlag& stop;
  gint64 deadline;
  bool Over() const {
    return stop.load(std::memory_order_relaxed) || g_get_monotonic_time() > deadline;
  }
};

int GoOn(void* watch) { return static_cast<Watch*>(watch)->Over() ? 1 : 0; }

// Only reading: no recursive query, no attaching, no pragma from the file.
int Allow(void*, int action, const char*, const char*, const char*, const char*) {
  return action == SQLITE_SELECT || action == SQLITE_READ || action == SQLITE_FUNCTION
             ? SQLITE_OK
             : SQLITE_DENY;
}

std::string Text(sqlite3_stmt* row, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
  return text != nullptr ? text : "";
}

// Firefox's folders: each one's parent and title, and which hold tags.
struct PlacesFolder {
  std::int64_t parent = 0;
  std::string title;
  std::string guid;
};

class FolderNames {
 public:
  // Reads the folders, their bytes counted in `read`; false when it stopped.
  bool Load(sqlite3* db, ForeignBookmarks& read, const Watch& watch) {
    sqlite3_stmt* all = nullptr;
    if (sqlite3_prepare_v2(db, kFoldersQuery, -1, &all, nullptr) != SQLITE_OK) return false;
    int step;
    while ((step = sqlite3_step(all)) == SQLITE_ROW) {
      PlacesFolder folder{sqlite3_column_int64(all, 1), Text(all, 2), Text(all, 3)};
      read.held += sizeof(PlacesFolder) + 64 + folder.title.size() + folder.guid.size();
      if (read.held > kMaxHeldBytes || watch.Over()) break;
      folders_[sqlite3_column_int64(all, 0)] = std::move(folder);
    }
    sqlite3_finalize(all);
    if (read.held > kMaxHeldBytes) read.error = kTooManyMarks;
    return step == SQLITE_DONE && read.held <= kMaxHeldBytes;
  }

  // The names of the folders above `parent`, outermost first, each with a
  // separator, cut at kMaxTitleBytes; nullopt for a tag.
  const std::optional<std::string>& Prefix(std::int64_t parent, ForeignBookmarks& read) {
    const auto known = prefixes_.find(parent);
    if (known != prefixes_.end()) return known->second;
    std::vector<const std::string*> names;  // innermost first
    bool tag = false;
    std::int64_t id = parent;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
      const auto folder = folders_.find(id);
      if (folder == folders_.end()) break;
      if (folder->second.guid == "tags________") tag = true;
      // The root and its children (menu, toolbar, tags...) are Firefox's own.
      if (IsRoot(folder->second)) break;
      names.push_back(&folder->second.title);
      id = folder->second.parent;
    }
    std::optional<std::string> prefix;
    if (!tag) {
      prefix.emplace();
      for (auto name = names.rbegin(); name != names.rend() && prefix->size() < kMaxTitleBytes;
           ++name) {
        *prefix += CutText(**name, kMaxTitleBytes - prefix->size());
        *prefix += kFolderSeparator;
      }
      read.held += prefix->size() + 64;
    }
    return prefixes_[parent] = std::move(prefix);
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

bool OnlyTables(sqlite3* db) {
  sqlite3_stmt* count = nullptr;
  const bool tables = sqlite3_prepare_v2(db, kTablesQuery, -1, &count, nullptr) == SQLITE_OK &&
                      sqlite3_step(count) == SQLITE_ROW && sqlite3_column_int(count, 0) == 2;
  sqlite3_finalize(count);
  return tables;
}

ForeignBookmarks ReadPlaces(sqlite3* db, const Watch& watch) {
  if (!OnlyTables(db)) return ReadFailure(kNotFirefox);
  sqlite3_stmt* marks = nullptr;
  if (sqlite3_prepare_v2(db, kMarksQuery, -1, &marks, nullptr) != SQLITE_OK) {
    return ReadFailure(kNotFirefox);
  }
  ForeignBookmarks read;
  FolderNames folders;
  int step = SQLITE_ERROR;
  if (folders.Load(db, read, watch)) {
    while ((step = sqlite3_step(marks)) == SQLITE_ROW) {
      const std::optional<std::string>& prefix =
          folders.Prefix(sqlite3_column_int64(marks, 3), read);
      if (!prefix) continue;
      if (!read.Add(Text(marks, 0), *prefix, Text(marks, 1), sqlite3_column_int64(marks, 2)) ||
          watch.Over()) {
        break;
      }
    }
  }
  const std::string failure = sqlite3_errmsg(db);
  sqlite3_finalize(marks);
  if (!read.error.empty()) return ReadFailure(read.error);
  if (watch.Over()) return ReadFailure(kTooSlow);
  if (step != SQLITE_DONE) return ReadFailure(kUnreadable + failure);
  return read;
}

// Makes the connection read only what it was asked, and stop when told.
void Guard(sqlite3* db, Watch& watch) {
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kLongestValue);
  sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
  sqlite3_progress_handler(db, kProgressSteps, GoOn, &watch);
  sqlite3_set_authorizer(db, Allow, nullptr);
}

// Copies `from` into `to`, when it is there unless `needed`; false with a
// reason for the user when it cannot be copied.
bool Copy(const std::string& from, const std::string& to, bool needed, std::string& error) {
  const RegularFileRead file = ReadRegularFile(from, kMaxPlacesFile);
  if (file.refusal == FileRefusal::kMissing && !needed) return true;
  if (!file.contents) {
    error = FileRefused(file.reason, from);
    return false;
  }
  if (!WritePrivateFile(to, *file.contents)) {
    error = kUnreadable + to;
    return false;
  }
  return true;
}

}  // namespace

ForeignBookmarks ReadFirefoxPlaces(const std::string& path, const StopFlag& stop,
                                   long long time_limit) {
  const ScratchFolder scratch;
  if (scratch.Path().empty()) return ReadFailure(kNoScratch);
  const std::string copy = scratch.Path() + "/places.sqlite";
  std::string error;
  if (!Copy(path, copy, true, error) || !Copy(path + "-wal", copy + "-wal", false, error)) {
    return ReadFailure(error);
  }
  if (stop.load()) return ReadFailure("取り消しました。");
  Watch watch{stop, g_get_monotonic_time() + time_limit};
  sqlite3* db = nullptr;
  ForeignBookmarks read;
  if (sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr) ==
      SQLITE_OK) {
    Guard(db, watch);
    read = ReadPlaces(db, watch);
  } else {
    read = ReadFailure(kUnreadable + std::string(sqlite3_errmsg(db)));
  }
  sqlite3_close(db);
  if (read.error.find("file is not a database") != std::string::npos) read.error = kNotFirefox;
  return read;
}
