#include "store/history_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "store/history_index.h"
#include "store/suggestion_source.h"
#include "store/text_fold.h"
#include "tests/support/files.h"

namespace {

namespace fs = std::filesystem;
constexpr std::int64_t kHour = 3600LL * 1000000;
constexpr std::int64_t kDay = 24 * kHour;
constexpr std::int64_t kNow = 1'800'000'000LL * 1000000;

class HistoryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavorin-store-XXXXXX";
    folder_ = mkdtemp(pattern);
    store_ = HistoryStore::Open(folder_ / "profile");
    ASSERT_NE(store_, nullptr);
  }
  void TearDown() override {
    store_.reset();
    fs::remove_all(folder_);
  }
  fs::path File() const { return folder_ / "profile" / HistoryStore::kFileName; }
  std::vector<std::string> Urls(const std::vector<HistoryEntry>& entries) {
    std::vector<std::string> urls;
    for (const HistoryEntry& entry : entries) urls.push_back(entry.url);
    return urls;
  }

  fs::path folder_;
  std::unique_ptr<HistoryStore> store_;
};

struct FoldCase {
  const char* text;
  const char* folded;
};

class FoldTest : public ::testing::TestWithParam<FoldCase> {};

TEST_P(FoldTest, FoldsCaseWidthAndKana) {
  EXPECT_EQ(FoldForMatch(GetParam().text), GetParam().folded);
}

INSTANTIATE_TEST_SUITE_P(Table, FoldTest,
                         ::testing::Values(FoldCase{"Amazon.CO.JP", "amazon.co.jp"},
                                           FoldCase{"ＡＭＡＺＯＮ", "amazon"},  // full-width Latin
                                           FoldCase{"ｶﾀｶﾅ", "かたかな"},      // half-width katakana
                                           FoldCase{"ｶﾞｲﾄﾞ", "がいど"},       // with voicing marks
                                           FoldCase{"カタカナ", "かたかな"},  // full-width katakana
                                           FoldCase{"ヴァイオリン",
                                                    "ゔぁいおりん"},  // ヴ has a hiragana form
                                           FoldCase{"１２３", "123"}, FoldCase{"ÉCOLE", "école"},
                                           FoldCase{"漢字とかな", "漢字とかな"}, FoldCase{"", ""}));

// One history, many fragments: which entries come, in which order.
struct MatchCase {
  const char* fragment;
  std::vector<std::string> urls;
};

class MatchTest : public HistoryStoreTest, public ::testing::WithParamInterface<MatchCase> {
 protected:
  void SetUp() override {
    HistoryStoreTest::SetUp();
    // url, title, visits, age of the last one
    struct Page {
      const char* url;
      const char* title;
      int visits;
      std::int64_t age;
    };
    const Page pages[] = {
        {"https://shop.example/often", "よく見る店", 20, 300 * kDay},  // many, long ago
        {"https://shop.example/recent", "最近のショップ", 2, kHour},   // few, just now
        {"https://shop.example/once-old", "古いショップ", 1, 300 * kDay},
        {"https://books.example/%E6%9C%AC", "Book Store", 3, kDay},  // 本, escaped
        {"http://ｈａｌｆ.example/", "ﾃｽﾄ ページ", 1, 2 * kDay},
        {"file:///home/user/notes.html", "メモ", 1, 3 * kDay},
    };
    for (const Page& page : pages) {
      for (int i = page.visits - 1; i >= 0; --i) {
        store_->RecordVisit(page.url, page.title, kNow - page.age - i * kHour);
      }
    }
    store_->Flush();
  }
};

TEST_P(MatchTest, RanksByFrequencyAndRecency) {
  EXPECT_EQ(Urls(store_->Match(GetParam().fragment, 8, kNow)), GetParam().urls);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MatchTest,
    ::testing::Values(
        // 20 visits ten months ago outrank 2 an hour ago, which outrank 1 ten months ago.
        MatchCase{"shop.example",
                  {"https://shop.example/often", "https://shop.example/recent",
                   "https://shop.example/once-old"}},
        MatchCase{"SHOP.EXAMPLE/R", {"https://shop.example/recent"}},  // case
        MatchCase{"しょっぷ", {"https://shop.example/recent", "https://shop.example/once-old"}},
        MatchCase{"ショップ", {"https://shop.example/recent", "https://shop.example/once-old"}},
        MatchCase{"本", {"https://books.example/%E6%9C%AC"}},  // the address as read
        MatchCase{"book", {"https://books.example/%E6%9C%AC"}},
        MatchCase{"half", {"http://ｈａｌｆ.example/"}},    // full width in the address
        MatchCase{"テスト", {"http://ｈａｌｆ.example/"}},  // half width in the title
        MatchCase{"notes", {"file:///home/user/notes.html"}}, MatchCase{"nowhere", {}},
        MatchCase{"", {}}));

TEST_F(MatchTest, KeepsToTheLimit) { EXPECT_EQ(store_->Match("example", 2, kNow).size(), 2u); }

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
  EXPECT_EQ(Urls(store_->Match("renamed", 8, kNow)),
            std::vector<std::string>{"https://a.example/"});
}

TEST_F(HistoryStoreTest, ListsByLocalDayNewestFirst) {
  const std::int64_t noon = HistoryStore::Now() - 2 * kDay;  // any time, grouped by its local day
  store_->RecordVisit("https://old.example/", "old", noon - 2 * kDay);
  store_->RecordVisit("https://a.example/", "a", noon);
  store_->RecordVisit("https://b.example/", "b", noon + 1);
  store_->Flush();
  const std::vector<HistoryDay> days = store_->ListByDay();
  ASSERT_EQ(days.size(), 2u);
  EXPECT_EQ(Urls(days[0].entries),
            (std::vector<std::string>{"https://b.example/", "https://a.example/"}));
  EXPECT_EQ(Urls(days[1].entries), std::vector<std::string>{"https://old.example/"});
  EXPECT_GT(days[0].date, days[1].date);
  EXPECT_LE(days[0].start, noon);
  EXPECT_GT(days[0].start + kDay + kHour, noon);  // a day may have 25 hours
  const std::vector<HistoryDay> filtered = store_->ListByDay("OLD");
  ASSERT_EQ(filtered.size(), 1u);
  EXPECT_EQ(Urls(filtered[0].entries), std::vector<std::string>{"https://old.example/"});
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
  EXPECT_EQ(Urls(store_->Match("example", 8, kNow)),
            std::vector<std::string>{"https://keep.example/"});
  store_->DeleteAll();
  EXPECT_EQ(store_->Count(), 0u);
  EXPECT_EQ(store_->IndexedCount(), 0u);
}

TEST_F(HistoryStoreTest, LeavesNothingDeletedOnDisk) {
  store_->RecordVisit("https://secret-shop.example/", "秘密", kNow);
  store_->RecordVisit("https://other.example/", "other", kNow - kDay);
  store_->Flush();
  store_->DeleteSince(kNow - kHour);
  for (const char* suffix : {"", "-wal"}) {
    const std::string bytes = testsupport::ReadFile(File().string() + suffix);
    EXPECT_EQ(bytes.find("secret-shop"), std::string::npos) << suffix;
  }
}

TEST_F(HistoryStoreTest, KeepsItsFilesToTheOwner) {
  store_->RecordVisit("https://a.example/", "a", kNow);
  store_->Flush();
  for (const char* suffix : {"", "-wal", "-shm"}) {
    struct stat status;
    ASSERT_EQ(stat((File().string() + suffix).c_str(), &status), 0) << suffix;
    EXPECT_EQ(status.st_mode & 0777, 0600u) << suffix;
  }
  struct stat folder;
  ASSERT_EQ(stat(File().parent_path().c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
}

TEST_F(HistoryStoreTest, OpensWhatItWroteAgain) {
  store_->RecordVisit("https://again.example/", "again", kNow);
  store_.reset();  // writes what is queued
  store_ = HistoryStore::Open(folder_ / "profile");
  ASSERT_NE(store_, nullptr);
  EXPECT_EQ(store_->IndexedCount(), 1u);
  EXPECT_EQ(Urls(store_->Match("AGAIN", 8, kNow)),
            std::vector<std::string>{"https://again.example/"});
}

TEST_F(HistoryStoreTest, RefusesAFileThatIsNotADatabase) {
  const fs::path other = folder_ / "other";
  fs::create_directories(other);
  FILE* file = fopen((other / HistoryStore::kFileName).c_str(), "w");
  fputs("not a database, just some text that is long enough to have a header", file);
  fclose(file);
  EXPECT_EQ(HistoryStore::Open(other), nullptr);
}

TEST_F(HistoryStoreTest, SurvivesAKillWhileWriting) {
  store_.reset();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::unique_ptr<HistoryStore> writing = HistoryStore::Open(folder_ / "profile");
    for (int i = 0; i < 200; ++i)
      writing->RecordVisit("https://kept.example/" + std::to_string(i), "kept", kNow);
    writing->Flush();
    (void)!write(STDOUT_FILENO, "", 0);
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
  store_ = HistoryStore::Open(folder_ / "profile");
  ASSERT_NE(store_, nullptr);
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
  const auto text = [](int id, int round) {
    return "page " + std::to_string(id) + (round % 2 == 0 ? " even" : " odd") + " #" +
           std::to_string(id % 7);
  };
  constexpr int kItems = 300;
  for (int round = 0; round < 5; ++round) {
    for (int id = 1; id <= kItems; ++id) {
      index.Put({id, round + 1, kNow - id, text(id, round)});
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

class FixedSource : public SuggestionSource {
 public:
  explicit FixedSource(std::vector<Suggestion> offered) : offered_(std::move(offered)) {}
  std::vector<Suggestion> Suggest(std::string_view, std::size_t limit) override {
    std::vector<Suggestion> some(offered_.begin(),
                                 offered_.begin() + std::min(limit, offered_.size()));
    return some;
  }

 private:
  std::vector<Suggestion> offered_;
};

TEST(SuggestionTest, EarlierSourcesComeFirstWithoutRepeats) {
  FixedSource first({{"https://b.example/", "bookmark"}, {"https://x.example/", "x"}});
  FixedSource second(
      {{"https://x.example/", "again"}, {"https://y.example/", "y"}, {"https://z.example/", "z"}});
  const std::vector<Suggestion> gathered = GatherSuggestions({&first, &second}, "x", 3);
  ASSERT_EQ(gathered.size(), 3u);
  EXPECT_EQ(gathered[0].url, "https://b.example/");
  EXPECT_EQ(gathered[1].title, "x");
  EXPECT_EQ(gathered[2].url, "https://y.example/");
}

TEST(SuggestionTest, ListMatchesTitleOrAddressFolded) {
  ListSuggestions buttons(
      {{"https://www.amazon.co.jp/", "アマゾン"}, {"https://www.yodobashi.com/", "ヨドバシ"}});
  EXPECT_EQ(buttons.Suggest("あまぞん", 8).size(), 1u);
  EXPECT_EQ(buttons.Suggest("ｙｏｄｏ", 8).at(0).title, "ヨドバシ");
  EXPECT_EQ(buttons.Suggest("WWW", 1).size(), 1u);
  EXPECT_TRUE(buttons.Suggest("", 8).empty());
}

}  // namespace
