#include "store/bookmark_import.h"

#include <glib/gstdio.h>
#include <sys/resource.h>
#include <unistd.h>

#include <vector>

#include "store/bookmark_filter.h"
#include "store/sqlite_db.h"

namespace {

constexpr std::size_t kCheckEvery = 512;
constexpr int kWorkerNice = 10;
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

// A private folder for a copy of the file, removed with what is in it.
class Scratch {
 public:
  Scratch() {
    gchar* made = g_dir_make_tmp("tavorin-import-XXXXXX", nullptr);
    path_ = made != nullptr ? made : g_get_tmp_dir();
    g_free(made);
  }
  ~Scratch() { g_rmdir(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
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

BookmarkImport::BookmarkImport(BookmarkStore& store, BookmarkFormat format, std::string path)
    : store_(store), file_(store.File()), writes_before_(store.Writes()) {
  worker_ = std::thread([this, format, path = std::move(path)] {
    // Behind the window's own thread when the two want the same processor.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNice);
    Run(format, path);
    done_.store(true, std::memory_order_release);
  });
}

BookmarkImport::~BookmarkImport() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

double BookmarkImport::Progress() const {
  const std::size_t total = total_.load();
  if (total == 0) return done_.load() ? 1.0 : -1.0;
  return static_cast<double>(written_.load()) / static_cast<double>(total);
}

bool BookmarkImport::Finish() {
  if (!done_.load(std::memory_order_acquire)) return false;
  if (finished_) return true;
  finished_ = true;
  worker_.join();
  if (!summary_.error.empty() || summary_.added == 0) return true;
  // A bookmark kept meanwhile from a window is not in what the thread read.
  if (store_.Writes() == writes_before_) {
    store_.Adopt(std::move(kept_));
  } else {
    store_.Reload();
  }
  return true;
}

void BookmarkImport::Run(BookmarkFormat format, const std::string& path) {
  ForeignBookmarks read;
  {
    Scratch scratch;
    read = ReadBookmarkFile(format, path, scratch.path());
  }
  if (read.error.empty() && cancel_) read.error = kCancelled;
  if (!read.error.empty()) {
    summary_.error = read.error;
    return;
  }
  total_ = read.marks.size();
  Write(read);
}

void BookmarkImport::Write(const ForeignBookmarks& read) {
  sqlite3* db = OpenPrivateDatabase(file_);
  if (db == nullptr || !Execute(db, "BEGIN IMMEDIATE")) {
    summary_.error = kWriteFailed + file_;
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
          ++summary_.other_scheme;
          continue;
        case AddressVerdict::kUnreadable:
          ++summary_.unreadable;
          continue;
        case AddressVerdict::kTooLong:
          ++summary_.too_long;
          continue;
        case AddressVerdict::kTaken:
          break;
      }
      const std::string title = CleanTitle(mark.title);
      const std::int64_t added = mark.added > 0 && mark.added <= now ? mark.added : now;
      insert.Reset();
      ok = insert.Bind(1, url).Bind(2, title.empty() ? url : title).Bind(3, added).Run();
      ++(sqlite3_changes(db) > 0 ? summary_.added : summary_.already_kept);
      if (i % kCheckEvery == 0) {
        written_ = i;
        ok = ok && !cancel_;
      }
    }
  }
  if (ok && Execute(db, "COMMIT")) {
    written_ = read.marks.size();
    kept_ = BookmarkStore::ReadKept(db);
  } else {
    Execute(db, "ROLLBACK");
    const ImportSummary failed{.error = cancel_ ? kCancelled
                                                : kWriteFailed + std::string(sqlite3_errmsg(db))};
    summary_ = failed;
  }
  sqlite3_close(db);
}
