// A page that takes memory without end, in a program whose pages may use
// little: the engine ends the page and the window stays usable. The limit is
// set before the first view, so this binary has a main of its own.
#include <webkit2/webkit2.h>

#include <string>

#include "tests/support/form_fixture.h"

namespace {

constexpr unsigned kLimitMegabytes = 300;

// Grows by some megabytes every few milliseconds, never letting go.
constexpr char kHog[] = R"html(<title>hog</title>taking memory<script>
const kept = [];
function grow() {
  for (let i = 0; i < 10; i++) kept.push(new Array(100000).fill(Math.random()));
  setTimeout(grow, 5);
}
grow();
</script>)html";

std::string PageText(TFormHTML* form) {
  return RunScript(form->CppWebBrowser1->View(), "document.body ? document.body.innerText : ''")
      .value_or("");
}

bool ShowsText(TFormHTML* form, const std::string& text, int timeout_ms) {
  return RunUntil([&] { return PageText(form).find(text) != std::string::npos; }, timeout_ms);
}

class MemoryLimitTest : public FormTest {
 protected:
  void Go(const std::string& address) {
    form_->EditURL->set_text(address);
    form_->ButtonOpen->clicked();
  }
};

TEST_F(MemoryLimitTest, APageBeyondTheLimitIsEndedAndTheWindowSaysSoAndGoesOn) {
  server_.AddHtml("/hog.html", kHog);
  server_.AddHtml("/b.html", "<title>b</title>page B");
  bool over_limit = false;
  g_signal_connect_swapped(form_->CppWebBrowser1->View(), "web-process-terminated",
                           G_CALLBACK(+[](bool* flag, WebKitWebProcessTerminationReason reason) {
                             *flag = reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT;
                           }),
                           &over_limit);
  Go(server_.Url("/hog.html"));
  ASSERT_TRUE(RunUntil([&] { return over_limit; }, 30000));
  EXPECT_TRUE(ShowsText(form_, "このページはクラッシュしました", 10000));
  EXPECT_TRUE(ShowsText(form_, "メモリを使いすぎたため", 1000));
  EXPECT_EQ(form_->EditURL->get_text(), server_.Url("/hog.html"));
  Go(server_.Url("/b.html"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/b.html")));
  EXPECT_EQ(PageText(form_), "page B");
}

}  // namespace

int main(int argc, char** argv) {
  TCppWebBrowser::SetPageMemoryLimit(kLimitMegabytes);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new GuiEnvironment());
  return RUN_ALL_TESTS();
}
