// The start page as a window shows it after real visits to a local server.
#include "start_page/start_page.h"

#include <X11/keysym.h>

#include <sstream>
#include <string>
#include <vector>

#include "history/clear_data.h"
#include "history/history.h"
#include "search/search_engine.h"
#include "store/history_store.h"
#include "tests/support/history_form_fixture.h"
#include "window/private_window.h"

namespace {

using testsupport::FakeKey;

class StartPageTest : public HistoryFormTest {
 protected:
  void SetUp() override {
    HistoryFormTest::SetUp();
    TCppWebBrowser::SetDefaultHomePage(kStartPageAddress);
    form_->CppWebBrowser1->SetHomePage(kStartPageAddress);
  }
  WebKitWebView* View(TFormHTML* form = nullptr) {
    return (form != nullptr ? form : form_)->CppWebBrowser1->View();
  }
  std::string Script(const std::string& script, TFormHTML* form = nullptr) {
    return RunScript(View(form), script).value_or("<no answer>");
  }
  // The titles of the sites visited most, as the page lists them.
  std::vector<std::string> MostVisited(TFormHTML* form = nullptr) {
    const std::string text = Script(
        "[...document.querySelectorAll('#most-visited a')].map(a => "
        "a.querySelector('.title').textContent + '|' + "
        "a.querySelector('.host').textContent).join('\\n')",
        form);
    std::vector<std::string> titles;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty()) titles.push_back(line);
    }
    return titles;
  }
  void Visit(const std::string& path, int times) {
    for (int i = 0; i < times; ++i) {
      form_->NavigateTo(server_.Url(path));
      ASSERT_TRUE(WaitForPage(form_, server_.Url(path)));
      // Its title is kept once the page names itself.
      RunUntil([&] { return !form_->CppWebBrowser1->PageTitle().empty(); }, 2000);
      RunFor(50);
    }
    RunFor(200);
    History()->Flush();
  }
  void GoHome() {
    form_->BitBtn1Click();  // Home
    ASSERT_TRUE(WaitForPage(form_, kStartPageAddress))
        << webkit_web_view_get_uri(View()) << " " << Script("document.body.innerText");
  }
  void Press(guint keysym) { FakeKey(keysym, true), FakeKey(keysym, false), RunFor(50); }
};

std::size_t Place(const std::vector<std::string>& list, const std::string& entry) {
  return std::find(list.begin(), list.end(), entry) - list.begin();
}

TEST_F(StartPageTest, ListsTheSitesVisitedMostFirstAndOpensThemWithAClickAndAKey) {
  server_.AddHtml("/a.html", Titled("よく見る A"));
  server_.AddHtml("/b.html", Titled("たまに B"));
  server_.AddHtml("/c.html", Titled("ときどき <C>"));
  Visit("/b.html", 1);
  Visit("/a.html", 3);
  Visit("/c.html", 2);
  GoHome();
  const std::vector<std::string> shown = MostVisited();
  const std::size_t a = Place(shown, "よく見る A|127.0.0.1");
  const std::size_t b = Place(shown, "たまに B|127.0.0.1");
  const std::size_t c = Place(shown, "ときどき <C>|127.0.0.1");
  ASSERT_LT(b, shown.size()) << testing::PrintToString(shown);
  EXPECT_LT(a, c);
  EXPECT_LT(c, b);
  EXPECT_EQ(Script("document.documentElement.lang"), "ja");
  EXPECT_EQ(form_->get_title().find("tavorin://"), std::string::npos);
  // Never kept as a page of its own.
  History()->Flush();
  EXPECT_FALSE(History()->Find(kStartPageAddress).has_value());

  ASSERT_TRUE(navtest::ClickElement(form_, "most-visited-" + std::to_string(c)));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/c.html")));

  GoHome();
  ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
  Script("document.getElementById('most-visited-" + std::to_string(b) + "').focus()");
  Press(XK_Return);
  EXPECT_TRUE(WaitForPage(form_, server_.Url("/b.html")));
}

TEST_F(StartPageTest, TheSearchBoxSearchesTheSiteOfTheSetting) {
  const std::string engine = SearchEngine();
  SetSearchEngine(server_.Url("/search?q=%s"));
  server_.AddHtml("/search", "results");
  GoHome();
  ASSERT_TRUE(navtest::ClickElement(form_, "search"));
  for (guint key : {XK_t, XK_e, XK_a}) Press(key);
  EXPECT_EQ(Script("document.getElementById('search').value"), "tea");
  Press(XK_Return);
  const bool searched = WaitForPage(form_, server_.Url("/search?q=tea"));
  SetSearchEngine(engine);
  EXPECT_TRUE(searched) << webkit_web_view_get_uri(View());
}

TEST_F(StartPageTest, ShowsNoVisitedSitesWithoutHistoryOrRightAfterClearing) {
  server_.AddHtml("/seen.html", Titled("見た店"));
  Visit("/seen.html", 2);
  SetKeepHistory(false);
  GoHome();
  EXPECT_TRUE(MostVisited().empty());
  EXPECT_EQ(Script("document.getElementById('most-visited').textContent"),
            "まだ見たサイトはありません。");
  SetKeepHistory(true);
  form_->BitBtn5Click();  // Refresh
  ASSERT_TRUE(RunUntil([&] { return !MostVisited().empty(); }));
  bool cleared = false;
  ClearKeptData({true, false, false, ClearPeriod::kEverything}, History(),
                [&](bool) { cleared = true; });
  ASSERT_TRUE(RunUntil([&] { return cleared; }));
  // The page shown now forgets them too.
  EXPECT_TRUE(RunUntil([&] { return MostVisited().empty(); }));
}

TEST_F(StartPageTest, APrivateWindowHasAPageOfItsOwn) {
  server_.AddHtml("/seen.html", Titled("見た店"));
  Visit("/seen.html", 1);
  const std::size_t before = Application->Forms().size();
  OpenPrivateWindow(*form_);
  ASSERT_TRUE(RunUntil([&] { return Application->Forms().size() == before + 1; }));
  auto* window = dynamic_cast<TFormHTML*>(Application->Forms().back());
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitForPage(window, kStartPageAddress));
  EXPECT_TRUE(MostVisited(window).empty());
  EXPECT_EQ(Script("document.body.innerText.includes('見た店')", window), "false");
  EXPECT_NE(
      Script("document.getElementById('private-note').textContent", window).find("履歴に残らず"),
      std::string::npos);
}

// A page of a site tries every way to reach the start page; what it reports
// back holds nothing of it.
TEST_F(StartPageTest, AWebPageLearnsNothingOfIt) {
  server_.AddHtml("/secret.html", Titled("ひみつの買い物"));
  Visit("/secret.html", 2);
  server_.AddHtml("/report", "");
  server_.AddHtml("/attack.html", R"HTML(<!doctype html>
<iframe id=f src="tavorin://start/"></iframe>
<button id=go onclick="tryOpen()" style="width:200px;height:80px">go</button>
<script>
const report = (k, v) => fetch('/report?' + k + '=' + encodeURIComponent(String(v)));
fetch('tavorin://start/').then(r => r.text()).then(t => report('fetch', t), e => report('fetch', 'refused'));
try { const x = new XMLHttpRequest(); x.open('GET', 'tavorin://start/', false); x.send();
      report('xhr', x.responseText); } catch (e) { report('xhr', 'refused'); }
setTimeout(() => {
  let t = 'none';
  try { const d = document.getElementById('f').contentDocument; t = d ? d.documentElement.outerHTML : 'null'; }
  catch (e) { t = 'refused'; }
  report('frame', t);
}, 1000);
function tryOpen() {
  let w = null;
  try { w = window.open('tavorin://start/'); } catch (e) {}
  setTimeout(() => {
    let t = 'none';
    try { t = w ? w.document.documentElement.outerHTML : 'null'; } catch (e) { t = 'refused'; }
    report('open', t);
    location.href = 'tavorin://start/';
    setTimeout(() => report('stayed', location.href), 500);
  }, 800);
}
</script>)HTML");
  Visit("/attack.html", 1);
  ASSERT_TRUE(navtest::ClickElement(form_, "go"));
  auto reported = [&](const std::string& key) {
    for (const std::string& request : server_.Requests()) {
      if (request.starts_with("/report?" + key + "=")) return true;
    }
    return false;
  };
  ASSERT_TRUE(RunUntil([&] { return reported("stayed") && reported("frame"); }));
  RunFor(300);
  for (const std::string& request : server_.Requests()) {
    gchar* plain = g_uri_unescape_string(request.c_str(), nullptr);
    const std::string text = plain != nullptr ? plain : request;
    g_free(plain);
    EXPECT_EQ(text.find("ひみつの買い物"), std::string::npos) << text;
    EXPECT_EQ(text.find("よく見るサイト"), std::string::npos) << text;
  }
  EXPECT_EQ(webkit_web_view_get_uri(View()), server_.Url("/attack.html"));
  for (TForm* window : Application->Forms()) {
    auto* other = dynamic_cast<TFormHTML*>(window);
    if (other == nullptr || other == form_) continue;
    EXPECT_EQ(Script("document.body ? document.body.innerText.includes('ひみつ') : false", other),
              "false");
  }
}

}  // namespace
