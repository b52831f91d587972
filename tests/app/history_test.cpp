// Pages shown are recorded, and the address box offers them while the user
// types: real keys through the X server and the key hook, into the box and
// the list.
#include "app/history.h"

#include <X11/keysym.h>

#include "app/suggestion_list.h"
#include "store/history_store.h"
#include "tests/app/form_fixture.h"
#include "tests/support/x_input.h"

namespace {

using testsupport::FakeKey;
using testsupport::FocusWindow;

std::string Titled(const std::string& title) {
  return "<!doctype html><title>" + title + "</title><p>" + title;
}

class HistoryTest : public FormTest {
 protected:
  void SetUp() override {
    SetKeepHistory(true);
    ASSERT_NE(History(), nullptr);
    History()->DeleteAll();
    FormTest::SetUp();
    Application->SetOnMessage([this](const MSG& msg, bool& handled) {
      TFormHTML::ApplicationMessage(msg, handled);
      if (handled && msg.message == WM_KEYDOWN) ++swallowed_;
    });
  }
  void TearDown() override {
    FormTest::TearDown();
    SetKeepHistory(true);
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

  void Press(guint keysym) {
    FakeKey(keysym, true);
    FakeKey(keysym, false);
    RunFor(100);
  }

  void Type(const std::string& text) {
    for (char c : text) Press(c == '.' ? XK_period : static_cast<guint>(c));
  }

  // The box focused and empty, ready for typing.
  void FocusBox() {
    ASSERT_TRUE(FocusWindow(form_->gobj()));
    form_->EditURL->grab_focus();
    List().ShowAddress("");
    swallowed_ = 0;
  }

  std::vector<std::string> OfferedUrls() {
    std::vector<std::string> urls;
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
  const std::int64_t now = HistoryStore::Now();
  server_.AddHtml("/often.html", Titled("often kirin"));
  server_.AddHtml("/seldom.html", Titled("seldom kirin"));
  History()->RecordVisit(server_.Url("/seldom.html"), "seldom kirin", now);
  for (int i = 0; i < 5; ++i)
    History()->RecordVisit(server_.Url("/often.html"), "often kirin", now);
  History()->Flush();
  FocusBox();
  Type("kir");
  ASSERT_TRUE(List().Shown());
  EXPECT_EQ(OfferedUrls(),
            (std::vector<std::string>{server_.Url("/often.html"), server_.Url("/seldom.html")}));
  EXPECT_EQ(List().Chosen(), -1);
  Press(XK_Down);
  EXPECT_EQ(List().Chosen(), 0);
  Press(XK_Down);
  EXPECT_EQ(List().Chosen(), 1);
  Press(XK_Up);
  EXPECT_EQ(List().Chosen(), 0);
  Press(XK_Down);
  EXPECT_EQ(form_->EditURL->get_text(), "kir");  // moving keeps what was typed
  const std::size_t requests = server_.Requests().size();
  Press(XK_Return);
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/seldom.html")));
  RunFor(200);
  EXPECT_EQ(server_.Requests().size(), requests + 1);
  EXPECT_FALSE(List().Shown());
  EXPECT_EQ(swallowed_, 5);
}

TEST_F(HistoryTest, EscapeClosesAndKeepsTheTextEnterOpensWhatWasTyped) {
  server_.AddHtml("/typed", Titled("typed"));
  History()->RecordVisit(server_.Url("/typed-before"), "", HistoryStore::Now());
  History()->Flush();
  FocusBox();
  Type("typed");
  ASSERT_TRUE(List().Shown());
  Press(XK_Escape);
  EXPECT_FALSE(List().Shown());
  EXPECT_EQ(form_->EditURL->get_text(), "typed");
  form_->EditURL->set_text(server_.Url("/typ"));
  form_->EditURL->set_position(-1);
  Type("ed");
  ASSERT_TRUE(List().Shown());  // /typed-before matches
  const std::size_t requests = server_.Requests().size();
  Press(XK_Return);
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/typed")));
  RunFor(200);
  EXPECT_EQ(server_.Requests().size(), requests + 1);
  EXPECT_EQ(server_.Requests().back(), "/typed");
}

TEST_F(HistoryTest, AClickOpensAnEntry) {
  server_.AddHtml("/clicked.html", Titled("clicked"));
  History()->RecordVisit(server_.Url("/clicked.html"), "clicked page", HistoryStore::Now());
  History()->Flush();
  FocusBox();
  Type("clicked");
  ASSERT_TRUE(List().Shown());
  ASSERT_TRUE(RunUntil([&] { return List().Popup().get_mapped(); }));
  Gtk::Widget* row = List().List().get_row_at_index(0);
  int x = 0, y = 0;
  List().Popup().get_window()->get_origin(x, y);
  int row_x = 0, row_y = 0;
  row->translate_coordinates(List().Popup(), 10, 5, row_x, row_y);
  testsupport::MovePointer(x + row_x, y + row_y);
  Display* display = testsupport::DefaultXDisplay();
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XSync(display, False);
  EXPECT_TRUE(WaitForPage(form_, server_.Url("/clicked.html")));
}

TEST_F(HistoryTest, NothingIsOfferedWhileAnInputMethodComposes) {
  History()->RecordVisit(server_.Url("/kana"), "kana", HistoryStore::Now());
  History()->Flush();
  FocusBox();
  // What the input method tells the box while it shows text not yet committed.
  g_signal_emit_by_name(form_->EditURL->gobj(), "preedit-changed", "か");
  Type("kana");
  EXPECT_FALSE(List().Shown());
  g_signal_emit_by_name(form_->EditURL->gobj(), "preedit-changed", "");
  EXPECT_TRUE(List().Shown());
}

TEST_F(HistoryTest, ButtonPagesComeAfterHistoryAndAloneWithoutIt) {
  History()->RecordVisit("http://www.rakuten.co.jp/event/", "rakuten sale", HistoryStore::Now());
  History()->Flush();
  FocusBox();
  Type("rakuten");
  EXPECT_EQ(OfferedUrls(), (std::vector<std::string>{
                               "http://www.rakuten.co.jp/event/", "http://www.rakuten.co.jp/",
                               "http://books.rakuten.co.jp/RBOOKS/index.html"}));
  SetKeepHistory(false);
  server_.AddHtml("/unkept.html", Titled("unkept"));
  Open("/unkept.html");
  FocusBox();
  Type("rakuten");
  EXPECT_EQ(OfferedUrls(),
            (std::vector<std::string>{"http://www.rakuten.co.jp/",
                                      "http://books.rakuten.co.jp/RBOOKS/index.html"}));
  SetKeepHistory(true);
  EXPECT_FALSE(Kept(server_.Url("/unkept.html")));
}

TEST_F(HistoryTest, ProgramTextOffersNothing) {
  History()->RecordVisit(server_.Url("/loaded.html"), "loaded", HistoryStore::Now());
  server_.AddHtml("/loaded.html", Titled("loaded"));
  FocusBox();
  Open("/loaded.html");  // the box shows the page's address, typed by nobody
  EXPECT_FALSE(List().Shown());
}

}  // namespace
