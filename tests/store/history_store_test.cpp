#include "store/history_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "store/bookmark_store.h"
#include "store/history_index.h"
#include "store/suggestion_source.h"
#include "store/text_fold.h"
#include "store/title_text.h"
#include "tests/support/files.h"
#include "tests/support/private_folders.h"
#include "tests/support/store_fixture.h"

namespace {

namespace fs = std::filesystem;
using Urls = std::vector<std::string>;
constexpr std::int64_t kHour = 3600LL * 1000000;
constexpr std::int64_t kDay = 24 * kHour;
constexpr std::int64_t kNow = 1'800'000'000LL * 1000000;

Urls UrlsOf(const std::vector<HistoryEntry>& entries) {
  Urls urls;
  for (const HistoryEntry& entry : entries) urls.push_back(entry.url);
  return urls;
}

// The permission bits; all of them when the file is not there.
unsigned Mode(const fs::path& path) {
  return static_cast<unsigned>(fs::status(path).permissions() & fs::perms::all);
}

class HistoryStoreTest : public testsupport::StoreTest<HistoryStore> {
 protected:
  fs::path File() const { return file_; }
  Urls Match(const std::string& typed, std::size_t limit = 8) {
    return UrlsOf(store_->Match(typed, limit, kNow));
  }
};

TEST(FoldTest, FoldsCaseWidthAndKana) {
  const std::pair<const char*, const char*> rows[] = {{"Amazon.CO.JP", "amazon.co.jp"},
                                                      {"ＡＭＡＺＯＮ", "amazon"},
                                                      {"ｶﾀｶﾅ", "かたかな"},
                                                      {"ｶﾞｲﾄﾞ", "がいど"},
                                                      {"カタカナ", "かたかな"},
                                                      {"ヴァイオリン", "ゔぁいおりん"},
                                                      {"１２３", "123"},
                                                      {"ÉCOLE", "école"},
                                                      {"漢字とかな", "漢字とかな"},
                                                      {"", ""}};
  for (const auto& [text, folded] : rows) EXPECT_EQ(FoldForMatch(text), folded) << text;
}

// One history, many fragments: which entries come, in which order.
TEST_F(HistoryStoreTest, MatchesRankedByFrequencyAndRecency) {
  // address, title, visits, age of the last one
  const std::tuple<const char*, const char*, int, std::int64_t> pages[] = {
      {"https://shop.example/often", "よく見る店", 20, 300 * kDay},  // many, long ago
      {"https://shop.example/recent", "最近のショップ", 2, kHour},   // few, just now
      {"https://shop.example/once-old", "古いショップ", 1, 300 * kDay},
      {"https://books.example/%E6%9C%AC", "Book Store", 3, kDay},  // 本, escaped
      {"http://ｈａｌｆ.example/", "ﾃｽﾄ ページ", 1, 2 * kDay},
      {"file:///home/user/notes.html", "メモ", 1, 3 * kDay},
  };
  for (const auto& [url, title, visits, age] : pages) {
    for (int i = visits - 1; i >= 0; --i) store_->RecordVisit(url, title, kNow - age - i * kHour);
  }
  store_->Flush();
  const Urls shops = {"https://shop.example/recent", "https://shop.example/once-old"};
  const std::pair<const char*, Urls> rows[] = {
      // 20 visits ten months ago outrank 2 an hour ago, which outrank 1 ten months ago.
      {"shop.example", {"https://shop.example/often", shops[0], shops[1]}},
      {"SHOP.EXAMPLE/R", {shops[0]}},
      {"しょっぷ", shops},
      {"ショップ", shops},
      {"本", {"https://books.example/%E6%9C%AC"}},  // the address as read
      {"book", {"https://books.example/%E6%9C%AC"}},
      {"half", {"http://ｈａｌｆ.example/"}},    // full width in the address
      {"テスト", {"http://ｈａｌｆ.example/"}},  // half width in the title
      {"notes", {"file:///home/user/notes.html"}},
      {"nowhere", {}},
      {"", {}}};
  for (const auto& [typed, urls] : rows) EXPECT_EQ(Match(typed), urls) << typed;
  EXPECT_EQ(Match("example", 2).size(), 2u);
}

TEST_F(HistoryStoreTest, CountsVisitsAndKeepsTheNewestTitle) {
  store_->RecordVisit("https://a.example/", "", kNow - kDay);
  store_->RecordVisit("https://a.example/", "A", kNow);
  store_->RecordVisit("https://a.example/", "", kNow - 2 * kDay);  // an older visit told late
  store_->UpdateTitle("https://a.example/", "A, renamed");
  store_->UpdateTitle("https://unknown.example/", "never kept");
  for (const char* ignored : {"about:blank", "data:text/html,x", "javascript:1", "ftp://x/", "x"}) {
    store_->RecordVisit(ignored, "ignored", kNow);
  }
  store_->Flush();
  const std::optional<HistoryEntry> entry = store_->Find("https://a.example/");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->visit_count, 3);
  EXPECT_EQ(entry->last_visit, kNow);
  EXPECT_EQ(entry->title, "A, renamed");
  EXPECT_EQ(store_->Count(), 1u);
  EXPECT_EQ(store_->IndexedCount(), 1u);
  EXPECT_EQ(Match("renamed"), Urls{"https://a.example/"});
}

TEST_F(HistoryStoreTest, ListsByLocalDayNewestFirst) {
  const std::int64_t noon = HistoryStore::Now() - 2 * kDay;  // any time, grouped by its local day
  store_->RecordVisit("https://old.example/", "old", noon - 2 * kDay);
  store_->RecordVisit("https://a.example/", "a", noon);
  store_->RecordVisit("https://b.example/", "b", noon + 1);
  store_->Flush();
  const std::vector<HistoryDay> days = store_->ListByDay();
  ASSERT_EQ(days.size(), 2u);
  EXPECT_EQ(UrlsOf(days[0].entries), (Urls{"https://b.example/", "https://a.example/"}));
  EXPECT_EQ(UrlsOf(days[1].entries), Urls{"https://old.example/"});
  EXPECT_GT(days[0].date, days[1].date);
  EXPECT_LE(days[0].start, noon);
  EXPECT_GT(days[0].start + kDay + kHour, noon);  // a day may have 25 hours
  const std::vector<HistoryDay> filtered = store_->ListByDay("OLD");
  ASSERT_EQ(filtered.size(), 1u);
  EXPECT_EQ(UrlsOf(filtered[0].entries), Urls{"https://old.example/"});
  EXPECT_EQ(store_->ListByDay({}, 1).at(0).entries.size(), 1u);
}

TEST_F(HistoryStoreTest, DeletesEntriesAndPeriods) {
  store_->RecordVisit("https://keep.example/", "keep", kNow - 3 * kDay);
  store_->RecordVisit("https://keep.example/", "keep", kNow - 10);  // a visit in the period
  store_->RecordVisit("https://new.example/", "new", kNow - 10);
  store_->RecordVisit("https://id.example/", "id", kNow - kDay);
  store_->RecordVisit("https://url.example/", "url", kNow - kDay);
  store_->Flush();
  store_->Delete({store_->Find("https://id.example/")->id});
  store_->DeleteUrl("https://url.example/");
  store_->DeleteSince(kNow - kHour);
  EXPECT_EQ(store_->Count(), 1u);
  const std::optional<HistoryEntry> kept = store_->Find("https://keep.example/");
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->visit_count, 1);
  EXPECT_EQ(kept->last_visit, kNow - 3 * kDay);
  EXPECT_EQ(Match("example"), Urls{"https://keep.example/"});
  store_->DeleteAll();
  EXPECT_EQ(store_->Count(), 0u);
  EXPECT_EQ(store_->IndexedCount(), 0u);
}

TEST_F(HistoryStoreTest, KeepsItsFilesToTheOwnerAndNothingDeletedOnDisk) {
  store_->RecordVisit("https://secret-shop.example/", "秘密", kNow);
  store_->RecordVisit("https://other.example/", "other", kNow - kDay);
  store_->Flush();
  for (const char* suffix : {"", "-wal", "-shm"}) {
    EXPECT_EQ(Mode(File().string() + suffix), 0600u) << suffix;
  }
  EXPECT_EQ(Mode(File().parent_path()), 0700u);
  store_->DeleteSince(kNow - kHour);
  for (const char* suffix : {"", "-wal"}) {
    const std::string bytes = testsupport::ReadFile(File().string() + suffix);
    EXPECT_EQ(bytes.find("secret-shop"), std::string::npos) << suffix;
  }
}

// Rows as a copied or damaged profile holds them, written past the store.
void WriteRaw(const std::string& file, const char* sql, const std::string& url,
              const std::string& title) {
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  char* statement = sqlite3_mprintf(sql, url.c_str(), title.c_str());
  EXPECT_EQ(sqlite3_exec(db, statement, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_free(statement);
  sqlite3_close(db);
}

TEST_F(HistoryStoreTest, HostileRowsAreNeverOfferedAndTitlesAreShownClean) {
  struct Row {
    std::string url, title, shown;  // the title as listed, "(none)" when not offered
  };
  const std::string huge(1 << 20, 'k');
  const Row rows[] = {
      {"javascript:alert('kirin')", "kirin script", "(none)"},
      {"data:text/html,<script>kirin()</script>", "kirin data", "(none)"},
      {"view-source:https://kirin.example/", "kirin source", "(none)"},
      {" JavaScript:alert('kirin2')", "kirin spaced", "(none)"},
      {"https://kirin.example/rtl", "kirin \u202egnp.exe\u202c\x01\x1b[31m!", "kirin gnp.exe[31m!"},
      {"https://kirin.example/lines", "kirin\ttwo\nlines\u2066x\u2069", "kirin two linesx"},
      {"http://kirin.example/huge", "kirin" + huge, "kirin" + huge.substr(0, kTitleChars - 5)},
      {"file:///tmp/kirin.html", "kirin file", "kirin file"},
  };
  store_.reset();
  const std::string bookmarks = root_ + "/profile/" + BookmarkStore::kFileName;
  BookmarkStore::Open(root_ + "/profile").reset();
  for (const Row& row : rows) {
    WriteRaw(file_, "INSERT INTO urls(url, title, visit_count, last_visit) VALUES(%Q, %Q, 1, 1)",
             row.url, row.title);
    WriteRaw(bookmarks, "INSERT INTO bookmarks(url, name, added) VALUES(%Q, %Q, 1)", row.url,
             row.title);
  }
  Reopen();
  const std::unique_ptr<BookmarkStore> marks = BookmarkStore::Open(root_ + "/profile");
  std::vector<HistoryEntry> listed;
  for (HistoryDay& day : store_->ListByDay()) {
    listed.insert(listed.end(), day.entries.begin(), day.entries.end());
  }
  for (const Row& row : rows) {
    SCOPED_TRACE(row.url);
    const auto in_match = [&](const std::vector<HistoryEntry>& found) {
      const auto e = std::ranges::find(found, row.url, &HistoryEntry::url);
      return e != found.end() ? e->title : "(none)";
    };
    EXPECT_EQ(in_match(store_->Match("kirin", 100, kNow)), row.shown);
    EXPECT_EQ(in_match(listed), row.shown);
    const auto mark = marks->Find(row.url);
    EXPECT_EQ(mark ? mark->name : "(none)", row.shown);
  }
  EXPECT_EQ(marks->Match("kirin", 100).size(), 4u);
  // What a page gives is kept as it is shown.
  store_->RecordVisit("https://kirin.example/new", "new\u202e" + huge, kNow);
  store_->Flush();
  EXPECT_EQ(store_->Find("https://kirin.example/new")->title,
            "new" + huge.substr(0, kTitleChars - 3));
}

TEST_F(HistoryStoreTest, OpensWhatItWroteAgain) {
  store_->RecordVisit("https://again.example/", "again", kNow);
  Reopen();  // closing writes what is queued
  EXPECT_EQ(store_->IndexedCount(), 1u);
  EXPECT_EQ(Match("AGAIN"), Urls{"https://again.example/"});
}

// A store's file as it may be found: each is said on standard error, naming
// the file, and a damaged one is kept aside while a new one starts.
TEST(StoreTroubleTest, AStoreThatCannotBeUsedIsSaidAndNeverLost) {
  struct Row {
    const char* name;
    std::function<void(const std::string& file)> make;
    OpenProblem problem;
    const char* said;
    bool aside;  // the old file is kept beside, under a name that says so
  };
  sqlite3* holder = nullptr;
  const Row rows[] = {
      {"a folder", [](const std::string& file) { fs::create_directories(file); },
       OpenProblem::kUnusable, "", false},
      {"not a database",
       [](const std::string& file) {
         std::ofstream(file) << "not a database, just some text that is long enough for a header";
       },
       OpenProblem::kNone, ".corrupt-", true},
      {"held by another program",
       [&](const std::string& file) {
         sqlite3_open(file.c_str(), &holder);
         sqlite3_exec(holder, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr,
                      nullptr);
       },
       OpenProblem::kLocked, "", false},
  };
  for (const Row& row : rows) {
    for (const char* kind : {HistoryStore::kFileName, BookmarkStore::kFileName}) {
      SCOPED_TRACE(std::string(row.name) + " " + kind);
      const std::string root = testsupport::MakePrivateRoot();
      const std::string folder = root + "/profile", file = folder + "/" + kind;
      fs::create_directories(folder);
      row.make(file);
      const std::string before = testsupport::ReadFile(file);
      OpenProblem problem = OpenProblem::kUnusable;
      ::testing::internal::CaptureStderr();
      const bool opened = kind == HistoryStore::kFileName
                              ? HistoryStore::Open(folder, &problem) != nullptr
                              : BookmarkStore::Open(folder, &problem) != nullptr;
      const std::string said = ::testing::internal::GetCapturedStderr();
      EXPECT_EQ(problem, row.problem);
      EXPECT_EQ(opened, row.problem == OpenProblem::kNone);
      EXPECT_NE(said.find(file), std::string::npos) << said;
      EXPECT_NE(said.find(row.said), std::string::npos) << said;
      std::string aside;
      for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().string().find(".corrupt-") != std::string::npos) aside = entry.path();
      }
      EXPECT_EQ(!aside.empty(), row.aside);
      if (row.aside) {
        EXPECT_EQ(testsupport::ReadFile(aside), before);
      }
      if (holder != nullptr) {  // once let go, it opens
        sqlite3_close(holder);
        holder = nullptr;
        EXPECT_TRUE(kind == HistoryStore::kFileName ? HistoryStore::Open(folder) != nullptr
                                                    : BookmarkStore::Open(folder) != nullptr);
      }
      testsupport::RemoveTree(root);
    }
  }
}

TEST_F(HistoryStoreTest, SurvivesAKillWhileWriting) {
  store_.reset();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::unique_ptr<HistoryStore> writing = HistoryStore::Open(root_ + "/profile");
    for (int i = 0; i < 200; ++i)
      writing->RecordVisit("https://kept.example/" + std::to_string(i), "kept", kNow);
    writing->Flush();
    kill(getpid(), SIGSTOP);  // the parent kills it while more is being written
    for (int i = 0;; ++i)
      writing->RecordVisit("https://more.example/" + std::to_string(i), "more", kNow);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, WUNTRACED), child);
  ASSERT_TRUE(WIFSTOPPED(status));
  kill(child, SIGCONT);
  usleep(100000);  // let it write; the kill lands wherever it is
  kill(child, SIGKILL);
  ASSERT_EQ(waitpid(child, &status, 0), child);
  Reopen();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(File().c_str(), &db), SQLITE_OK);
  sqlite3_stmt* check = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
  ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
  sqlite3_finalize(check);
  sqlite3_close(db);
  EXPECT_EQ(store_->Match("kept.example", 300, kNow).size(), 200u);
}

// Replacing and removing entries leaves old texts behind until the buffer is
// compacted; whatever the churn, a search finds each live entry once, with its
// newest text, and nothing removed.
TEST(HistoryIndexTest, FindsEachLiveEntryOnceThroughReplacementsAndRemovals) {
  HistoryIndex index;
  constexpr int kItems = 300;
  for (int round = 0; round < 5; ++round) {
    for (int id = 1; id <= kItems; ++id) {
      index.Put({id, round + 1, kNow - id,
                 "page " + std::to_string(id) + (round % 2 == 0 ? " even" : " odd") + " #" +
                     std::to_string(id % 7)});
    }
  }
  for (int id = 1; id <= kItems; id += 3) index.Remove(id);
  index.Remove(kItems + 1);  // not there: nothing happens
  std::vector<std::int64_t> live;
  for (int id = 1; id <= kItems; ++id) {
    if (id % 3 != 1) live.push_back(id);  // the lower the id, the newer its visit
  }
  EXPECT_EQ(index.Size(), live.size());
  EXPECT_EQ(index.Newest("even"), live);  // the last round's text
  EXPECT_TRUE(index.Newest("odd").empty());
  EXPECT_EQ(index.Newest("page 2 even"), std::vector<std::int64_t>{2});
  EXPECT_TRUE(index.Newest("page 1 even").empty());  // removed
  // All with five visits: the most recent first; 10 and 31 are removed.
  EXPECT_EQ(index.Best("#3", 3, kNow), (std::vector<std::int64_t>{3, 17, 24}));
  index.Clear();
  EXPECT_EQ(index.Size(), 0u);
  EXPECT_TRUE(index.Newest("page").empty());
}

struct FixedSource : SuggestionSource {
  explicit FixedSource(std::vector<Suggestion> offered) : offered(std::move(offered)) {}
  std::vector<Suggestion> Suggest(std::string_view, std::size_t limit) override {
    return {offered.begin(), offered.begin() + std::min(limit, offered.size())};
  }
  std::vector<Suggestion> offered;
};

TEST(SuggestionTest, EarlierSourcesComeFirstWithoutRepeatsAndListsMatchFolded) {
  FixedSource first({{"https://b.example/", "bookmark"}, {"https://x.example/", "x"}});
  FixedSource second(
      {{"https://x.example/", "again"}, {"https://y.example/", "y"}, {"https://z.example/", "z"}});
  const std::vector<Suggestion> gathered = GatherSuggestions({&first, &second}, "x", 3);
  ASSERT_EQ(gathered.size(), 3u);
  EXPECT_EQ(gathered[0].url, "https://b.example/");
  EXPECT_EQ(gathered[1].title, "x");
  EXPECT_EQ(gathered[2].url, "https://y.example/");
  ListSuggestions buttons(
      {{"https://www.amazon.co.jp/", "アマゾン"}, {"https://www.yodobashi.com/", "ヨドバシ"}});
  EXPECT_EQ(buttons.Suggest("あまぞん", 8).size(), 1u);
  EXPECT_EQ(buttons.Suggest("ｙｏｄｏ", 8).at(0).title, "ヨドバシ");
  EXPECT_EQ(buttons.Suggest("WWW", 1).size(), 1u);
  EXPECT_TRUE(buttons.Suggest("", 8).empty());
}

}  // namespace
