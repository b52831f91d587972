// A long session in one process: many navigations, then many windows opened
// and closed. The program's own memory must level off, and every closed
// window must be silent.
#include <fstream>

#include "tests/support/form_fixture.h"

namespace {

// Proportional set size of this process (the engine's processes are not
// counted), in MiB.
double OwnPssMiB() {
  std::ifstream rollup("/proc/self/smaps_rollup");
  std::string key;
  long kib = 0;
  while (rollup >> key) {
    if (key == "Pss:") {
      rollup >> kib;
      break;
    }
    rollup.ignore(1 << 10, '\n');
  }
  return kib / 1024.0;
}

class SoakTest : public FormTest {
 protected:
  void Go(const std::string& url) {
    form_->EditURL->set_text(url);
    form_->ButtonOpen->clicked();
    ASSERT_TRUE(WaitForPage(form_, url));
  }
};

TEST_F(SoakTest, NavigationsAndClosedWindowsLevelOff) {
  server_.AddHtml("/one.html", "<title>one</title><p>" + std::string(20000, 'a') + "</p>");
  server_.AddHtml("/two.html", "<title>two</title><p>" + std::string(20000, 'b') + "</p>");
  const std::string pages[] = {server_.Url("/one.html"), server_.Url("/two.html")};
  for (int i = 0; i < 50; ++i) Go(pages[i % 2]);
  const double after_50 = OwnPssMiB();
  for (int i = 50; i < 500; ++i) Go(pages[i % 2]);
  const double after_500 = OwnPssMiB();
  RecordProperty("pss_after_50_mib", std::to_string(after_50));
  RecordProperty("pss_after_500_mib", std::to_string(after_500));
#ifndef __SANITIZE_ADDRESS__  // its quarantine keeps freed memory on purpose
  EXPECT_LT(after_500 - after_50, 20.0)
      << after_50 << " MiB after 50, " << after_500 << " MiB after 500";
#endif

  std::vector<TFormHTML*> closed;
  for (int i = 0; i < 50; ++i) {
    auto* window = new TFormHTML(Application);
    window->show();
    ASSERT_TRUE(WaitForPage(window, server_.Url("/home.html")));
    gtk_window_close(window->gobj());
    closed.push_back(window);
  }
  RunFor(200);
  const double after_windows = OwnPssMiB();
  RecordProperty("pss_after_windows_mib", std::to_string(after_windows));
  std::printf("own PSS: %.1f MiB after 50 navigations, %.1f after 500, %.1f after 50 windows\n",
              after_50, after_500, after_windows);
  for (TFormHTML* window : closed) {
    EXPECT_FALSE(window->get_visible());
    EXPECT_TRUE(webkit_web_view_get_is_muted(window->CppWebBrowser1->View()));
  }
  EXPECT_EQ(Application->Forms().size(), 51u);
}

}  // namespace

TAVORIN_GUI_TEST_MAIN()
