// The windows kept on disk: what the file holds, and when it is written.
#include "store/session_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/files.h"
#include "tests/support/main_loop.h"
#include "tests/support/private_folders.h"

namespace {

namespace fs = std::filesystem;
using testsupport::RunUntil;

TSavedWindow Window(int left, std::string address, std::string state) {
  return {left, 20, 800, 600, false, std::move(address), std::move(state)};
}

TEST(SessionText, WhatIsWrittenIsReadBack) {
  TSavedWindow odd = Window(-40, "http://例え.jp/a b\n#\\x", std::string("\0\xff\n=[]", 6));
  odd.maximized = true;
  const TSavedSession rows[] = {
      {{}, true},
      {{}, false},
      {{Window(0, "about:blank", ""), odd}, false},
  };
  for (const TSavedSession& row : rows) {
    const TSavedSession read = SessionFromText(SessionText(row));
    EXPECT_EQ(read.windows, row.windows);
    EXPECT_EQ(read.ended_normally, row.ended_normally);
  }
}

TEST(SessionText, AFileNotOursGivesNothingAndADamagedWindowIsLeftOut) {
  const std::string good = "left=1\ntop=2\nwidth=3\nheight=4\nmaximized=false\naddress=a\nstate=\n";
  struct Row {
    const char* name;
    std::string text;
    std::size_t windows;
    bool ended_normally;
  };
  const Row rows[] = {
      {"empty", "", 0, true},
      {"not a key file", "\x01\x02 garbage", 0, true},
      {"no mark", "[Window 0]\n" + good, 0, true},
      {"not ended", "[Run]\nended-normally=false\n[Window 0]\n" + good, 1, false},
      {"a damaged window", "[Run]\nended-normally=false\n[Window 0]\nleft=x\n[Window 1]\n" + good,
       1, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const TSavedSession read = SessionFromText(row.text);
    EXPECT_EQ(read.windows.size(), row.windows);
    EXPECT_EQ(read.ended_normally, row.ended_normally);
  }
}

class SessionStoreTest : public ::testing::Test {
 protected:
  void TearDown() override {
    store_.reset();
    testsupport::RemoveTree(root_);
  }
  TSessionStore& Store(unsigned delay_ms = 200) {
    store_ = std::make_unique<TSessionStore>(
        file_,
        [this] {
          ++collected_;
          return windows_;
        },
        delay_ms);
    return *store_;
  }
  TSavedSession OnDisk() const { return SessionFromText(testsupport::ReadFile(file_)); }
  bool Written() {
    return RunUntil([&] { return !store_->Writing(); });
  }

  const std::string root_ = testsupport::MakePrivateRoot();
  const std::string file_ = root_ + "/session.ini";
  std::unique_ptr<TSessionStore> store_;
  std::vector<TSavedWindow> windows_{Window(1, "http://a/", "list a")};
  int collected_ = 0;
};

TEST_F(SessionStoreTest, ARunIsMarkedUnendedUntilItClosesAndTheLastRunsWindowsStayTillThen) {
  Store().Open();
  ASSERT_TRUE(Written());
  EXPECT_FALSE(OnDisk().ended_normally);
  EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  store_->Close();
  store_->Changed();  // windows going with the end
  testsupport::RunPending(400);
  EXPECT_TRUE(OnDisk().ended_normally);
  EXPECT_EQ(OnDisk().windows, windows_);

  windows_ = {Window(2, "http://b/", "list b")};
  const TSavedSession last = Store().Open();
  EXPECT_TRUE(last.ended_normally);
  EXPECT_EQ(last.windows.size(), 1u);
  ASSERT_TRUE(Written());
  EXPECT_FALSE(OnDisk().ended_normally);
  EXPECT_EQ(OnDisk().windows, last.windows);  // not yet this run's
  store_.reset();                             // as a kill would leave it
  EXPECT_FALSE(Store().Open().ended_normally);
}

TEST_F(SessionStoreTest, ChangesInARowAreWrittenOnceAfterTheDelay) {
  Store(300).Open();
  ASSERT_TRUE(Written());
  for (int i = 0; i < 50; ++i) store_->Changed();
  EXPECT_EQ(collected_, 0);
  ASSERT_TRUE(RunUntil([&] { return collected_ > 0 && !store_->Writing(); }));
  testsupport::RunPending(600);
  EXPECT_EQ(collected_, 1);
  EXPECT_EQ(OnDisk().windows, windows_);
  EXPECT_FALSE(OnDisk().ended_normally);
}

TEST_F(SessionStoreTest, ForgottenNothingIsKept) {
  Store().Open();
  store_->Changed();
  store_->Forget();
  EXPECT_FALSE(fs::exists(file_));
  store_->Changed();
  store_->Close();
  testsupport::RunPending(400);
  EXPECT_FALSE(fs::exists(file_));
  EXPECT_EQ(collected_, 0);
}

}  // namespace
