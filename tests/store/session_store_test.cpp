// The windows kept on disk: what the file holds, and when it is written.
#include "store/session_store.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "store/session_form_data.h"
#include "store/store_trouble.h"
#include "tests/support/files.h"
#include "tests/support/main_loop.h"
#include "tests/support/not_regular_files.h"
#include "tests/support/private_folders.h"

namespace {

namespace fs = std::filesystem;
using testsupport::RunUntil;

TSavedWindow Window(int left, std::string address, std::string state) {
  return {left, 20, 800, 600, false, std::move(address), std::move(state)};
}

// An engine's list in its own layout, from GVariant's text form.
std::string EngineState(const char* type, const std::string& text) {
  GVariant* value = g_variant_parse(G_VARIANT_TYPE(type), text.c_str(), nullptr, nullptr, nullptr);
  if (value == nullptr) return "";
  std::string bytes(static_cast<const char*>(g_variant_get_data(value)), g_variant_get_size(value));
  g_variant_unref(value);
  return bytes;
}

// A page at `url` whose fields and body are `field` and `body`, with one framed page alike.
std::string Frame(const std::string& url, const std::string& field, const std::string& body,
                  bool framed = true) {
  const std::string sent = body.empty()
                               ? "@m(sa(uaysxmxmds)) nothing"
                               : "just ('application/x-www-form-urlencoded', "
                                 "[(uint32 0, b'" +
                                     body + "', '', int64 0, @mx nothing, @md nothing, '')])";
  const std::string fields = field.empty() ? "@as []" : "['" + field + "']";
  const std::string children =
      framed ? "[<" + Frame(url + "#frame", field, body, false) + ">]" : "@av []";
  return "('" + url + "', '" + url + "', '', '', " + fields +
         ", @may nothing, int64 1, int64 2, (0, 3), 1.0, " + sent + ", " + children + ")";
}

std::string List(int version, const std::string& field, const std::string& body) {
  const std::string id = version == 1 ? "uint64 7, " : "";
  return EngineState(version == 1 ? "(qa(ts(ssssasmayxx(ii)dm(sa(uaysxmxmds))av)u)mu)"
                                  : "(qa(s(ssssasmayxx(ii)dm(sa(uaysxmxmds))av)u)mu)",
                     "(uint16 " + std::to_string(version) + ", [(" + id + "'a', " +
                         Frame("http://127.0.0.1/a", "", "") + ", uint32 0), (" + id + "'done', " +
                         Frame("http://127.0.0.1/done", field, body) +
                         ", uint32 0)], just uint32 1)");
}

TEST(SessionFormData, BodiesAndFieldsGoAndAnUnknownLayoutKeepsOnlyTheAddress) {
  struct Row {
    const char* name;
    std::string state;
    std::optional<std::string> kept;
  };
  const Row rows[] = {
      {"version 2", List(2, "hanako", "user=hanako&pw=Hk7qZw93"), List(2, "", "")},
      {"version 1", List(1, "hanako", "user=hanako&pw=Hk7qZw93"), List(1, "", "")},
      {"nothing to take", List(2, "", ""), List(2, "", "")},
      {"no list", "", ""},
      {"a version not known", EngineState("(qa(s)mu)", "(uint16 3, [('pw=Hk7qZw93',)], nothing)"),
       std::nullopt},
      {"bytes of no layout", std::string("\x02\x00pw=Hk7qZw93\xff", 14), std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(row.state.empty(), row.kept == "");
    ASSERT_NE(row.state.find("Hk7qZw93") != std::string::npos, row.kept == row.state);
    EXPECT_EQ(StateWithoutFormData(row.state), row.kept);
  }
}

// A list of `urls` in the engine's layout, the current entry at `current`.
std::string ListOf(const std::vector<std::string>& urls, int current, bool framed = true) {
  std::string entries;
  for (const std::string& url : urls) {
    entries += (entries.empty() ? "" : ", ") + std::string("('t', ") + Frame(url, "", "", framed) +
               ", uint32 0)";
  }
  return EngineState("(qa(s(ssssasmayxx(ii)dm(sa(uaysxmxmds))av)u)mu)",
                     "(uint16 2, [" + entries + "], just uint32 " + std::to_string(current) + ")");
}

// Entries and frames the address gate refuses go; Back and Forward then go past them.
TEST(SessionFormData, EntriesOfAnotherKindGoAndTheCurrentOneStaysOrTheListGoes) {
  const auto no_data = [](const char* uri) { return !std::string(uri).starts_with("data:"); };
  const auto no_frame = [](const char* uri) { return !std::string(uri).ends_with("#frame"); };
  const std::string a = "http://127.0.0.1/a", b = "http://127.0.0.1/b";
  const std::string fake = "data:text/html,<h1>login</h1>";
  struct Row {
    const char* name;
    std::string state;
    KeptAddressCheck may_open;
    std::optional<std::string> kept;
  };
  const Row rows[] = {
      {"all kept", ListOf({a, b}, 1), no_data, ListOf({a, b}, 1)},
      {"one before the current", ListOf({fake, a, b}, 2), no_data, ListOf({a, b}, 1)},
      {"one after the current", ListOf({a, fake, b}, 0), no_data, ListOf({a, b}, 0)},
      {"the current one", ListOf({a, fake}, 1), no_data, std::nullopt},
      {"a frame within", ListOf({a, b}, 1), no_frame, ListOf({a, b}, 1, false)},
      {"no list", "", no_data, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(StateOfOpenable(row.state, row.may_open), row.kept);
  }
}

TEST(SessionText, WhatIsWrittenIsReadBack) {
  TSavedWindow odd = Window(-40, "http://例え.jp/a b\n#\\x", List(2, "", ""));
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
  std::vector<TSavedWindow> windows_{Window(1, "http://a/", List(2, "", ""))};
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

  windows_ = {Window(2, "http://b/", List(1, "", ""))};
  const TSavedSession last = Store().Open();
  EXPECT_TRUE(last.ended_normally);
  EXPECT_EQ(last.windows.size(), 1u);
  ASSERT_TRUE(Written());
  EXPECT_FALSE(OnDisk().ended_normally);
  EXPECT_EQ(OnDisk().windows, last.windows);  // not yet this run's
  store_.reset();                             // as a kill would leave it
  EXPECT_FALSE(Store().Open().ended_normally);
}

TEST_F(SessionStoreTest, AFileNotOursIsKeptAsideAndAFailedWriteIsSaid) {
  std::vector<StoreTrouble> said;
  OnStoreTrouble([&](const StoreTrouble& trouble) { said.push_back(trouble); });
  said.clear();  // those of earlier tests
  const std::string garbage = "\x01\x02 not a session of ours";
  std::ofstream(file_) << garbage;
  EXPECT_TRUE(Store().Open().windows.empty());
  ASSERT_TRUE(Written());
  std::string aside;
  for (const auto& entry : fs::directory_iterator(root_)) {
    if (entry.path().string().find("session.ini.corrupt-") != std::string::npos)
      aside = entry.path();
  }
  ASSERT_FALSE(aside.empty());
  EXPECT_EQ(testsupport::ReadFile(aside), garbage);
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].file, file_);
  // A folder where the file goes: the write is said to have failed.
  store_.reset();
  fs::remove(file_);
  fs::create_directories(file_ + "/in-the-way");
  Store().Open();
  ASSERT_TRUE(Written());
  OnStoreTrouble(nullptr);
  ASSERT_EQ(said.size(), 3u);  // it cannot be read either
  EXPECT_EQ(said[2].file, file_);
  EXPECT_NE(said[2].reason.find("保存できませんでした"), std::string::npos) << said[2].reason;
}

// A FIFO would hang the start, a link to /dev/zero would be read without end:
// each is refused at once, said, and left where it is.
TEST_F(SessionStoreTest, ANotRegularFileInItsPlaceIsSaidNeitherWaitedOnNorReplaced) {
  using testsupport::NotRegular;
  struct Row {
    const char* name;
    NotRegular kind;
    fs::file_type left;  // what is at the file's place afterwards
  };
  const Row rows[] = {
      {"a FIFO", NotRegular::kFifo, fs::file_type::fifo},
      {"a link to /dev/zero", NotRegular::kEndlessDevice, fs::file_type::symlink},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(testsupport::PlaceNotRegular(file_, row.kind));
    EXPECT_TRUE(testsupport::InLimitedChild([&] {
      std::vector<StoreTrouble> said;
      OnStoreTrouble([&](const StoreTrouble& trouble) { said.push_back(trouble); });
      said.clear();
      const bool nothing = Store().Open().windows.empty();
      store_->Changed();
      store_->Close();
      store_.reset();
      return nothing && said.size() == 2 && said[0].file == file_ &&
             said[0].reason.find("通常のファイルではない") != std::string::npos &&
             said[1].reason.find("保存できませんでした") != std::string::npos &&
             fs::symlink_status(file_).type() == row.left;
    }));
    EXPECT_EQ(fs::symlink_status(file_).type(), row.left);
  }
}

// Each file moved aside is kept under a name of its own, several in one second too.
TEST(MoveAside, NeverReplacesAnEarlierOne) {
  const std::string root = testsupport::MakePrivateRoot();
  const std::string file = root + "/history.sqlite";
  std::set<std::string> names;
  for (int i = 0; i < 5; ++i) {
    testsupport::WriteFile(file, "damaged " + std::to_string(i));
    testsupport::WriteFile(file + "-wal", "log " + std::to_string(i));
    const std::string aside = MoveAside(file);
    ASSERT_FALSE(aside.empty());
    EXPECT_TRUE(names.insert(aside).second) << aside;
    EXPECT_FALSE(fs::exists(file));
  }
  std::set<std::string> kept;
  for (const std::string& aside : names) {
    kept.insert(testsupport::ReadFile(aside) + "/" + testsupport::ReadFile(aside + "-wal"));
  }
  EXPECT_EQ(kept.size(), 5u);
  EXPECT_TRUE(kept.contains("damaged 0/log 0"));
  testsupport::RemoveTree(root);
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
