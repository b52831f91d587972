// Each site keeps its zoom: set with the window's keys, followed by the other
// windows on that site, read back at start, not kept at 100 % nor by a private
// view, and forgotten with the history.
#include "browser/site_zoom.h"

#include <sys/stat.h>

#include <filesystem>

#include "browser/profile.h"
#include "browser/zoom.h"
#include "history/clear_data.h"
#include "tests/support/files.h"
#include "tests/support/form_fixture.h"
#include "tests/support/key_input.h"
#include "tests/support/not_regular_files.h"

namespace {

// First in this file: the kept levels are read once a run, and a child
// process here must be the first to read them.
TEST(SiteZoomFile, AFifoOrAnEndlessDeviceInItsPlaceIsNeitherWaitedOnNorReplaced) {
  using testsupport::NotRegular;
  ASSERT_TRUE(MakePrivateFolder(ProfileDataFolder()));
  for (NotRegular kind : {NotRegular::kFifo, NotRegular::kEndlessDevice}) {
    ASSERT_TRUE(testsupport::PlaceNotRegular(SiteZoomFile(), kind));
    const auto type = std::filesystem::symlink_status(SiteZoomFile()).type();
    EXPECT_TRUE(testsupport::InLimitedChild([&] {
      return SiteZoom("shop.example.jp") == 100 && !KeepSiteZoom("shop.example.jp", 150) &&
             std::filesystem::symlink_status(SiteZoomFile()).type() == type;
    }));
  }
  std::filesystem::remove(SiteZoomFile());
}

class SiteZoomTest : public FormTest {
 protected:
  void SetUp() override {
    // As kept by an earlier run, before anything reads it.
    ASSERT_TRUE(MakePrivateFolder(ProfileDataFolder()));
    ASSERT_TRUE(g_file_set_contents(SiteZoomFile().c_str(),
                                    "[zoom]\nlocalhost=150\nexample.jp=9999\n", -1, nullptr));
    FormTest::SetUp();
    if (HasFatalFailure()) return;
    server_.AddHtml("/a.html", "<title>a</title>a");
    server_.AddHtml("/b.html", "<title>b</title>b");
  }

  static int Level(TFormHTML* form) { return form->CppWebBrowser1->Zoom().Percent(); }
  bool Open(TFormHTML* form, const std::string& url) {
    form->NavigateTo(url);
    return WaitForPage(form, url);
  }
  std::string Kept() {
    gchar* text = nullptr;
    if (!g_file_get_contents(SiteZoomFile().c_str(), &text, nullptr, nullptr)) return "(none)";
    std::string kept = text;
    g_free(text);
    return kept;
  }
  std::string OnLocalhost(const std::string& path) {
    std::string url = server_.Url(path);
    return url.replace(url.find("127.0.0.1"), 9, "localhost");
  }
};

TEST_F(SiteZoomTest, SiteKeepsItsZoomEverywhereUntilHistoryIsCleared) {
  EXPECT_EQ(Level(form_), 100);
  auto* other = new TFormHTML(Application);
  other->show();
  ASSERT_TRUE(WaitForPage(other, server_.Url("/home.html")));

  ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
  testsupport::TypeKey(GDK_KEY_equal, GDK_KEY_Control_L);
  ASSERT_TRUE(RunUntil([&] { return Level(form_) == 110; }));
  EXPECT_EQ(Level(other), 110) << "the other window on the site follows";
  EXPECT_EQ(Kept(), "[zoom]\n127.0.0.1=110\nlocalhost=150\n");
  struct stat status {};
  ASSERT_EQ(stat(SiteZoomFile().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);

  ASSERT_TRUE(Open(form_, server_.Url("/a.html")));
  EXPECT_EQ(Level(form_), 110) << "another page of the site";
  ASSERT_TRUE(Open(form_, OnLocalhost("/b.html")));
  EXPECT_EQ(Level(form_), 150) << "kept by the earlier run";
  EXPECT_EQ(Level(other), 110);

  // Ctrl+0: back to 100 %, which is kept by keeping nothing.
  testsupport::TypeKey(GDK_KEY_0, GDK_KEY_Control_L);
  ASSERT_TRUE(RunUntil([&] { return Level(form_) == 100; }));
  EXPECT_EQ(Kept(), "[zoom]\n127.0.0.1=110\n");

  // A private view zooms for itself alone.
  WebKitWebContext* context = webkit_web_context_new_ephemeral();
  auto* view = WEBKIT_WEB_VIEW(g_object_ref_sink(webkit_web_view_new_with_context(context)));
  {
    TZoom zoom(view);
    webkit_web_view_load_uri(view, server_.Url("/b.html").c_str());
    ASSERT_TRUE(WaitForLoad(view, server_.Url("/b.html")));
    EXPECT_EQ(zoom.Percent(), 110);
    zoom.In();
    EXPECT_EQ(zoom.Percent(), 120);
    EXPECT_EQ(Level(other), 110);
    EXPECT_EQ(Kept(), "[zoom]\n127.0.0.1=110\n");
    delete &zoom.Area();
  }
  g_object_unref(view);
  g_object_unref(context);

  ClearChoice history_only;
  history_only.cookies_and_site_data = history_only.cache = false;
  bool done = false;
  ClearKeptData(history_only, nullptr, [&](bool) { done = true; });
  ASSERT_TRUE(RunUntil([&] { return done; }));
  EXPECT_EQ(Kept(), "(none)");
  ASSERT_TRUE(Open(other, server_.Url("/b.html")));
  EXPECT_EQ(Level(other), 100);
}

}  // namespace
