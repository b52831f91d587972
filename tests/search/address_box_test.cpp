// The address box of a real window: words typed are searched on the search
// site only once Enter is pressed, with the search offered first in the list;
// an address without a scheme loads.
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "search/search_engine.h"
#include "tests/support/form_fixture.h"
#include "tests/support/key_input.h"
#include "window/suggestion_list.h"

namespace {

class AddressBoxTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    if (HasFatalFailure()) return;
    server_.AddHtml("/find", "<title>found</title>");
    server_.AddHtml("/a", "<title>a</title>");
    SetSearchEngine(server_.Url("/find?q=%s"));
  }
  void TearDown() override {
    SetSearchEngine("https://www.google.co.jp/search?q=%s");
    FormTest::TearDown();
  }
  bool Asked(const std::string& request) {
    const auto& asked = server_.Requests();
    return std::find(asked.begin(), asked.end(), request) != asked.end();
  }
  std::string Host() { return "127.0.0.1:" + server_.Url("").substr(17); }
};

TEST_F(AddressBoxTest, WordsAreSearchedOnEnterAndHostsLoad) {
  ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
  form_->EditURL->grab_focus();
  form_->EditURL->set_text("");
  testsupport::TypeText("ringo aomori");
  TSuggestionList& list = form_->Suggestions();
  ASSERT_TRUE(RunUntil([&] { return list.Shown(); }));
  ASSERT_FALSE(list.Offered().empty());
  EXPECT_EQ(list.Offered()[0].title, "“ringo aomori” を検索");
  // Nothing went out while typing.
  EXPECT_EQ(server_.Requests().size(), 1u);
  testsupport::TypeKey(GDK_KEY_Return);
  EXPECT_TRUE(WaitForPage(form_, server_.Url("/find?q=ringo%20aomori")));

  // Japanese words and "GO".
  form_->EditURL->set_text("りんご 青森");
  form_->ButtonOpen->clicked();
  EXPECT_TRUE(
      RunUntil([&] { return Asked("/find?q=%E3%82%8A%E3%82%93%E3%81%94%20%E9%9D%92%E6%A3%AE"); }));

  // A host and port without a scheme loads.
  form_->EditURL->set_text(Host() + "/a");
  form_->ButtonOpen->clicked();
  EXPECT_TRUE(WaitForPage(form_, server_.Url("/a")));
}

// A file named like the host in the working folder (a download folder can be
// it): what is typed still goes to the host, the test's server standing in.
TEST_F(AddressBoxTest, ADottedNameIsAHostWhateverFilesExist) {
  server_.AddHtml("/", "<title>shop</title>shop");
  gchar* folder = g_dir_make_tmp("tavorin-cwd-XXXXXX", nullptr);
  ASSERT_NE(folder, nullptr);
  gchar* was = g_get_current_dir();
  ASSERT_EQ(g_chdir(folder), 0);
  ASSERT_TRUE(g_file_set_contents(Host().c_str(), "<title>local</title>a local file", -1, nullptr));
  ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
  form_->EditURL->grab_focus();
  form_->EditURL->set_text(Host());  // typed keys would give the keymap's own ':'
  form_->EditURL->set_position(-1);
  testsupport::TypeKey(GDK_KEY_Return);
  EXPECT_TRUE(WaitForPage(form_, server_.Url("/")));
  EXPECT_TRUE(Asked("/"));
  g_chdir(was);
  g_free(was);
  std::filesystem::remove_all(folder);
  g_free(folder);
}

}  // namespace
