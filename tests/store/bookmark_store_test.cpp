#include "store/bookmark_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/private_folders.h"
#include "tests/support/store_fixture.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

Names NamesOf(const std::vector<Bookmark>& bookmarks) {
  Names names;
  for (const Bookmark& b : bookmarks) names.push_back(b.name);
  return names;
}

class BookmarkStoreTest : public testsupport::StoreTest<BookmarkStore> {
 protected:
  std::string OnDisk() const {
    return testsupport::ReadFile(file_) + testsupport::ReadFile(file_ + "-wal");
  }
};

TEST_F(BookmarkStoreTest, KeptOnlyForTheUserAndAcrossARestartNewestFirst) {
  ASSERT_TRUE(store_->Put("http://a.example/", "あ"));
  ASSERT_TRUE(store_->Put("http://b.example/", "B"));
  Reopen();
  EXPECT_EQ(NamesOf(store_->All()), (Names{"B", "あ"}));
  EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
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
  EXPECT_EQ(NamesOf(store_->All()), Names{"other"});
}

TEST_F(BookmarkStoreTest, MatchedAndSuggestedByNameOrAddressFolded) {
  store_->Put("https://shop.example/tea", "緑茶ショップ");
  store_->Put("https://books.example/", "Books 本屋");
  store_->Put("https://www.example.jp/%E6%9C%AC", "Example");
  const std::pair<const char*, Names> rows[] = {
      // names newest first
      {"しょっぷ", {"緑茶ショップ"}},
      {"ＢＯＯＫＳ", {"Books 本屋"}},
      {"本", {"Example", "Books 本屋"}},
      {"example", {"Example", "Books 本屋", "緑茶ショップ"}},
      {"", {}},
      {"nothing", {}}};
  for (const auto& [typed, names] : rows)
    EXPECT_EQ(NamesOf(store_->Match(typed, 8)), names) << typed;
  const auto offered = BookmarkSuggestions(*store_).Suggest("緑", 8);
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0].url, "https://shop.example/tea");
  EXPECT_EQ(offered[0].title, "緑茶ショップ");
}

}  // namespace
