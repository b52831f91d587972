// Clearing cookies, site data and the cache of a real engine, checked in the
// files of the profile.
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

constexpr char kCookieMark[] = "Qz7cookieMark";
constexpr char kStorageMark[] = "Qz7storageMark";
constexpr char kCacheMark[] = "Qz7cacheMark";

// The first file below the profile's folders that holds `mark`; empty for none.
std::string WhereOnDisk(const std::string& mark) {
  for (const std::string& folder : {ProfileDataFolder(), ProfileCacheFolder()}) {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
      if (!entry.is_regular_file()) continue;
      if (testsupport::ReadFile(entry.path()).find(mark) != std::string::npos) {
        return entry.path().string();
      }
    }
  }
  return {};
}

bool OnDisk(const std::string& mark) { return !WhereOnDisk(mark).empty(); }

class SiteDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestHttpServer::Page page;
    page.body = std::string("<title>kept</title><p>") + kCacheMark +
                "</p><script>localStorage.setItem('k', '" + kStorageMark + "')</script>";
    page.headers = {{"Set-Cookie", std::string("c=") + kCookieMark + "; Max-Age=86400"},
                    {"Cache-Control", "max-age=86400"}};
    server_.Add("/kept.html", page);
    browser_ = Gtk::manage(new TCppWebBrowser());
    window_.add(*browser_);
    window_.set_default_size(400, 300);
    window_.show_all();
  }

  // Loads the page and waits until the engine has written all three marks.
  void StoreMarks() {
    webkit_web_view_load_uri(browser_->View(), server_.Url("/kept.html").c_str());
    ASSERT_TRUE(WaitForLoad(browser_->View(), server_.Url("/kept.html")));
    ASSERT_TRUE(RunUntil(
        [] { return OnDisk(kCookieMark) && OnDisk(kStorageMark) && OnDisk(kCacheMark); }, 30000));
  }

  bool Clear(SiteDataKinds kinds, std::int64_t since) {
    std::optional<bool> outcome;
    ClearSiteData(kinds, since, [&](bool ok) { outcome = ok; });
    return RunUntil([&] { return outcome.has_value(); }, 30000) && *outcome;
  }

  // What the page itself still sees.
  std::string PageSees() {
    webkit_web_view_reload(browser_->View());
    RunFor(200);
    EXPECT_TRUE(WaitForLoad(browser_->View(), server_.Url("/kept.html")));
    return RunScript(browser_->View(), "document.cookie").value_or("?");
  }

  TestHttpServer server_;
  Gtk::Window window_;
  TCppWebBrowser* browser_ = nullptr;
};

TEST_F(SiteDataTest, EverythingLeavesNoCookieStorageOrCacheOnDisk) {
  ASSERT_NO_FATAL_FAILURE(StoreMarks());
  ASSERT_TRUE(Clear({.cookies_and_site_data = true, .cache = true}, 0));
  EXPECT_TRUE(RunUntil(
      [] { return !OnDisk(kCookieMark) && !OnDisk(kStorageMark) && !OnDisk(kCacheMark); }, 20000))
      << "cookie " << OnDisk(kCookieMark) << " storage " << OnDisk(kStorageMark) << " cache "
      << OnDisk(kCacheMark);
}

TEST_F(SiteDataTest, TheCacheAloneKeepsCookiesAndSiteData) {
  ASSERT_NO_FATAL_FAILURE(StoreMarks());
  ASSERT_TRUE(Clear({.cache = true}, g_get_real_time() - G_TIME_SPAN_HOUR));
  EXPECT_TRUE(RunUntil([] { return !OnDisk(kCacheMark); }, 20000)) << WhereOnDisk(kCacheMark);
  EXPECT_TRUE(OnDisk(kCookieMark));
  EXPECT_TRUE(OnDisk(kStorageMark));
}

TEST_F(SiteDataTest, CookiesOlderThanThePeriodStay) {
  ASSERT_NO_FATAL_FAILURE(StoreMarks());
  // A period that began after the page stored them.
  RunFor(1100);
  ASSERT_TRUE(Clear({.cookies_and_site_data = true}, g_get_real_time() - 1000));
  EXPECT_NE(PageSees().find(kCookieMark), std::string::npos);
  ASSERT_TRUE(Clear({.cookies_and_site_data = true}, g_get_real_time() - G_TIME_SPAN_HOUR));
  EXPECT_EQ(PageSees().find(kCookieMark), std::string::npos);
  EXPECT_TRUE(RunUntil([] { return !OnDisk(kCookieMark); }, 20000));
}

}  // namespace

TAVORIN_GUI_TEST_MAIN()
