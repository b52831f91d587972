#include "store/bookmark_import.h"

#include <glib.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <vector>

#include "store/bookmark_filter.h"
#include "store/sqlite_db.h"

namespace {

constexpr std::size_t kCheckEvery = 512;
constexpr int kWorkerNice = 10;
constexpr char kThreadName[] = "tavorin-import";
// How long closing waits for the thread to end.
constexpr gint64 kJoinWait = G_USEC_PER_SEC;
constexpr char kCancelled[] = "取り消しました。";
constexpr char kWriteFailed[] = "ブックマークを保存できませんでした: ";

struct Reason {
  std::size_t ImportSummary::*count;
  const char* words;
};
constexpr Reason kReasons[] = {
    {&ImportSummary::already_kept, "登録済み"},
    {&ImportSummary::other_scheme, "http・https・file 以外のアドレス"},
    {&ImportSummary::unreadable, "読めないアドレス"},
    {&ImportSummary::too_long, "長すぎるアドレス"},
};

}  // namespace

std::string DescribeImport(const ImportSummary& summary) {
  if (!summary.error.empty()) {
    return "インポートできませんでした: " + summary.error + "\nブックマークは変わっていません。";
  }
  std::string text = std::to_string(summary.added) + " 件のブックマークを追加しました。";
  if (summary.Skipped() == 0) return text;
  std::string why;
  for (const Reason& reason : kReasons) {
    const std::size_t count = summary.*reason.count;
    if (count == 0) continue;
    why +=
        (why.empty() ? "" : "、") + std::string(reason.words) + " " + std::to_string(count) + " 件";
  }
  return text + "\n" + std::to_string(summary.Skipped()) + " 件は追加しませんでした（" + why +
         "）。";
}

struct BookmarkImport::Work {
  std::string file;
  std::atomic<bool> cancel{false};
  std::atomic<bool> done{false};
  std::atomic<std::size_t> total{0};
  std::atomic<std::size_t> written{0};
  ImportSummary summary;
  BookmarkStore::Kept kept;
};

namespace {

void Write(BookmarkImport::Work& work, const ForeignBookmarks& read) {
  ImportSummary& summary = work.summary;
  sqlite3* db = OpenPrivateDatabase(work.file);
  if (db == nullptr || !Execute(db, "BEGIN IMMEDIATE")) {
    summary.error = kWriteFailed + work.file;
    sqlite3_close(db);
    return;
  }
  bool ok = true;
  {
    Statement insert(db,
                     "INSERT INTO bookmarks (url, name, added) VALUES (?, ?, ?) "
                     "ON CONFLICT (url) DO NOTHING");
    const std::int64_t now = g_get_real_time();
    std::string url;
    for (std::size_t i = 0; ok && i < read.marks.size(); ++i) {
      const ForeignBookmark& mark = read.marks[i];
      switch (CheckAddress(mark.url, url)) {
        case AddressVerdict::kOtherScheme:
          ++summary.other_scheme;
          continue;
        case AddressVerdict::kUnreadable:
          ++summary.unreadable;
          continue;
        case AddressVerdict::kTooLong:
          ++summary.too_long;
          continue;
        case AddressVerdict::kTaken:
          break;
      }
      const std::string title = CleanTitle(mark.title);
      const std::int64_t added = mark.added > 0 && mark.added <= now ? mark.added : now;
      insert.Reset();
      ok = insert.Bind(1, url).Bind(2, title.empty() ? url : title).Bind(3, added).Run();
      ++(sqlite3_changes(db) > 0 ? summary.added : summary.already_kept);
      if (i % kCheckEvery == 0) {
        work.written = i;
        ok = ok && !work.cancel;
      }
    }
  }
  if (ok && !work.cancel && Execute(db, "COMMIT")) {
    work.written = read.marks.size();
    work.kept = BookmarkStore::ReadKept(db);
  } else {
    const std::string why =
        work.cancel ? kCancelled : kWriteFailed + std::string(sqlite3_errmsg(db));
    Execute(db, "ROLLBACK");
    summary = ImportSummary{.error = why};
  }
  sqlite3_close(db);
}

void Run(BookmarkImport::Work& work, BookmarkFormat format, const std::string& path) {
  ForeignBookmarks read = ReadBookmarkFile(format, path, work.cancel);
  if (work.cancel) read.error = kCancelled;
  if (!read.error.empty()) {
    work.summary.error = read.error;
    return;
  }
  work.total = read.marks.size();
  Write(work, read);
}

}  // namespace

BookmarkImport::BookmarkImport(BookmarkStore& store, BookmarkFormat format, std::string path)
    : store_(store), writes_before_(store.Writes()), work_(std::make_shared<Work>()) {
  work_->file = store.File();
  worker_ = std::thread([work = work_, format, path = std::move(path)] {
    // Behind the window's own thread when the two want the same processor.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNice);
    pthread_setname_np(pthread_self(), kThreadName);
    Run(*work, format, path);
    work->done.store(true, std::memory_order_release);
  });
}

BookmarkImport::~BookmarkImport() {
  work_->cancel = true;
  if (!worker_.joinable()) return;
  // Every reader stops within a fraction of a second when told; a write
  // waiting for another program's lock may take longer, and is left to end
  // on its own, with what it shares kept alive by `work_`.
  const gint64 until = g_get_monotonic_time() + kJoinWait;
  while (!work_->done.load(std::memory_order_acquire) && g_get_monotonic_time() < until) {
    g_usleep(5000);
  }
  if (work_->done.load(std::memory_order_acquire)) {
    worker_.join();
  } else {
    worker_.detach();
  }
}

double BookmarkImport::Progress() const {
  const std::size_t total = work_->total.load();
  if (total == 0) return work_->done.load() ? 1.0 : -1.0;
  return static_cast<double>(work_->written.load()) / static_cast<double>(total);
}

const ImportSummary& BookmarkImport::Summary() const { return work_->summary; }

bool BookmarkImport::Finish() {
  if (!work_->done.load(std::memory_order_acquire)) return false;
  if (finished_) return true;
  finished_ = true;
  worker_.join();
  if (!work_->summary.error.empty() || work_->summary.added == 0) return true;
  // A bookmark kept meanwhile from a window is not in what the thread read.
  if (store_.Writes() == writes_before_) {
    store_.Adopt(std::move(work_->kept));
  } else {
    store_.Reload();
  }
  return true;
}
