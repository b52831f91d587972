// Pages that ask for a new window, clicked with the real pointer: secondary
// windows, where they open, what they load and what their buttons act on.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/handover_message.h"
#include "app/startup.h"
#include "tests/support/dialog_closer.h"
#include "tests/support/navigation_support.h"
#include "window/notice_bar.h"
#include "window/window_limit.h"

namespace {

using navtest::NavigationStopper;
using Point = std::pair<int, int>;

constexpr char kLinks[] = R"html(
<a id="blank" href="/opened.html" target="_blank"
   style="display:block;width:300px;height:40px">new window</a>
<button id="pop" onclick="window.open('/popped.html')"
   style="display:block;width:300px;height:40px">window.open</button>)html";

// Where the window really is on the screen.
Point OnScreen(Gtk::Window* window) {
  int x = -1, y = -1;
  gdk_window_get_root_origin(window->get_window()->gobj(), &x, &y);
  return {x, y};
}

Point Plus20(Point p) { return {p.first + 20, p.second + 20}; }

class NewWindowTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    if (HasFatalFailure()) return;
    server_.AddHtml("/opener.html", std::string("<title>opener page</title>") + kLinks);
    server_.AddHtml("/opened.html", std::string("<title>opened</title>") + kLinks);
    server_.AddHtml("/popped.html",
                    "<script>document.title = window.opener ? 'opener: ' + "
                    "window.opener.document.title : 'no opener';</script>");
    server_.AddHtml("/two.html", "<title>two</title>two");
    form_->EditURL->set_text(server_.Url("/opener.html"));
    form_->ButtonOpen->clicked();
    ASSERT_TRUE(WaitForPage(form_, server_.Url("/opener.html")));
  }
  void TearDown() override {
    FormTest::TearDown();
    EXPECT_EQ(trap_.Requests(), std::vector<std::string>{}) << "requests left the machine";
  }

  // Clicks the element `id` in `form`'s page; the window that this opened.
  TFormHTML* OpenFrom(TFormHTML* form, const std::string& id) {
    const std::size_t before = Application->Forms().size();
    if (!navtest::ClickElement(form, id)) return nullptr;
    if (!RunUntil([&] { return Application->Forms().size() == before + 1; })) return nullptr;
    return dynamic_cast<TFormHTML*>(Application->Forms().back());
  }

  // Waits for `window` to be shown at `where`.
  static bool ShownAt(Gtk::Window* window, Point where) {
    return RunUntil([&] { return window->get_mapped() && OnScreen(window) == where; }, 3000);
  }

  std::string Location(TFormHTML* form) {
    const gchar* uri = webkit_web_view_get_uri(form->CppWebBrowser1->View());
    return uri != nullptr ? uri : "";
  }

  navtest::ProxyTrap trap_;
};

TEST_F(NewWindowTest, ATargetBlankLinkOpensItsPageInAWindow20PixelsFromTheMainOne) {
  EXPECT_EQ(form_->CppWebBrowser1->RegisterAsBrowser(), VARIANT_FALSE);
  TFormHTML* second = OpenFrom(form_, "blank");
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, FormHTML);
  EXPECT_TRUE(ShownAt(second, Plus20(OnScreen(form_))));
  ASSERT_TRUE(WaitForPage(second, server_.Url("/opened.html")));
  RunFor(300);  // the home page that the new window started with must not win
  EXPECT_EQ(Location(second), server_.Url("/opened.html"));
  EXPECT_EQ(second->EditURL->get_text(), server_.Url("/opened.html"));
  EXPECT_EQ(form_->CppWebBrowser1->RegisterAsBrowser(), VARIANT_TRUE);
  EXPECT_EQ(second->CppWebBrowser1->RegisterAsBrowser(), VARIANT_FALSE);
  EXPECT_EQ(Location(form_), server_.Url("/opener.html"));
  EXPECT_EQ(form_->EditURL->get_text(), server_.Url("/opener.html"));
}

TEST_F(NewWindowTest, WindowOpenFromAClickLoadsAPageThatReadsItsOpener) {
  TFormHTML* second = OpenFrom(form_, "pop");
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(ShownAt(second, Plus20(OnScreen(form_))));
  ASSERT_TRUE(WaitForPage(second, server_.Url("/popped.html")));
  WebKitWebView* view = second->CppWebBrowser1->View();
  EXPECT_TRUE(RunUntil([&] {
    const gchar* title = webkit_web_view_get_title(view);
    return title != nullptr && std::string(title) == "opener: opener page";
  })) << webkit_web_view_get_title(view);
  EXPECT_EQ(second->EditURL->get_text(), server_.Url("/popped.html"));
  EXPECT_EQ(form_->CppWebBrowser1->RegisterAsBrowser(), VARIANT_TRUE);
}

TEST_F(NewWindowTest, AWindowOpenedFromASecondaryOneLandsAtTheSamePlace) {
  TFormHTML* second = OpenFrom(form_, "blank");
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(WaitForPage(second, server_.Url("/opened.html")));
  ASSERT_TRUE(ShownAt(second, Plus20(OnScreen(form_))));
  TFormHTML* third = OpenFrom(second, "blank");
  ASSERT_NE(third, nullptr);
  EXPECT_NE(third, second);
  EXPECT_TRUE(ShownAt(third, Plus20(OnScreen(form_))));
  ASSERT_TRUE(WaitForPage(third, server_.Url("/opened.html")));
  EXPECT_EQ(second->CppWebBrowser1->RegisterAsBrowser(), VARIANT_TRUE);
  EXPECT_EQ(third->CppWebBrowser1->RegisterAsBrowser(), VARIANT_FALSE);
}

TEST_F(NewWindowTest, AfterTheMainWindowMovesTheNextOneOpens20PixelsFromItsNewPlace) {
  TFormHTML* second = OpenFrom(form_, "blank");
  ASSERT_NE(second, nullptr);
  const Point first_place = Plus20(OnScreen(form_));
  ASSERT_TRUE(ShownAt(second, first_place));
  form_->move(150, 100);
  ASSERT_TRUE(ShownAt(form_, {150, 100}));
  TFormHTML* third = OpenFrom(form_, "blank");
  ASSERT_NE(third, nullptr);
  EXPECT_TRUE(ShownAt(third, {170, 120}));
  EXPECT_EQ(OnScreen(second), first_place);
}

// Closed with its close button, a window is kept hidden, but its page is
// left: its timer stops, and the page that opened it loads nothing there.
TEST_F(NewWindowTest, ClosingASecondaryWindowHidesItAndLeavesItsPage) {
  server_.AddHtml("/keeper.html",
                  "<button id=keep onclick=\"w = window.open('/pinging.html')\" "
                  "style='display:block;width:300px;height:40px'>open</button>");
  server_.AddHtml("/pinging.html",
                  "<title>pinging</title><script>setInterval(() => fetch('/ping'), 50)</script>");
  form_->NavigateTo(server_.Url("/keeper.html"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/keeper.html")));
  TFormHTML* second = OpenFrom(form_, "keep");
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(WaitForPage(second, server_.Url("/pinging.html")));
  const auto& asked = server_.Requests();
  auto pings = [&] { return std::count(asked.begin(), asked.end(), "/ping"); };
  ASSERT_TRUE(RunUntil([&] { return pings() >= 2; }));

  testsupport::AskToClose(GDK_WINDOW_XID(second->get_window()->gobj()));
  ASSERT_TRUE(RunUntil([&] { return !second->get_visible(); }));
  EXPECT_TRUE(RunUntil([&] { return Location(second) == "about:blank"; })) << Location(second);
  RunFor(200);
  const auto after_close = pings();
  ASSERT_TRUE(RunScript(form_->CppWebBrowser1->View(), "w.location = '/pinging.html?again'; 1"));
  RunFor(1000);
  EXPECT_EQ(pings(), after_close);
  EXPECT_EQ(std::count(asked.begin(), asked.end(), "/pinging.html?again"), 0);
  EXPECT_EQ(Location(second), "about:blank");
  EXPECT_EQ(Application->Forms().size(), 2u);
  EXPECT_EQ(Application->Forms().back(), second);
  EXPECT_FALSE(Application->Terminated());
  EXPECT_TRUE(form_->get_visible());
}

TEST_F(NewWindowTest, ASecondaryWindowsButtonsActOnItsOwnComponent) {
  TFormHTML* second = OpenFrom(form_, "blank");
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(WaitForPage(second, server_.Url("/opened.html")));
  auto local = [](const std::string& uri) { return uri.starts_with("http://127.0.0.1:"); };
  NavigationStopper main_stopper(form_->CppWebBrowser1->View(), local);
  NavigationStopper second_stopper(second->CppWebBrowser1->View(), local);
  second->Button9->clicked();
  ASSERT_TRUE(RunUntil([&] { return !second_stopper.uris().empty(); }));
  EXPECT_EQ(second_stopper.uris(), std::vector<std::string>{"http://www.quenmore.jp/"});
  second->EditURL->set_text(server_.Url("/two.html"));
  second->ButtonOpen->clicked();
  ASSERT_TRUE(WaitForPage(second, server_.Url("/two.html")));
  second->BitBtn4->clicked();
  ASSERT_TRUE(WaitForPage(second, server_.Url("/opened.html")));
  EXPECT_TRUE(RunUntil([&] { return second->EditURL->get_text() == server_.Url("/opened.html"); }));
  RunFor(100);
  EXPECT_TRUE(main_stopper.uris().empty());
  EXPECT_EQ(Location(form_), server_.Url("/opener.html"));
  EXPECT_EQ(form_->EditURL->get_text(), server_.Url("/opener.html"));
}

TEST_F(NewWindowTest, AWindowThatCannotBeBuiltIsReportedAndNothingIsHandedBack) {
  testsupport::DialogCloser closer;
  ComponentFactory previous = SetComponentFactory([] { return REGDB_E_CLASSNOTREG; });
  const bool clicked = navtest::ClickElement(form_, "blank");
  const bool shown = RunUntil([&] { return !closer.seen().empty(); });
  SetComponentFactory(previous);
  ASSERT_TRUE(clicked);
  ASSERT_TRUE(shown);
  RunFor(300);
  ASSERT_EQ(closer.seen().size(), 1u);
  EXPECT_EQ(closer.seen()[0].title, "Tavorin");
  EXPECT_EQ(closer.seen()[0].text, "クラスが登録されていません.");
  EXPECT_EQ(Application->Forms().size(), 1u);
  EXPECT_EQ(form_->CppWebBrowser1->RegisterAsBrowser(), VARIANT_FALSE);
  EXPECT_EQ(Location(form_), server_.Url("/opener.html"));
  // The program goes on: the next request is answered.
  TFormHTML* second = OpenFrom(form_, "blank");
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(WaitForPage(second, server_.Url("/opened.html")));
}

// Shown windows with no page, far from the browser windows: they bring the
// program to `count` windows cheaply.
void FillUpTo(std::size_t count) {
  while (Application->Forms().size() < count) {
    auto* form = new TForm(Application);
    form->set_default_size(10, 10);
    form->move(2400, 1900);
    form->show();
  }
}

// What the notice strip over `form`'s page says; empty when none shows.
std::string Notice(TFormHTML* form) {
  for (Gtk::Widget* child : form->CppWebBrowser1->get_children()) {
    auto* bar = dynamic_cast<TNoticeBar*>(child);
    if (bar != nullptr && bar->get_visible()) return bar->get_accessible()->get_name();
  }
  return "";
}

TEST_F(NewWindowTest, AtTheWindowLimitAPageGetsNoWindowAndTheUserIsToldWhy) {
  for (const char* id : {"blank", "pop"}) {
    SCOPED_TRACE(id);
    FillUpTo(kMaxWindows);
    ASSERT_TRUE(navtest::ClickElement(form_, id));
    ASSERT_TRUE(RunUntil([&] { return !Notice(form_).empty(); }));
    RunFor(300);
    EXPECT_EQ(Notice(form_), WindowLimitNotice());
    EXPECT_EQ(Application->Forms().size(), kMaxWindows);
    EXPECT_EQ(Location(form_), server_.Url("/opener.html"));
    Application->Forms().back()->hide();  // as the user closes it: room for one
    ASSERT_TRUE(navtest::ClickElement(form_, id));
    TFormHTML* opened = nullptr;
    ASSERT_TRUE(RunUntil([&] {
      opened = dynamic_cast<TFormHTML*>(Application->Forms().back());
      return opened != nullptr && opened != form_;
    }));
    EXPECT_EQ(Application->Forms().size(), kMaxWindows);
    EXPECT_TRUE(WaitForPage(
        opened, server_.Url(id == std::string("pop") ? "/popped.html" : "/opened.html")));
    delete opened;
  }
  // A browser window the user closed goes for good when room is needed.
  FillUpTo(kMaxWindows - 1);
  TFormHTML* closed = OpenFrom(form_, "blank");
  ASSERT_NE(closed, nullptr);
  ASSERT_TRUE(WaitForPage(closed, server_.Url("/opened.html")));
  gtk_window_close(closed->gobj());
  ASSERT_TRUE(RunUntil([&] { return !closed->get_visible(); }));
  ASSERT_TRUE(navtest::ClickElement(form_, "blank"));
  EXPECT_TRUE(RunUntil([&] {
    const auto& forms = Application->Forms();
    return std::find(forms.begin(), forms.end(), closed) == forms.end() &&
           dynamic_cast<TFormHTML*>(forms.back()) != nullptr && forms.back() != form_;
  }));
  EXPECT_EQ(Application->Forms().size(), kMaxWindows);
}

TEST_F(NewWindowTest, AHandOverPastTheLimitOpensWhatFitsAndSaysWhatItLeft) {
  FillUpTo(kMaxWindows - 3);
  THandOver handover;
  for (int i = 0; i < 5; ++i)
    handover.addresses.push_back(server_.Url("/two.html#" + std::to_string(i)));
  OpenWindows(handover);
  ASSERT_EQ(Application->Forms().size(), kMaxWindows);
  auto* newest = dynamic_cast<TFormHTML*>(Application->Forms().back());
  ASSERT_NE(newest, nullptr);
  EXPECT_TRUE(WaitForPage(newest, server_.Url("/two.html#2")));
  EXPECT_EQ(Notice(newest),
            "開いているウィンドウが上限の 50 個に達したため、2 個のアドレスは開きませんでした。"
            "ウィンドウを閉じてから開き直してください。");
  EXPECT_EQ(Notice(form_), "");
  // With no room at all, the main window says so and nothing opens.
  OpenWindows(THandOver{"", {server_.Url("/two.html")}, 0});
  EXPECT_EQ(Application->Forms().size(), kMaxWindows);
  EXPECT_NE(Notice(form_).find("1 個のアドレスは開きませんでした"), std::string::npos);
}

}  // namespace

TAVORIN_GUI_TEST_MAIN()
