#include "store/history_store.h"

#include <glib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "store/history_index.h"
#include "store/sqlite_db.h"
#include "store/text_fold.h"
#include "store/title_text.h"

namespace {

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS urls(id INTEGER PRIMARY KEY, url TEXT NOT NULL UNIQUE,"
    " title TEXT NOT NULL DEFAULT '', visit_count INTEGER NOT NULL DEFAULT 0,"
    " last_visit INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE IF NOT EXISTS visits(id INTEGER PRIMARY KEY,"
    " url_id INTEGER NOT NULL REFERENCES urls(id) ON DELETE CASCADE, time INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS visits_by_time ON visits(time);"
    "CREATE INDEX IF NOT EXISTS visits_by_url ON visits(url_id);"
    "CREATE INDEX IF NOT EXISTS urls_by_last_visit ON urls(last_visit);"
    "CREATE INDEX IF NOT EXISTS urls_by_visits ON urls(visit_count, last_visit);";
// A title is read only as far as it is shown (a copied profile may hold huge ones).
constexpr char kColumns[] = "id, url, substr(title, 1, 1024), visit_count, last_visit";
constexpr char kSelectById[] =
    "SELECT id, url, substr(title, 1, 1024), visit_count, last_visit FROM urls WHERE id = ?";
constexpr std::int64_t kMicrosecondsPerSecond = G_USEC_PER_SEC;
constexpr int kWriterNiceness = 10;
const char* const kRecordedSchemes[] = {"http", "https", "file"};
constexpr char kWhat[] = "履歴";

HistoryEntry ReadEntry(const Statement& row) {
  return {row.Int(0), row.Text(1), ShownTitle(row.Text(2)), static_cast<int>(row.Int(3)),
          row.Int(4)};
}

HistoryIndex::Item IndexItem(const HistoryEntry& entry) {
  return {entry.id, entry.visit_count, entry.last_visit,
          HistoryIndex::FoldedText(entry.url, entry.title)};
}

// The local calendar day of `time`: its midnight and its date.
std::pair<std::int64_t, std::string> LocalDay(std::int64_t time) {
  GDateTime* moment = g_date_time_new_from_unix_local(time / kMicrosecondsPerSecond);
  GDateTime* midnight =
      g_date_time_new_local(g_date_time_get_year(moment), g_date_time_get_month(moment),
                            g_date_time_get_day_of_month(moment), 0, 0, 0);
  gchar* date = g_date_time_format(midnight, "%Y-%m-%d");
  std::pair<std::int64_t, std::string> day{g_date_time_to_unix(midnight) * kMicrosecondsPerSecond,
                                           date};
  g_free(date);
  g_date_time_unref(midnight);
  g_date_time_unref(moment);
  return day;
}

}  // namespace

// The thread that writes, with the connection it alone uses, and the index
// it keeps in step with what it writes.
struct HistoryStore::Writer {
  explicit Writer(sqlite3* connection) : db(connection) {
    thread = std::thread([this] { Loop(); });
  }

  ~Writer() {
    {
      std::lock_guard lock(mutex);
      stopping = true;
    }
    wake.notify_one();
    thread.join();
    sqlite3_close(db);
  }

  void Queue(std::function<void()> job) {
    {
      std::lock_guard lock(mutex);
      jobs.push_back(std::move(job));
      ++queued;
    }
    wake.notify_one();
  }

  void Wait() {
    std::unique_lock lock(mutex);
    const std::uint64_t target = queued;
    done.wait(lock, [&] { return finished >= target; });
  }

  void Run(std::function<void()> job) {
    Queue(std::move(job));
    Wait();
  }

  void Loop() {
    // Writing gives way to the pages being loaded and drawn.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWriterNiceness);
    std::unique_lock lock(mutex);
    for (;;) {
      wake.wait(lock, [this] { return stopping || !jobs.empty(); });
      if (jobs.empty()) return;  // stopping, with everything written
      std::function<void()> job = std::move(jobs.front());
      jobs.pop_front();
      lock.unlock();
      job();
      lock.lock();
      ++finished;
      done.notify_all();
    }
  }

  // Reads what matching needs, once, in the background.
  void Load() {
    HistoryIndex loaded;
    Statement rows(db, (std::string("SELECT ") + kColumns + " FROM urls").c_str());
    // Rows the program would never record (a copied or damaged profile) are never offered.
    while (rows.Step()) {
      if (Recordable(rows.Text(1))) loaded.Put(IndexItem(ReadEntry(rows)));
    }
    std::lock_guard lock(index_mutex);
    index = std::move(loaded);
    ready = true;
    index_ready.notify_all();
  }

  // On the window's thread: asks for the index to be read, once.
  void Preload() {
    if (std::exchange(requested, true)) return;
    Queue([this] { Load(); });
  }

  // On the window's thread: under the index's lock, once it is loaded.
  template <typename F>
  auto Reading(F&& use) {
    Preload();
    std::unique_lock lock(index_mutex);
    index_ready.wait(lock, [this] { return ready; });
    return use(index);
  }

  // On the writing thread, after a write: nothing to do before the index is
  // read, which is done on this thread and so sees the write.
  template <typename F>
  void Updating(F&& change) {
    std::lock_guard lock(index_mutex);
    if (ready) change(index);
  }

  void Indexed(const HistoryEntry& entry) {
    Updating([&](HistoryIndex& kept) { kept.Put(IndexItem(entry)); });
  }

  void Unindexed(const std::vector<std::int64_t>& ids) {
    Updating([&](HistoryIndex& kept) {
      for (std::int64_t id : ids) kept.Remove(id);
    });
  }

  void Record(const std::string& url, const std::string& title, std::int64_t when) {
    Execute(db, "BEGIN IMMEDIATE");
    Statement upsert(db,
                     "INSERT INTO urls(url, title, visit_count, last_visit) VALUES(?, ?, 1, ?)"
                     " ON CONFLICT(url) DO UPDATE SET visit_count = visit_count + 1,"
                     " last_visit = max(last_visit, excluded.last_visit),"
                     " title = CASE excluded.title WHEN '' THEN title ELSE excluded.title END"
                     " RETURNING id, url, title, visit_count, last_visit");
    upsert.Bind(1, url).Bind(2, title).Bind(3, when);
    if (!upsert.Step()) {
      ReportFailedWrite(kWhat, db);
      Execute(db, "ROLLBACK");
      return;
    }
    const HistoryEntry entry = ReadEntry(upsert);
    upsert.Reset();
    Statement visit(db, "INSERT INTO visits(url_id, time) VALUES(?, ?)");
    visit.Bind(1, entry.id).Bind(2, when).Run();
    if (Execute(db, "COMMIT")) {
      Indexed(entry);
    } else {
      ReportFailedWrite(kWhat, db);
      Execute(db, "ROLLBACK");  // the visit is lost, the next ones are not
    }
  }

  void Retitle(const std::string& url, const std::string& title) {
    Statement update(db,
                     "UPDATE urls SET title = ? WHERE url = ?"
                     " RETURNING id, url, title, visit_count, last_visit");
    update.Bind(1, title).Bind(2, url);
    if (update.Step()) Indexed(ReadEntry(update));
  }

  // Runs `sql` with the parameter `value` and gathers the ids it returns.
  std::vector<std::int64_t> Ids(const char* sql, std::int64_t value) {
    Statement statement(db, sql);
    statement.Bind(1, value);
    std::vector<std::int64_t> ids;
    while (statement.Step()) ids.push_back(statement.Int(0));
    return ids;
  }

  void DeleteIds(const std::vector<std::int64_t>& ids) {
    Execute(db, "BEGIN IMMEDIATE");
    Statement remove(db, "DELETE FROM urls WHERE id = ?");
    for (std::int64_t id : ids) {
      remove.Bind(1, id).Run();
      remove.Reset();
    }
    Execute(db, "COMMIT");
    Unindexed(ids);
    Scrub();
  }

  void DeleteSince(std::int64_t since) {
    Execute(db, "BEGIN IMMEDIATE");
    const std::vector<std::int64_t> touched =
        Ids("SELECT DISTINCT url_id FROM visits WHERE time >= ?", since);
    Statement(db, "DELETE FROM visits WHERE time >= ?").Bind(1, since).Run();
    Statement recount(
        db,
        "UPDATE urls SET visit_count = (SELECT count(*) FROM visits WHERE url_id = ?1),"
        " last_visit = coalesce((SELECT max(time) FROM visits WHERE url_id = ?1), 0)"
        " WHERE id = ?1 RETURNING id, url, title, visit_count, last_visit");
    std::vector<HistoryEntry> kept;
    std::vector<std::int64_t> emptied;
    for (std::int64_t id : touched) {
      recount.Bind(1, id);
      if (recount.Step()) {
        HistoryEntry entry = ReadEntry(recount);
        (entry.visit_count > 0 ? kept.push_back(entry) : emptied.push_back(entry.id));
      }
      recount.Reset();
    }
    Statement remove(db, "DELETE FROM urls WHERE id = ?");
    for (std::int64_t id : emptied) {
      remove.Bind(1, id).Run();
      remove.Reset();
    }
    Execute(db, "COMMIT");
    for (const HistoryEntry& entry : kept) Indexed(entry);
    Unindexed(emptied);
    Scrub();
  }

  void DeleteAll() {
    Execute(db, "DELETE FROM visits; DELETE FROM urls;");
    Updating([](HistoryIndex& kept) { kept.Clear(); });
    Execute(db, "VACUUM");
    Scrub();
  }

  // Deleted rows are zeroed in the file (secure_delete); the log still holds
  // the pages as they were until it is copied back and emptied.
  void Scrub() {
    sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  }

  sqlite3* db;
  std::thread thread;
  std::mutex mutex;  // guards the queue and its counts
  std::condition_variable wake, done;
  std::deque<std::function<void()>> jobs;
  std::uint64_t queued = 0, finished = 0;
  bool stopping = false;

  bool requested = false;  // the index is asked for (the window's thread alone)
  std::mutex index_mutex;  // guards index and ready
  std::condition_variable index_ready;
  bool ready = false;
  HistoryIndex index;
};

std::unique_ptr<HistoryStore> HistoryStore::Open(const std::string& folder, OpenProblem* problem) {
  gchar* path = g_build_filename(folder.c_str(), kFileName, nullptr);
  const std::string file = path;
  g_free(path);
  const OpenedDatabase writing = OpenStoreDatabase(kWhat, file, kSchema);
  if (problem != nullptr) *problem = writing.problem;
  if (writing.db == nullptr) return nullptr;
  const OpenedDatabase reading = OpenStoreDatabase(kWhat, file, nullptr);
  if (problem != nullptr) *problem = reading.problem;
  if (reading.db == nullptr) {
    sqlite3_close(writing.db);
    return nullptr;
  }
  return std::unique_ptr<HistoryStore>(
      new HistoryStore(std::make_unique<Writer>(writing.db), reading.db));
}

HistoryStore::HistoryStore(std::unique_ptr<Writer> writer, void* reader)
    : writer_(std::move(writer)), reader_(reader) {}

HistoryStore::~HistoryStore() {
  writer_.reset();  // writes what is queued
  sqlite3_close(static_cast<sqlite3*>(reader_));
}

bool HistoryStore::Recordable(std::string_view url) {
  const std::string address(url);
  gchar* scheme = g_uri_parse_scheme(address.c_str());
  const bool recorded =
      scheme != nullptr &&
      std::any_of(std::begin(kRecordedSchemes), std::end(kRecordedSchemes),
                  [&](const char* known) { return g_ascii_strcasecmp(scheme, known) == 0; });
  g_free(scheme);
  return recorded;
}

std::int64_t HistoryStore::Now() { return g_get_real_time(); }

void HistoryStore::RecordVisit(const std::string& url, const std::string& title,
                               std::int64_t when) {
  if (!Recordable(url)) return;
  writer_->Queue([writer = writer_.get(), url, title = ShownTitle(title), when] {
    writer->Record(url, title, when);
  });
}

void HistoryStore::UpdateTitle(const std::string& url, const std::string& title) {
  if (!Recordable(url)) return;
  writer_->Queue(
      [writer = writer_.get(), url, title = ShownTitle(title)] { writer->Retitle(url, title); });
}

void HistoryStore::Flush() { writer_->Wait(); }

void HistoryStore::Preload() { writer_->Preload(); }

namespace {

std::vector<HistoryEntry> ReadByIds(sqlite3* db, const std::vector<std::int64_t>& ids) {
  Statement select(db, kSelectById);
  std::vector<HistoryEntry> entries;
  entries.reserve(ids.size());
  for (std::int64_t id : ids) {
    select.Bind(1, id);
    if (select.Step()) entries.push_back(ReadEntry(select));  // unless deleted meanwhile
    select.Reset();
  }
  return entries;
}

}  // namespace

std::vector<HistoryEntry> HistoryStore::Match(std::string_view fragment, std::size_t limit,
                                              std::int64_t now) {
  const std::string folded = FoldForMatch(fragment);
  const std::vector<std::int64_t> ids =
      writer_->Reading([&](HistoryIndex& index) { return index.Best(folded, limit, now); });
  return ReadByIds(static_cast<sqlite3*>(reader_), ids);
}

std::vector<HistoryDay> HistoryStore::ListByDay(std::string_view filter, std::size_t limit) {
  auto* db = static_cast<sqlite3*>(reader_);
  std::vector<HistoryEntry> entries;
  if (filter.empty()) {
    Statement rows(db, (std::string("SELECT ") + kColumns +
                        " FROM urls ORDER BY last_visit DESC, id DESC LIMIT ?")
                           .c_str());
    rows.Bind(1, limit == 0 ? std::int64_t{-1} : static_cast<std::int64_t>(limit));
    while (rows.Step()) {
      if (Recordable(rows.Text(1))) entries.push_back(ReadEntry(rows));
    }
  } else {
    const std::string folded = FoldForMatch(filter);
    std::vector<std::int64_t> ids =
        writer_->Reading([&](HistoryIndex& index) { return index.Newest(folded); });
    if (limit != 0 && ids.size() > limit) ids.resize(limit);
    entries = ReadByIds(db, ids);
  }
  std::vector<HistoryDay> days;
  for (HistoryEntry& entry : entries) {
    auto [start, date] = LocalDay(entry.last_visit);
    if (days.empty() || days.back().date != date) days.push_back({start, date, {}});
    days.back().entries.push_back(std::move(entry));
  }
  return days;
}

std::vector<HistoryEntry> HistoryStore::MostVisited(std::size_t limit) {
  Statement rows(static_cast<sqlite3*>(reader_),
                 (std::string("SELECT ") + kColumns +
                  " FROM urls WHERE visit_count > 0 ORDER BY visit_count DESC, last_visit DESC")
                     .c_str());
  std::vector<HistoryEntry> entries;
  while (entries.size() < limit && rows.Step()) {
    if (Recordable(rows.Text(1))) entries.push_back(ReadEntry(rows));
  }
  return entries;
}

std::optional<HistoryEntry> HistoryStore::Find(const std::string& url) {
  Statement select(static_cast<sqlite3*>(reader_),
                   (std::string("SELECT ") + kColumns + " FROM urls WHERE url = ?").c_str());
  select.Bind(1, url);
  if (!select.Step()) return std::nullopt;
  return ReadEntry(select);
}

std::size_t HistoryStore::Count() {
  Statement count(static_cast<sqlite3*>(reader_), "SELECT count(*) FROM urls");
  return count.Step() ? static_cast<std::size_t>(count.Int(0)) : 0;
}

void HistoryStore::Delete(const std::vector<std::int64_t>& ids) {
  writer_->Run([writer = writer_.get(), &ids] { writer->DeleteIds(ids); });
}

void HistoryStore::DeleteUrl(const std::string& url) {
  writer_->Run([writer = writer_.get(), &url] {
    Statement select(writer->db, "SELECT id FROM urls WHERE url = ?");
    select.Bind(1, url);
    std::vector<std::int64_t> ids;
    if (select.Step()) ids.push_back(select.Int(0));
    select.Reset();
    writer->DeleteIds(ids);
  });
}

void HistoryStore::DeleteSince(std::int64_t since) {
  writer_->Run([writer = writer_.get(), since] { writer->DeleteSince(since); });
}

void HistoryStore::DeleteAll() {
  writer_->Run([writer = writer_.get()] { writer->DeleteAll(); });
}

std::size_t HistoryStore::IndexedCount() {
  return writer_->Reading([](HistoryIndex& index) { return index.Size(); });
}
