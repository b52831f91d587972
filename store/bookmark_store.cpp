#include "store/bookmark_store.h"

#include <glib.h>

#include "store/history_index.h"
#include "store/history_store.h"
#include "store/sqlite_db.h"
#include "store/text_fold.h"
#include "store/title_text.h"

namespace {

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS bookmarks ("
    "  id INTEGER PRIMARY KEY, url TEXT NOT NULL UNIQUE, name TEXT NOT NULL,"
    "  added INTEGER NOT NULL);";

constexpr char kWhat[] = "ブックマーク";

sqlite3* Db(void* db) { return static_cast<sqlite3*>(db); }

std::string NameOr(const std::string& name, const std::string& url) {
  gchar* stripped = g_strstrip(g_strdup(name.c_str()));
  std::string kept = ShownTitle(*stripped != '\0' ? stripped : url);
  g_free(stripped);
  return kept;
}

}  // namespace

std::unique_ptr<BookmarkStore> BookmarkStore::Open(const std::string& folder,
                                                   OpenProblem* problem) {
  gchar* built = g_build_filename(folder.c_str(), kFileName, nullptr);
  const std::string path = built;
  g_free(built);
  const OpenedDatabase opened = OpenStoreDatabase(kWhat, path, kSchema);
  if (problem != nullptr) *problem = opened.problem;
  if (opened.db == nullptr) return nullptr;
  std::unique_ptr<BookmarkStore> store(new BookmarkStore(opened.db, path));
  store->Load();
  return store;
}

BookmarkStore::BookmarkStore(void* db, std::string file) : db_(db), file_(std::move(file)) {}

BookmarkStore::~BookmarkStore() { sqlite3_close(Db(db_)); }

void BookmarkStore::Load() { Adopt(ReadKept(db_)); }

BookmarkStore::Kept BookmarkStore::ReadKept(void* db) {
  Kept kept;
  Statement all(
      Db(db),
      "SELECT id, url, substr(name, 1, 1024), added FROM bookmarks ORDER BY added DESC, id DESC");
  while (all.Step()) {
    // The list offers only what the address box would open.
    if (!HistoryStore::Recordable(all.Text(1))) continue;
    kept.marks.push_back({all.Int(0), all.Text(1), ShownTitle(all.Text(2)), all.Int(3)});
    kept.folded.push_back(HistoryIndex::FoldedText(kept.marks.back().url, kept.marks.back().name));
  }
  return kept;
}

void BookmarkStore::Adopt(Kept kept) {
  kept_ = std::move(kept.marks);
  folded_ = std::move(kept.folded);
}

std::optional<Bookmark> BookmarkStore::Put(const std::string& url, const std::string& name) {
  ++writes_;
  Statement put(Db(db_),
                "INSERT INTO bookmarks (url, name, added) VALUES (?, ?, ?) "
                "ON CONFLICT (url) DO UPDATE SET name = excluded.name");
  if (!put.Bind(1, url).Bind(2, NameOr(name, url)).Bind(3, g_get_real_time()).Run()) {
    ReportFailedWrite(kWhat, Db(db_));
    return std::nullopt;
  }
  Load();
  return Find(url);
}

std::optional<Bookmark> BookmarkStore::Find(std::string_view url) const {
  for (const Bookmark& bookmark : kept_) {
    if (bookmark.url == url) return bookmark;
  }
  return std::nullopt;
}

bool BookmarkStore::Rename(std::int64_t id, const std::string& name) {
  ++writes_;
  Statement url(Db(db_), "SELECT url FROM bookmarks WHERE id = ?");
  if (!url.Bind(1, id).Step()) return false;
  Statement rename(Db(db_), "UPDATE bookmarks SET name = ? WHERE id = ?");
  const bool ok = rename.Bind(1, NameOr(name, url.Text(0))).Bind(2, id).Run();
  if (!ok) ReportFailedWrite(kWhat, Db(db_));
  Load();
  return ok;
}

bool BookmarkStore::Remove(std::int64_t id) {
  ++writes_;
  Statement remove(Db(db_), "DELETE FROM bookmarks WHERE id = ?");
  const bool ran = remove.Bind(1, id).Run();
  if (!ran) ReportFailedWrite(kWhat, Db(db_));
  const bool ok = ran && sqlite3_changes(Db(db_)) > 0;
  // Deleted rows are zeroed in the file; the log is emptied too.
  sqlite3_wal_checkpoint_v2(Db(db_), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  Load();
  return ok;
}

std::vector<Bookmark> BookmarkStore::Match(std::string_view typed, std::size_t limit) const {
  const std::string folded = FoldForMatch(typed);
  std::vector<Bookmark> found;
  for (std::size_t i = 0; i < kept_.size() && found.size() < limit; ++i) {
    if (!folded.empty() && folded_[i].find(folded) != std::string::npos) found.push_back(kept_[i]);
  }
  return found;
}

std::vector<Suggestion> BookmarkSuggestions::Suggest(std::string_view typed, std::size_t limit) {
  std::vector<Suggestion> found;
  for (Bookmark& bookmark : store_.Match(typed, limit)) {
    found.push_back({std::move(bookmark.url), std::move(bookmark.name)});
  }
  return found;
}
