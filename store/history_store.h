// The pages the user has seen: history.sqlite in a profile folder (0600,
// write-ahead log, so a kill -9 or a power cut leaves it whole). Each address
// is kept once with its title, how many times it was visited and when last;
// every visit is kept with its time, so that a period can be cleared.
//
// Threads: every member is called from one thread (the window's). Recording
// and title changes are queued and written by a thread of the store's own,
// with a connection of its own, so they never delay a key or a click. Reads
// and deletions are synchronous; deletions run after every write queued
// before them, and reads after Flush() see every write asked for before it.
// Times are microseconds since the epoch, UTC (g_get_real_time()).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/sqlite_db.h"

struct HistoryEntry {
  std::int64_t id = 0;  // stable while the address is kept
  std::string url;
  std::string title;  // empty when the page had none
  int visit_count = 0;
  std::int64_t last_visit = 0;
};

// The entries last visited on one day of the local calendar.
struct HistoryDay {
  std::int64_t start = 0;             // the day's local midnight
  std::string date;                   // "YYYY-MM-DD", local
  std::vector<HistoryEntry> entries;  // newest first
};

class HistoryIndex;

class HistoryStore {
 public:
  static constexpr char kFileName[] = "history.sqlite";

  // Opens `folder`/history.sqlite, making the folder (0700) and the file
  // when missing; a damaged file is moved aside and a new one started.
  // nullptr when it cannot be opened, with the problem (reported as
  // store/sqlite_db.h says): a locked one may be tried again later.
  static std::unique_ptr<HistoryStore> Open(const std::string& folder,
                                            OpenProblem* problem = nullptr);
  // Writes what is queued, then closes.
  ~HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // Whether a page at `url` is kept: http, https and file addresses only.
  static bool Recordable(std::string_view url);
  static std::int64_t Now();

  // Queues a visit: a new address is added with one visit, a known one
  // counts one more, takes `when` as its last visit and `title` when that is
  // not empty. Addresses that are not Recordable() are ignored.
  void RecordVisit(const std::string& url, const std::string& title, std::int64_t when = Now());
  // Queues a new title for a kept address (a page names itself after its
  // load); ignored for an address not kept.
  void UpdateTitle(const std::string& url, const std::string& title);
  // Waits until everything queued so far is on disk.
  void Flush();
  // Starts reading what matching needs (an index in memory) in the
  // background; the first Match() or filtered ListByDay() does it otherwise,
  // and waits for it. Opening does not, so as not to slow a start.
  void Preload();

  // At most `limit` entries whose title or address contains `fragment`,
  // folded as FoldForMatch() folds (case, width, kana); the address is
  // matched as the user reads it (percent-escapes decoded). Ranked by
  // HistoryRank() (store/history_index.h) at `now`, then by the last visit; an empty fragment
  // matches nothing. Fast enough to call on every key (an index in memory).
  std::vector<HistoryEntry> Match(std::string_view fragment, std::size_t limit,
                                  std::int64_t now = Now());
  // Every entry whose title or address contains `filter` (all when empty),
  // grouped by the local day of its last visit, newest day and entry first;
  // at most `limit` entries in all (0: no limit).
  std::vector<HistoryDay> ListByDay(std::string_view filter = {}, std::size_t limit = 0);
  // The `limit` entries visited most often, most first, then the last visited first.
  std::vector<HistoryEntry> MostVisited(std::size_t limit);
  std::optional<HistoryEntry> Find(const std::string& url);
  std::size_t Count();

  // Deletions: on disk when they return, with every visit of the entries.
  void Delete(const std::vector<std::int64_t>& ids);
  void DeleteUrl(const std::string& url);
  // Removes the visits made at or after `since`; an entry left without a
  // visit goes, the others count the visits they have left and take the
  // newest of them as their last visit.
  void DeleteSince(std::int64_t since);
  void DeleteAll();

  // For tests and benchmarks: how many entries the in-memory index holds
  // once loaded (equal to Count() after Flush()).
  std::size_t IndexedCount();

 private:
  struct Writer;
  explicit HistoryStore(std::unique_ptr<Writer> writer, void* reader);

  std::unique_ptr<Writer> writer_;
  void* reader_;  // the window thread's own connection (sqlite3*)
};
