// The start page's HTML: whatever a title or an address holds stays text.
#include "start_page/start_page_html.h"

#include <gtest/gtest.h>

namespace {

TEST(StartPageHtml, TitlesAndAddressesAreEscaped) {
  StartPageContent content;
  content.most_visited = {{"</a><script>alert(1)</script>", "http://a.example/?q=\"><img src=x>"}};
  content.bookmarks = {{"<b onclick=x>", "https://b.example/'onmouseover='x"}};
  const std::string html = StartPageHtml(content);
  for (const char* raw : {"<script>alert", "<img", "<b onclick", "'onmouseover='"}) {
    EXPECT_EQ(html.find(raw), std::string::npos) << raw;
  }
  EXPECT_NE(html.find("&lt;/a&gt;&lt;script&gt;"), std::string::npos);
}

TEST(StartPageHtml, APrivateWindowsPageListsNothingAndSaysWhatIsKept) {
  StartPageContent content;
  content.private_window = true;
  content.most_visited = {{"見た店", "http://a.example/"}};
  content.bookmarks = {{"しおり", "http://b.example/"}};
  const std::string html = StartPageHtml(content);
  EXPECT_EQ(html.find("見た店"), std::string::npos);
  EXPECT_EQ(html.find("しおり"), std::string::npos);
  EXPECT_NE(html.find("履歴に残らず"), std::string::npos);
}

TEST(StartPageHtml, HostsAsShown) {
  const std::pair<const char*, const char*> rows[] = {
      {"https://www.rakuten.co.jp/a?b", "www.rakuten.co.jp"},
      {"http://127.0.0.1:8080/", "127.0.0.1"},
      {"file:///home/u/a.html", "ファイル"},
      {"not an address", ""},
  };
  for (const auto& [url, host] : rows) EXPECT_EQ(ShownHost(url), host) << url;
}

}  // namespace
