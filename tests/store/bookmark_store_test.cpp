#include "store/bookmark_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace {

namespace fs = std::filesystem;

class BookmarkStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavorin-bookmarks-XXXXXX";
    folder_ = mkdtemp(pattern);
    Reopen();
  }
  void TearDown() override {
    store_.reset();
    fs::remove_all(folder_);
  }
  void Reopen() {
    store_.reset();
    store_ = BookmarkStore::Open(folder_ / "profile");
    ASSERT_NE(store_, nullptr);
  }
  fs::path File() const { return folder_ / "profile" / BookmarkStore::kFileName; }
  std::string OnDisk() const {
    return testsupport::ReadFile(File()) + testsupport::ReadFile(File().string() + "-wal");
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const Bookmark& b : store_->All()) names.push_back(b.name);
    return names;
  }

  fs::path folder_;
  std::unique_ptr<BookmarkStore> store_;
};

TEST_F(BookmarkStoreTest, KeptOnlyForTheUserAndAcrossARestartNewestFirst) {
  ASSERT_TRUE(store_->Put("http://a.example/", "あ"));
  ASSERT_TRUE(store_->Put("http://b.example/", "B"));
  Reopen();
  EXPECT_EQ(Names(), (std::vector<std::string>{"B", "あ"}));
  struct stat status;
  ASSERT_EQ(stat(File().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(BookmarkStoreTest, AnAddressIsKeptOnceAndABlankNameIsTheAddress) {
  store_->Put("http://a.example/", "first");
  const auto renamed = store_->Put("http://a.example/", "  ");
  ASSERT_TRUE(renamed);
  EXPECT_EQ(renamed->name, "http://a.example/");
  EXPECT_EQ(store_->All().size(), 1u);
  EXPECT_TRUE(store_->Rename(renamed->id, "二番目"));
  Reopen();
  EXPECT_EQ(store_->Find("http://a.example/")->name, "二番目");
  EXPECT_FALSE(store_->Rename(renamed->id + 100, "none"));
}

TEST_F(BookmarkStoreTest, ARemovedBookmarkLeavesNothingOnDisk) {
  const auto kept = store_->Put("http://secret.example/Qz7page", "Qz7name");
  store_->Put("http://other.example/", "other");
  ASSERT_NE(OnDisk().find("Qz7name"), std::string::npos);
  EXPECT_TRUE(store_->Remove(kept->id));
  EXPECT_FALSE(store_->Remove(kept->id));
  EXPECT_EQ(OnDisk().find("Qz7"), std::string::npos);
  EXPECT_EQ(Names(), std::vector<std::string>{"other"});
}

struct MatchCase {
  const char* typed;
  std::vector<std::string> names;  // newest first
};

class BookmarkMatchTest : public BookmarkStoreTest,
                          public ::testing::WithParamInterface<MatchCase> {};

TEST_P(BookmarkMatchTest, ByNameOrAddressFolded) {
  store_->Put("https://shop.example/tea", "緑茶ショップ");
  store_->Put("https://books.example/", "Books 本屋");
  store_->Put("https://www.example.jp/%E6%9C%AC", "Example");
  std::vector<std::string> names;
  for (const Bookmark& b : store_->Match(GetParam().typed, 8)) names.push_back(b.name);
  EXPECT_EQ(names, GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(Table, BookmarkMatchTest,
                         ::testing::Values(MatchCase{"しょっぷ", {"緑茶ショップ"}},
                                           MatchCase{"ＢＯＯＫＳ", {"Books 本屋"}},
                                           MatchCase{"本", {"Example", "Books 本屋"}},
                                           MatchCase{"example",
                                                     {"Example", "Books 本屋", "緑茶ショップ"}},
                                           MatchCase{"", {}}, MatchCase{"nothing", {}}));

TEST_F(BookmarkStoreTest, SuggestionsComeFromTheBookmarks) {
  store_->Put("https://shop.example/tea", "緑茶");
  BookmarkSuggestions source(*store_);
  const auto offered = source.Suggest("緑", 8);
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0].url, "https://shop.example/tea");
  EXPECT_EQ(offered[0].title, "緑茶");
}

}  // namespace
