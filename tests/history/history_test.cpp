// Pages shown are recorded, and the address box offers them while the user
// types: real keys through the X server and the key hook.
#include "history/history.h"

#include <X11/keysym.h>

#include "search/search_engine.h"
#include "search/typed_text.h"
#include "store/history_store.h"
#include "tests/support/history_form_fixture.h"
#include "window/suggestion_list.h"
#include "window/suggestion_sources.h"

namespace {

using testsupport::FakeKey;
using Urls = std::vector<std::string>;

// The list's first row for words: their search.
std::string Searched(const std::string& words) { return SearchAddress(SearchEngine(), words); }

class HistoryTest : public HistoryFormTest {
 protected:
  void SetUp() override {
    HistoryFormTest::SetUp();
    Application->SetOnMessage([this](const MSG& msg, bool& handled) {
      TFormHTML::ApplicationMessage(msg, handled);
      if (handled && msg.message == WM_KEYDOWN) ++swallowed_;
    });
  }
  TSuggestionList& List() { return form_->Suggestions(); }

  // Opens `path`, which shows `landing` (after redirects).
  void Open(const std::string& path, std::string landing = {}) {
    List().ShowAddress(server_.Url(path));
    form_->ButtonOpenClick();
    ASSERT_TRUE(WaitForPage(form_, server_.Url(landing.empty() ? path : landing)));
  }

  // The entry as it is once the pages' titles are in.
  std::optional<HistoryEntry> Kept(const std::string& url) {
    RunFor(200);  // a title comes after its page
    History()->Flush();
    return History()->Find(url);
  }

  void Remember(const std::string& url, const std::string& title, int visits = 1) {
    for (int i = 0; i < visits; ++i) History()->RecordVisit(url, title, HistoryStore::Now());
    History()->Flush();
  }

  void Press(guint keysym) { FakeKey(keysym, true), FakeKey(keysym, false), RunFor(100); }

  // Types `text` into the box, first focused and emptied when `fresh`.
  void TypeInBox(const std::string& text, bool fresh = true) {
    if (fresh) {
      ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
      form_->EditURL->grab_focus();
      List().ShowAddress("");
      swallowed_ = 0;
    }
    for (char c : text) Press(c == '.' ? XK_period : static_cast<guint>(c));
  }

  // Enter opens `path` with one request.
  void EnterOpens(const std::string& path) {
    const std::size_t requests = server_.Requests().size();
    Press(XK_Return);
    ASSERT_TRUE(WaitForPage(form_, server_.Url(path)));
    RunFor(200);
    EXPECT_EQ(server_.Requests().size(), requests + 1);
    EXPECT_EQ(server_.Requests().back(), path);
  }

  Urls OfferedUrls() {
    Urls urls;
    for (const Suggestion& s : List().Offered()) urls.push_back(s.url);
    return urls;
  }

  int swallowed_ = 0;
};

TEST_F(HistoryTest, RecordsTheTopPageAfterRedirectsWithItsTitle) {
  server_.AddHtml("/shop.html", Titled("Kirin shop") + "<iframe src='/frame.html'></iframe>");
  server_.AddHtml("/frame.html", Titled("frame"));
  TestHttpServer::Page redirect;
  redirect.status = 302;
  redirect.location = "/shop.html";
  server_.Add("/old", redirect);
  Open("/old", "/shop.html");
  Open("/shop.html");
  const std::optional<HistoryEntry> shop = Kept(server_.Url("/shop.html"));
  ASSERT_TRUE(shop);
  EXPECT_EQ(shop->title, "Kirin shop");
  EXPECT_EQ(shop->visit_count, 2);
  EXPECT_FALSE(History()->Find(server_.Url("/old")));
  EXPECT_FALSE(History()->Find(server_.Url("/frame.html")));
  EXPECT_TRUE(History()->Find(server_.Url("/home.html")));
}

TEST_F(HistoryTest, KeepsNoErrorPageNoticeOrOtherScheme) {
  // A server that has gone: the engine shows its error page under the address.
  const std::string refused = std::make_unique<TestHttpServer>()->Url("/refused");
  List().ShowAddress(refused);
  form_->ButtonOpenClick();
  ASSERT_TRUE(WaitForPage(form_, refused));
  form_->EditURL->set_text("data:text/html,<title>data</title>");
  form_->ButtonOpenClick();
  ASSERT_TRUE(RunUntil([&] { return !form_->CppWebBrowser1->Loading(); }));
  server_.AddHtml("/page.html", Titled("page"));
  Open("/page.html");
  // The page's process ends: our notice shows in its place, under its address.
  webkit_web_view_terminate_web_process(form_->CppWebBrowser1->View());
  RunFor(1000);
  ASSERT_TRUE(RunUntil([&] { return !form_->CppWebBrowser1->Loading(); }));
  EXPECT_FALSE(Kept(refused));
  EXPECT_EQ(Kept(server_.Url("/page.html"))->visit_count, 1);
  EXPECT_EQ(History()->Count(), 2u);  // the home page and this one
}

TEST_F(HistoryTest, DownUpAndEnterThroughTheHookEachActOnce) {
  server_.AddHtml("/seldom.html", Titled("seldom kirin"));
  Remember(server_.Url("/seldom.html"), "seldom kirin");
  Remember(server_.Url("/often.html"), "often kirin", 5);
  TypeInBox("kir");
  ASSERT_TRUE(List().Shown());
  EXPECT_EQ(OfferedUrls(),
            (Urls{Searched("kir"), server_.Url("/often.html"), server_.Url("/seldom.html")}));
  EXPECT_EQ(List().Chosen(), -1);
  // The search row is what Enter does with nothing chosen: the arrows pass it by.
  for (auto [key, chosen] :
       {std::pair{XK_Down, 1}, {XK_Down, 2}, {XK_Down, -1}, {XK_Up, 2}, {XK_Up, 1}, {XK_Down, 2}}) {
    Press(key);
    EXPECT_EQ(List().Chosen(), chosen);
  }
  EXPECT_EQ(form_->EditURL->get_text(), "kir");  // moving keeps what was typed
  EnterOpens("/seldom.html");
  EXPECT_FALSE(List().Shown());
  EXPECT_EQ(swallowed_, 7);
}

TEST_F(HistoryTest, EscapeClosesAndKeepsTheTextEnterOpensWhatWasTyped) {
  server_.AddHtml("/typed", Titled("typed"));
  Remember(server_.Url("/typed-before"), "");
  TypeInBox("typed");
  ASSERT_TRUE(List().Shown());
  Press(XK_Escape);
  EXPECT_FALSE(List().Shown());
  EXPECT_EQ(form_->EditURL->get_text(), "typed");
  form_->EditURL->set_text(server_.Url("/typ"));
  form_->EditURL->set_position(-1);
  TypeInBox("ed", false);
  ASSERT_TRUE(List().Shown());  // /typed-before matches
  EnterOpens("/typed");
}

TEST_F(HistoryTest, AClickOpensAnEntry) {
  server_.AddHtml("/clicked.html", Titled("clicked"));
  Remember(server_.Url("/clicked.html"), "clicked page");
  TypeInBox("clicked");
  ASSERT_TRUE(List().Shown());
  ASSERT_TRUE(RunUntil([&] { return List().Popup().get_mapped(); }));
  // Below the search of the words.
  navtest::ClickAt(navtest::OnScreen(GTK_WIDGET(List().List().get_row_at_index(1)->gobj()), 10, 5));
  EXPECT_TRUE(WaitForPage(form_, server_.Url("/clicked.html")));
}

TEST_F(HistoryTest, NothingIsOfferedWhileAnInputMethodComposesNorForProgramText) {
  server_.AddHtml("/kana", Titled("kana"));
  Remember(server_.Url("/kana"), "kana");
  TypeInBox("");
  // What the input method tells the box while it shows text not yet committed.
  g_signal_emit_by_name(form_->EditURL->gobj(), "preedit-changed", "か");
  TypeInBox("kana", false);
  EXPECT_FALSE(List().Shown());
  g_signal_emit_by_name(form_->EditURL->gobj(), "preedit-changed", "");
  EXPECT_TRUE(List().Shown());
  TypeInBox("");
  Open("/kana");  // the box shows the page's address, typed by nobody
  EXPECT_FALSE(List().Shown());
}

TEST_F(HistoryTest, ButtonPagesComeAfterHistoryAndAloneWithoutIt) {
  const Urls buttons{"http://www.rakuten.co.jp/", "http://books.rakuten.co.jp/RBOOKS/index.html"};
  Remember("http://www.rakuten.co.jp/event/", "rakuten sale");
  TypeInBox("rakuten");
  EXPECT_EQ(OfferedUrls(),
            (Urls{Searched("rakuten"), "http://www.rakuten.co.jp/event/", buttons[0], buttons[1]}));
  SetKeepHistory(false);
  server_.AddHtml("/unkept.html", Titled("unkept"));
  Open("/unkept.html");
  TypeInBox("rakuten");
  EXPECT_EQ(OfferedUrls(), (Urls{Searched("rakuten"), buttons[0], buttons[1]}));
  SetKeepHistory(true);
  EXPECT_FALSE(Kept(server_.Url("/unkept.html")));
}

// Addresses from a damaged profile, as an imported list would offer them.
struct HostileSource : SuggestionSource {
  std::vector<Suggestion> Suggest(std::string_view typed, std::size_t) override {
    if (typed.find("kirin") == std::string_view::npos) return {};
    return {{"data:text/html,<title>ran</title>", "kirin data"},
            {"javascript:document.title='ran'", "kirin script"},
            {"view-source:" + url, "kirin source"},
            {url, "kirin shop"}};
  }
  std::string url;
};

TEST_F(HistoryTest, OnlyWebAndFileAddressesAreOfferedAndNoScriptRunsFromAnyWay) {
  static HostileSource hostile;
  static const bool added = (AddSuggestionSource(&hostile), true);
  ASSERT_TRUE(added);
  server_.AddHtml("/kirin.html", Titled("kirin shop"));
  hostile.url = server_.Url("/kirin.html");
  TypeInBox("kirin");
  EXPECT_EQ(OfferedUrls(), (Urls{Searched("kirin"), hostile.url}));
  Press(XK_Down);
  EnterOpens("/kirin.html");
  const std::pair<const char*, AddressFrom> ways[] = {
      {"data:text/html,<title>ran</title>", AddressFrom::kKept},
      {"javascript:document.title='ran'", AddressFrom::kKept},
      {"javascript:document.title='ran'", AddressFrom::kUser},
      {"\t java\nscript:document.title='ran'", AddressFrom::kUser}};
  for (const auto& [address, from] : ways) {
    SCOPED_TRACE(address);
    form_->NavigateTo(address, from);
    RunFor(300);
    EXPECT_EQ(form_->CppWebBrowser1->PageTitle(), "kirin shop");
  }
  // In the box, then Enter.
  TypeInBox("");
  form_->EditURL->set_text("javascript:document.title='ran'");
  Press(XK_Return);
  RunFor(300);
  EXPECT_EQ(form_->CppWebBrowser1->PageTitle(), "kirin shop");
}

}  // namespace
