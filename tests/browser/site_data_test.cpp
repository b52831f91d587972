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

// The engine keeps stored strings as UTF-16.
std::string Utf16(const std::string& ascii) {
  std::string wide;
  for (char c : ascii) wide += std::string{c, '\0'};
  return wide;
}

// The first file below the profile's folders that holds `mark`; empty for none.
std::string WhereOnDisk(const std::string& mark) {
  for (const std::string& folder : {ProfileDataFolder(), ProfileCacheFolder()}) {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
      if (!entry.is_regular_file()) continue;
      const std::string bytes = testsupport::ReadFile(entry.path());
      if (bytes.find(mark) != std::string::npos || bytes.find(Utf16(mark)) != std::string::npos) {
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
    // The marks are put together by the script, so that the cached page
    // itself holds only the cache's.
    TestHttpServer::Page page;
    page.body = std::string("<title>kept</title><p>") + kCacheMark +
                "</p><script>const m = (a) => 'Qz7' + a + 'Mark';"
                "if (!document.cookie) document.cookie = 'c=' + m('cookie') + '; max-age=86400';"
                "localStorage.setItem('k', m('storage'));</script>";
    page.headers = {{"Cache-Control", "max-age=86400"}};
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
        [] { return OnDisk(kCookieMark) && OnDisk(kStorageMark) && OnDisk(kCacheMark); }, 30000))
        << OnDisk(kCookieMark) << OnDisk(kStorageMark) << OnDisk(kCacheMark);
  }

  bool Clear(SiteDataKinds kinds, std::int64_t since) {
    std::optional<bool> outcome;
    ClearSiteData(kinds, since, [&](bool ok) { outcome = ok; });
    return RunUntil([&] { return outcome.has_value(); }, 30000) && *outcome;
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
  EXPECT_TRUE(OnDisk(kCookieMark));
  ASSERT_TRUE(Clear({.cookies_and_site_data = true}, g_get_real_time() - G_TIME_SPAN_HOUR));
  EXPECT_FALSE(OnDisk(kCookieMark)) << WhereOnDisk(kCookieMark);
  EXPECT_EQ(RunScript(browser_->View(), "document.cookie"), "");
}

}  // namespace

TAVORIN_GUI_TEST_MAIN()
