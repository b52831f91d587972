// Clearing cookies, site data and the cache of a real engine, checked in the profile's files.
#include "browser/site_data.h"

#include <gtkmm/window.h>
#include <webkit2/webkit2.h>

#include <filesystem>

#include "browser/cpp_web_browser.h"
#include "browser/profile.h"
#include "tests/support/files.h"
#include "tests/support/gui_test.h"
#include "tests/support/http_server.h"

namespace {

// The kinds whose marks the files below the profile's folders hold, as such or
// as the engine's UTF-16: "cookie storage cache " when all do.
std::string MarksOnDisk() {
  std::string files;
  for (const std::string& folder : {ProfileDataFolder(), ProfileCacheFolder()}) {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
      if (entry.is_regular_file()) files += testsupport::ReadFile(entry.path()) + '\n';
  }
  std::string found;
  for (const std::string kind : {"cookie", "storage", "cache"}) {
    const std::string mark = "Qz7" + kind + "Mark";
    std::string wide;
    for (char c : mark) wide += std::string{c, '\0'};
    if (files.find(mark) != std::string::npos || files.find(wide) != std::string::npos)
      found += kind + " ";
  }
  return found;
}

class SiteDataTest : public ::testing::Test {
 protected:
  // Loads a page and waits until the engine has written all three marks. The
  // script puts the marks together, so that the cached page holds only the cache's.
  void SetUp() override {
    TestHttpServer::Page page;
    page.body =
        "<title>kept</title><p>Qz7cacheMark</p><script>"
        "const m = (a) => 'Qz7' + a + 'Mark';"
        "if (!document.cookie) document.cookie = 'c=' + m('cookie') + '; "
        "max-age=86400';localStorage.setItem('k', m('storage'));</script>";
    page.headers = {{"Cache-Control", "max-age=86400"}};
    server_.Add("/kept.html", page);
    window_.add(*Gtk::manage(browser_));
    window_.set_default_size(400, 300);
    window_.show_all();
    webkit_web_view_load_uri(browser_->View(), server_.Url("/kept.html").c_str());
    ASSERT_TRUE(WaitForLoad(browser_->View(), server_.Url("/kept.html")));
    ASSERT_TRUE(RunUntil([] { return MarksOnDisk() == "cookie storage cache "; }, 30000))
        << MarksOnDisk();
  }

  bool Clear(SiteDataKinds kinds, std::int64_t since) {
    std::optional<bool> outcome;
    ClearSiteData(kinds, since, [&](bool ok) { outcome = ok; });
    return RunUntil([&] { return outcome.has_value(); }, 30000) && *outcome;
  }

  TestHttpServer server_;
  Gtk::Window window_;
  TCppWebBrowser* browser_ = new TCppWebBrowser();
};

// The files under the data folder that are not the user's alone (the engine's
// folders inside it may be open, as the data folder itself is not).
std::string OpenToOthers() {
  std::string found;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(ProfileDataFolder(), error)) {
    const auto others = std::filesystem::perms::group_all | std::filesystem::perms::others_all;
    if (entry.is_regular_file() &&
        (entry.status().permissions() & others) != std::filesystem::perms::none) {
      found += entry.path().string() + " ";
    }
  }
  return found;
}

TEST_F(SiteDataTest, EverythingLeavesNoCookieStorageOrCacheOnDisk) {
  // What the sites stored (the set-up waits for local storage) is the user's alone, as it is
  // written.
  EXPECT_TRUE(RunUntil([] { return OpenToOthers().empty(); }, 5000)) << OpenToOthers();
  bool storage = false;
  for (const auto& entry :
       std::filesystem::directory_iterator(ProfileDataFolder() + "/localstorage")) {
    storage = storage || entry.path().extension() == ".localstorage";
  }
  EXPECT_TRUE(storage);
  ASSERT_TRUE(Clear({.cookies_and_site_data = true, .cache = true}, 0));
  EXPECT_TRUE(RunUntil([] { return MarksOnDisk().empty(); }, 20000)) << MarksOnDisk();
}

TEST_F(SiteDataTest, TheCacheAloneKeepsCookiesAndSiteDataAndCookiesOlderThanThePeriodStay) {
  ASSERT_TRUE(Clear({.cache = true}, g_get_real_time() - G_TIME_SPAN_HOUR));
  EXPECT_TRUE(RunUntil([] { return MarksOnDisk() == "cookie storage "; }, 20000)) << MarksOnDisk();
  RunFor(1100);  // a period that began after the page stored them
  ASSERT_TRUE(Clear({.cookies_and_site_data = true}, g_get_real_time() - 1000));
  EXPECT_NE(MarksOnDisk().find("cookie"), std::string::npos);
  ASSERT_TRUE(Clear({.cookies_and_site_data = true}, g_get_real_time() - G_TIME_SPAN_HOUR));
  EXPECT_EQ(MarksOnDisk().find("cookie"), std::string::npos) << MarksOnDisk();
  EXPECT_EQ(RunScript(browser_->View(), "document.cookie"), "");
}

}  // namespace

TAVORIN_GUI_TEST_MAIN()
