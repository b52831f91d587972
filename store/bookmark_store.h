// The user's own bookmarks: bookmarks.sqlite in a profile folder (0600,
// write-ahead log). One bookmark per address, with a name the user may
// change. Few enough to be held in memory as well, so matching what the user
// types never reads the disk. Every member is called from one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/sqlite_db.h"
#include "store/suggestion_source.h"

struct Bookmark {
  std::int64_t id = 0;
  std::string url;
  std::string name;
  std::int64_t added = 0;  // microseconds since the epoch
};

class BookmarkStore {
 public:
  static constexpr char kFileName[] = "bookmarks.sqlite";

  // Opens `folder`/bookmarks.sqlite, making the folder (0700) and the file
  // when missing; as HistoryStore::Open() does with a damaged or locked one.
  static std::unique_ptr<BookmarkStore> Open(const std::string& folder,
                                             OpenProblem* problem = nullptr);
  ~BookmarkStore();
  BookmarkStore(const BookmarkStore&) = delete;
  BookmarkStore& operator=(const BookmarkStore&) = delete;

  // Keeps `url` under `name` (the address when `name` is blank): a new
  // bookmark, or the one `url` already has, renamed. On disk when it returns;
  // nothing when it could not be written (and that is reported).
  std::optional<Bookmark> Put(const std::string& url, const std::string& name);
  std::optional<Bookmark> Find(std::string_view url) const;
  bool Rename(std::int64_t id, const std::string& name);
  bool Remove(std::int64_t id);
  // Every bookmark, newest first.
  const std::vector<Bookmark>& All() const { return kept_; }
  // Where the bookmarks are, for a second connection (an import's).
  const std::string& File() const { return file_; }
  // Counts the changes made through this store, so that one made while an
  // import ran is told apart.
  std::uint64_t Writes() const { return writes_; }
  // What the store holds in memory, read from `db` (sqlite3*): built on the
  // thread that wrote, taken over here.
  struct Kept {
    std::vector<Bookmark> marks;
    std::vector<std::string> folded;
  };
  static Kept ReadKept(void* db);
  void Adopt(Kept kept);
  void Reload() { Load(); }
  // At most `limit` bookmarks whose name or address contains `typed`, folded
  // as the history matches, newest first.
  std::vector<Bookmark> Match(std::string_view typed, std::size_t limit) const;

 private:
  BookmarkStore(void* db, std::string file);
  void Load();

  void* db_;  // sqlite3*
  std::string file_;
  std::uint64_t writes_ = 0;
  std::vector<Bookmark> kept_;
  std::vector<std::string> folded_;  // each bookmark's name and address, folded once
};

// The bookmarks among the address box's suggestions.
class BookmarkSuggestions : public SuggestionSource {
 public:
  explicit BookmarkSuggestions(BookmarkStore& store) : store_(store) {}
  std::vector<Suggestion> Suggest(std::string_view typed, std::size_t limit) override;

 private:
  BookmarkStore& store_;
};
