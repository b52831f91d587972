// The browser component over a real engine view, pages served on 127.0.0.1.
#include <gtkmm/window.h>
#include <webkit2/webkit2.h>

#include "browser/cpp_web_browser.h"
#include "platform/exception.h"
#include "tests/support/gui_test.h"
#include "tests/support/http_server.h"

namespace {

struct NavigateRecord {
  std::string url;
  Variant flags, target, post, headers;
};

class AdapterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.AddHtml("/a.html", "<title>a</title>A");
    server_.AddHtml("/b.html", "<title>b</title>B");
    browser_ = Gtk::manage(new TCppWebBrowser());
    window_.add(*browser_);
    window_.set_default_size(400, 300);
    window_.show_all();
  }

  bool WaitForLoad(const std::string& url) { return ::WaitForLoad(browser_->View(), url); }

  void Navigate(const std::string& url) {
    Variant a = Variant::Omitted(), b = Variant::Omitted(), c = Variant::Omitted(),
            d = Variant::Omitted();
    browser_->Navigate(WideString::FromUtf8(url), &a, &b, &c, &d);
  }

  TestHttpServer server_;
  Gtk::Window window_;
  TCppWebBrowser* browser_ = nullptr;
};

TEST_F(AdapterTest, LocationUrlAfterALoadAndNavigateCompleteFromTheEngine) {
  std::vector<std::string> completed;
  browser_->SetOnNavigateComplete2([&](TCppWebBrowser* sender, IDispatch* pDisp, Variant* url) {
    EXPECT_EQ(sender, browser_);
    EXPECT_EQ(TCppWebBrowser::FromDispatch(pDisp), browser_);
    completed.push_back(url->bstrVal().ToUtf8());
  });
  Navigate(server_.Url("/a.html"));
  ASSERT_TRUE(WaitForLoad(server_.Url("/a.html")));
  EXPECT_EQ(completed, std::vector<std::string>{server_.Url("/a.html")});
}

TEST_F(AdapterTest, BeforeNavigate2SeesTheAddressAndCancelStopsTheLoad) {
  std::vector<std::string> asked;
  browser_->SetOnBeforeNavigate2([&](TCppWebBrowser*, IDispatch*, Variant* url, Variant*, Variant*,
                                     Variant*, Variant*, VARIANT_BOOL* cancel) {
    asked.push_back(url->bstrVal().ToUtf8());
    if (url->bstrVal().ToUtf8().ends_with("/b.html")) *cancel = VARIANT_TRUE;
  });
  Navigate(server_.Url("/a.html"));
  ASSERT_TRUE(WaitForLoad(server_.Url("/a.html")));
  Navigate(server_.Url("/b.html"));
  RunUntil([&] { return asked.size() == 2; });
  RunFor(300);
  EXPECT_EQ(asked, (std::vector<std::string>{server_.Url("/a.html"), server_.Url("/b.html")}));
  EXPECT_EQ(browser_->LocationURL().ToUtf8(), server_.Url("/a.html"));
  EXPECT_EQ(std::count(server_.Requests().begin(), server_.Requests().end(), "/b.html"), 0);
}

TEST_F(AdapterTest, EmptyAddressIsANullUrlThatTheEngineStillNavigates) {
  EXPECT_TRUE(WideString::FromUtf8("").IsNull());
  Navigate(server_.Url("/a.html"));
  ASSERT_TRUE(WaitForLoad(server_.Url("/a.html")));
  int completed = 0;
  browser_->SetOnNavigateComplete2([&](TCppWebBrowser*, IDispatch*, Variant*) { ++completed; });
  browser_->Navigate(WideString(), nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(RunUntil([&] { return completed > 0; }));
  EXPECT_EQ(browser_->LocationURL().ToUtf8(), "about:blank");
}

TEST_F(AdapterTest, BackWithNoHistoryChangesNothing) {
  Navigate(server_.Url("/a.html"));
  ASSERT_TRUE(WaitForLoad(server_.Url("/a.html")));
  int events = 0;
  browser_->SetOnNavigateComplete2([&](TCppWebBrowser*, IDispatch*, Variant*) { ++events; });
  EXPECT_EQ(browser_->GoBack(), S_OK);
  EXPECT_EQ(browser_->GoForward(), S_OK);
  RunFor(300);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(browser_->LocationURL().ToUtf8(), server_.Url("/a.html"));
}

TEST_F(AdapterTest, HistoryCommandsAndHomeAct) {
  browser_->SetHomePage(server_.Url("/b.html"));
  Navigate(server_.Url("/a.html"));
  ASSERT_TRUE(WaitForLoad(server_.Url("/a.html")));
  browser_->GoHome();
  ASSERT_TRUE(WaitForLoad(server_.Url("/b.html")));
  browser_->GoBack();
  ASSERT_TRUE(WaitForLoad(server_.Url("/a.html")));
  browser_->GoForward();
  ASSERT_TRUE(WaitForLoad(server_.Url("/b.html")));
  const auto before = server_.Requests().size();
  browser_->Refresh();
  ASSERT_TRUE(RunUntil([&] { return server_.Requests().size() > before; }));
}

TEST_F(AdapterTest, EventIdsAreLookedUpAmongTheComponentsEvents) {
  int calls = 0;
  browser_->SetOnNavigateComplete2([&](TCppWebBrowser*, IDispatch*, Variant*) { ++calls; });
  struct {
    IDispatch* pDisp;
    Variant* URL;
  } args{nullptr, nullptr};
  for (DISPID unlisted : {0, 1, 249, 273, 9999, -1}) {
    EXPECT_EQ(browser_->InvokeEvent(unlisted, &args), S_OK) << unlisted;
  }
  // Listed, but nothing bound there.
  EXPECT_EQ(browser_->InvokeEvent(DISPID_DOCUMENTCOMPLETE, &args), S_OK);
  EXPECT_EQ(calls, 0);
  Variant url = Variant::String(WideString::FromUtf8("x"));
  args.URL = &url;
  EXPECT_EQ(browser_->InvokeEvent(DISPID_NAVIGATECOMPLETE2, &args), S_OK);
  EXPECT_EQ(calls, 1);
}

TEST_F(AdapterTest, PropertiesByDispatchId) {
  IDispatch* app = browser_->Application();
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(TCppWebBrowser::FromDispatch(app), browser_);
  EXPECT_EQ(app->RefCount(), 2u);  // the component's own and the reader's
  app->Release();
  EXPECT_EQ(browser_->RegisterAsBrowser(), VARIANT_FALSE);
  browser_->SetRegisterAsBrowser(VARIANT_TRUE);
  EXPECT_EQ(browser_->RegisterAsBrowser(), VARIANT_TRUE);
  EXPECT_EQ(browser_->GetProperty(DISPID_REGISTERASBROWSER).boolVal(), -1);
  EXPECT_THROW(browser_->GetProperty(12345), EOleSysError);
  EXPECT_THROW(browser_->SetProperty(DISPID_REGISTERASBROWSER, Variant::Error(0)), EOleSysError);
}

TEST(AdapterLifetime, AutomationObjectOutlivesItsComponentSafely) {
  IDispatch* app = nullptr;
  {
    Gtk::Window window;
    auto* browser = Gtk::manage(new TCppWebBrowser());
    window.add(*browser);
    app = browser->Application();
  }
  EXPECT_EQ(TCppWebBrowser::FromDispatch(app), nullptr);
  app->Release();
}

TEST(ComponentFactory, NotCreatableRaisesThePlatformMessage) {
  struct Case {
    HRESULT code;
    const char* message;
  };
  const Case cases[] = {
      {REGDB_E_CLASSNOTREG, "クラスが登録されていません"},
      {static_cast<HRESULT>(0x8BADF00D), "OLE エラー 8badf00d"},
  };
  for (const Case& c : cases) {
    ComponentFactory previous = SetComponentFactory([&] { return c.code; });
    try {
      TCppWebBrowser browser;
      ADD_FAILURE() << "created";
    } catch (const EOleSysError& e) {
      EXPECT_EQ(e.Message(), c.message);
      EXPECT_EQ(e.ErrorCode(), c.code);
    }
    SetComponentFactory(previous);
  }
}

}  // namespace

TAVORIN_GUI_TEST_MAIN()
