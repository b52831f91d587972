// The address box of a real window: words typed are searched on the search
// site only once Enter is pressed, with the search offered first in the list;
// an address without a scheme loads.
#include <gtest/gtest.h>

#include <algorithm>

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

}  // namespace
