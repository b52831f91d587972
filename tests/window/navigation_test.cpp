// "GO", the browser commands and the 23 shortcut buttons of a window, and the
// address box following the engine's navigations, on a real engine view. Pages
// come from the test's server; every other address is stopped at the engine's
// navigation decision, and a proxy of our own catches anything that is not.
#include <gtkmm/container.h>
#include <libsoup/soup.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "tests/support/dialog_closer.h"
#include "tests/support/navigation_support.h"

namespace {

using navtest::NavigationStopper;

// The one address each shortcut button loads. This table is the expectation:
// a changed address in a handler must fail the test.
struct Shortcut {
  const char* control;
  const char* address;
};

const Shortcut kShortcuts[] = {
    {"ButtonRefresh", "http://www.rakuten.co.jp/"},
    {"ButtonGoForward", "http://www.bidders.co.jp/aff/tvr7k2qa/10482736/FR/index.html"},
    {"ButtonGoHome", "http://www.amazon.co.jp/exec/obidos/redirect?tag=tavorin-22"},
    {"ButtonGoBack", "http://www.storemix.jp/index.php?hid=3418"},
    {"ButtonVeldaLabl", "http://www.pelloria.jp/"},
    {"ButtonFile", "http://www.tavorin.jp/software.php"},
    {"Button12", "http://www.amema.jp/?tavorin-22"},
    {"Button14", "http://www.tavorin.jp/norrvik.html"},
    {"Button11", "http://www.webtsu.jp/wps/index.php"},
    {"Button13", "http://books.rakuten.co.jp/RBOOKS/index.html"},
    {"Button15", "http://www.amanatsu.jp/?id=tavorin-22"},
    {"BitBtn6", "http://www.yahoo.co.jp/"},
    {"BitBtn7", "http://www.google.co.jp/"},
    {"Button1", "http://www.a8.net/"},
    {"Button2", "http://j-a-net.jp/"},
    {"Button3", "http://www.d-064.com/"},
    {"Button4", "http://www.valuecommerce.ne.jp/"},
    {"Button5", "http://www.accesstrade.ne.jp/index.htm"},
    {"Button6", "http://www.trafficgate.net/"},
    {"Button7", "http://www.linkshare.ne.jp/index.html"},
    {"Button8", "http://www.bannerbridge.net/"},
    {"Button9", "http://www.quenmore.jp/"},
    {"Button10", "http://www.hibarai-affiliate.jp/"},
};

// "GO" and the browser commands: every other button of the window is a shortcut.
const std::set<std::string> kCommandButtons{"ButtonOpen", "BitBtn1", "BitBtn2",
                                            "BitBtn3",    "BitBtn4", "BitBtn5"};

void CollectButtons(Gtk::Widget& w, std::vector<Gtk::Button*>& out) {
  if (auto* b = dynamic_cast<Gtk::Button*>(&w)) out.push_back(b);
  if (auto* c = dynamic_cast<Gtk::Container*>(&w)) {
    for (Gtk::Widget* child : c->get_children()) CollectButtons(*child, out);
  }
}

// What the window's BeforeNavigate2 handler was given.
struct Notice {
  std::string url;
  bool url_null = false;
  Variant flags, target, post_data, headers;
  VARIANT_BOOL cancel = VARIANT_FALSE;
};

// A server that takes requests and never answers them.
class SilentServer {
 public:
  SilentServer() {
    server_ = soup_server_new(nullptr, nullptr);
    soup_server_add_handler(
        server_, nullptr,
        [](SoupServer*, SoupServerMessage* msg, const char*, GHashTable*, gpointer count) {
          soup_server_message_pause(msg);
          ++*static_cast<int*>(count);
        },
        &asked_, nullptr);
    soup_server_listen_local(server_, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, nullptr);
    GSList* uris = soup_server_get_uris(server_);
    port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
  }
  ~SilentServer() {
    soup_server_disconnect(server_);
    g_object_unref(server_);
  }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  int asked() const { return asked_; }

 private:
  SoupServer* server_;
  int port_ = 0;
  int asked_ = 0;
};

class NavigationTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    if (HasFatalFailure()) return;
    for (const char* page :
         {"/one.html", "/two.html", "/final.html", "/frame1.html", "/frame2.html"}) {
      server_.AddHtml(page, std::string("<title>") + page + "</title>" + page);
    }
    RecordNotices();
  }
  void TearDown() override {
    FormTest::TearDown();
    EXPECT_EQ(trap_.Requests(), std::vector<std::string>{}) << "requests got past the stoppers";
  }

  // Records the notices while the window's own handler still runs, first.
  void RecordNotices() {
    TFormHTML* form = form_;
    form->CppWebBrowser1->SetOnBeforeNavigate2(
        [this, form](TCppWebBrowser* s, IDispatch* d, Variant* url, Variant* flags, Variant* target,
                     Variant* post, Variant* headers, VARIANT_BOOL* cancel) {
          form->CppWebBrowser1BeforeNavigate2(s, d, url, flags, target, post, headers, cancel);
          const std::string text = url->bstrVal().ToUtf8();
          notices_.push_back(
              {text, url->bstrVal().IsNull(), *flags, *target, *post, *headers, *cancel});
          log_.push_back("before:" + text);
        });
  }

  WebKitWebView* View() { return form_->CppWebBrowser1->View(); }
  std::string Location() {
    const gchar* uri = webkit_web_view_get_uri(View());
    return uri != nullptr ? uri : "";
  }
  std::string Box() { return form_->EditURL->get_text(); }

  // Loads `url` through the address box and "GO".
  bool Go(const std::string& url) {
    form_->EditURL->set_text(url);
    form_->ButtonOpen->clicked();
    return WaitForPage(form_, url);
  }

  long Requests(const std::string& path) {
    const auto& all = server_.Requests();
    return std::count(all.begin(), all.end(), path);
  }

  Gtk::Button* ButtonNamed(const std::string& name) {
    std::vector<Gtk::Button*> all;
    CollectButtons(*form_, all);
    for (Gtk::Button* b : all) {
      if (b->get_name() == name) return b;
    }
    return nullptr;
  }

  static void ExpectOmitted(const Notice& n) {
    for (const Variant* v : {&n.flags, &n.target, &n.post_data, &n.headers}) {
      EXPECT_EQ(v->vt(), VT_ERROR);
      EXPECT_EQ(v->scode(), DISP_E_PARAMNOTFOUND);
    }
  }

  navtest::ProxyTrap trap_;
  std::vector<Notice> notices_;
  std::vector<std::string> log_;
};

// Only pages of the test's own server may load.
bool Local(const std::string& uri) { return uri.starts_with("http://127.0.0.1:"); }

TEST_F(NavigationTest, TheTrapCatchesARequestThatNothingStops) {
  navtest::ProxyTrap own;  // a second trap, so the fixture's check stays clean
  form_->EditURL->set_text("http://trap-check.invalid/probe?x=1");
  form_->ButtonOpen->clicked();
  ASSERT_TRUE(RunUntil([&] { return !own.Requests().empty(); }));
  EXPECT_EQ(own.Requests(), std::vector<std::string>{"/probe?x=1"});
}

TEST_F(NavigationTest, TheShortcutTableCoversEveryShortcutButton) {
  std::vector<Gtk::Button*> all;
  CollectButtons(*form_, all);
  std::set<std::string> shortcuts;
  for (Gtk::Button* b : all) {
    if (!kCommandButtons.contains(b->get_name())) shortcuts.insert(b->get_name());
  }
  std::set<std::string> listed;
  for (const Shortcut& s : kShortcuts) listed.insert(s.control);
  EXPECT_EQ(shortcuts, listed);
  EXPECT_EQ(listed.size(), 23u);
}

TEST_F(NavigationTest, EachShortcutAsksTheEngineForExactlyItsAddressAndLeavesTheBox) {
  NavigationStopper stopper(View(), nullptr, &log_);
  const std::string home = Location();
  for (const Shortcut& s : kShortcuts) {
    SCOPED_TRACE(s.control);
    Gtk::Button* button = ButtonNamed(s.control);
    ASSERT_NE(button, nullptr);
    form_->EditURL->set_text("typed by hand");
    stopper.Clear();
    log_.clear();
    notices_.clear();
    button->clicked();
    ASSERT_TRUE(RunUntil([&] { return !stopper.uris().empty(); }));
    RunFor(50);
    EXPECT_EQ(stopper.uris(), std::vector<std::string>{s.address});
    // The window's own notice comes first and lets it pass; then ours stops it.
    EXPECT_EQ(log_, (std::vector<std::string>{std::string("before:") + s.address,
                                              std::string("decide:") + s.address}));
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].cancel, VARIANT_FALSE);
    ExpectOmitted(notices_[0]);
    EXPECT_EQ(Box(), "typed by hand");
  }
  EXPECT_EQ(stopper.stopped(), 23);
  RunFor(100);
  EXPECT_EQ(Location(), home);
  EXPECT_EQ(Box(), "typed by hand");
}

TEST_F(NavigationTest, RakutenAndRakutenBooksLoadDifferentPages) {
  NavigationStopper stopper(View());
  for (Gtk::Button* b : {static_cast<Gtk::Button*>(form_->ButtonRefresh),
                         static_cast<Gtk::Button*>(form_->Button13)}) {
    const std::size_t before = stopper.uris().size();
    b->clicked();
    ASSERT_TRUE(RunUntil([&] { return stopper.uris().size() > before; }));
  }
  RunFor(50);
  ASSERT_EQ(stopper.uris().size(), 2u);
  GUri* shop = g_uri_parse(stopper.uris()[0].c_str(), G_URI_FLAGS_NONE, nullptr);
  GUri* books = g_uri_parse(stopper.uris()[1].c_str(), G_URI_FLAGS_NONE, nullptr);
  ASSERT_NE(shop, nullptr);
  ASSERT_NE(books, nullptr);
  EXPECT_TRUE(std::string(g_uri_get_host(shop)).ends_with("rakuten.co.jp"));
  EXPECT_TRUE(std::string(g_uri_get_host(books)).ends_with("rakuten.co.jp"));
  EXPECT_STRNE(g_uri_get_path(shop), g_uri_get_path(books));
  g_uri_unref(shop);
  g_uri_unref(books);
}

TEST_F(NavigationTest, ARealPointerClickOnAShortcutAsksForItsAddress) {
  NavigationStopper stopper(View());
  ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
  navtest::ClickWidget(*form_->Button7);
  ASSERT_TRUE(RunUntil([&] { return !stopper.uris().empty(); }));
  RunFor(50);
  EXPECT_EQ(stopper.uris(), std::vector<std::string>{"http://www.linkshare.ne.jp/index.html"});
}

TEST_F(NavigationTest, GoPassesTheTypedAddressOnWithFourOmittedArguments) {
  const std::string japanese_path = "/日本語/ページ.html";
  gchar* escaped = g_uri_escape_string(japanese_path.c_str(), "/", FALSE);
  server_.AddHtml(escaped, "<title>ja</title>ja");
  g_free(escaped);
  NavigationStopper stopper(View(), Local);
  const std::string host_port = server_.Url("").substr(std::string("http://").size());
  // Typed text, and the address it is passed on as.
  const std::pair<std::string, std::string> texts[] = {
      {"  " + server_.Url("/one.html") + " ", server_.Url("/one.html")},
      {host_port + "/two.html", server_.Url("/two.html")},
      {server_.Url(japanese_path + "?q=検索"), server_.Url(japanese_path + "?q=検索")},
  };
  for (const auto& [text, address] : texts) {
    SCOPED_TRACE(text);
    notices_.clear();
    form_->EditURL->set_text(text);
    form_->ButtonOpen->clicked();
    ASSERT_TRUE(RunUntil([&] { return !notices_.empty(); }));
    EXPECT_EQ(notices_[0].url, address);
    EXPECT_FALSE(notices_[0].url_null);
    ExpectOmitted(notices_[0]);
    RunFor(200);
  }
  // The engine escapes the last; all three load.
  EXPECT_EQ(Requests("/one.html"), 1);
  EXPECT_EQ(Box(), Location());
  EXPECT_TRUE(Location().starts_with(server_.Url("/%E6%97%A5%E6%9C%AC%E8%AA%9E/"))) << Location();
  EXPECT_EQ(Requests("/two.html"), 1);
}

TEST_F(NavigationTest, GoWithAnEmptyBoxGivesANullAddressThatEndsOnABlankPage) {
  form_->EditURL->set_text("");
  form_->ButtonOpen->clicked();
  ASSERT_TRUE(RunUntil([&] { return Location() == "about:blank" && Box() == "about:blank"; }));
  for (const Notice& n : notices_) EXPECT_TRUE(n.url_null || n.url == "about:blank") << n.url;
}

TEST_F(NavigationTest, BackForwardRefreshAndHomeWalkTheLocalSite) {
  const std::string home = server_.Url("/home.html");
  ASSERT_TRUE(Go(server_.Url("/one.html")));
  ASSERT_TRUE(Go(server_.Url("/two.html")));
  struct Step {
    TBitBtn* TFormHTML::*button;
    std::string lands_on;
  };
  const Step steps[] = {
      {&TFormHTML::BitBtn4, server_.Url("/one.html")},
      {&TFormHTML::BitBtn4, home},
      {&TFormHTML::BitBtn2, server_.Url("/one.html")},
      {&TFormHTML::BitBtn2, server_.Url("/two.html")},
      {&TFormHTML::BitBtn1, home},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE((form_->*step.button)->get_name() + " to " + step.lands_on);
    (form_->*step.button)->clicked();
    ASSERT_TRUE(WaitForPage(form_, step.lands_on));
    EXPECT_TRUE(RunUntil([&] { return Box() == step.lands_on; }));
  }
  const long before = Requests("/home.html");
  form_->BitBtn5->clicked();
  ASSERT_TRUE(RunUntil([&] { return Requests("/home.html") == before + 1; }));
  ASSERT_TRUE(WaitForPage(form_, home));
  EXPECT_EQ(Box(), home);
}

TEST_F(NavigationTest, StopEndsALoadThatWouldNeverFinish) {
  SilentServer silent;
  server_.AddHtml("/slow.html", "<title>slow</title><img src='" + silent.Url("/never.png") + "'>");
  form_->EditURL->set_text(server_.Url("/slow.html"));
  form_->ButtonOpen->clicked();
  ASSERT_TRUE(RunUntil([&] { return Box() == server_.Url("/slow.html"); }));
  RunFor(300);
  ASSERT_TRUE(webkit_web_view_is_loading(View()));
  form_->BitBtn3->clicked();
  EXPECT_TRUE(RunUntil([&] { return !webkit_web_view_is_loading(View()); }, 3000));
  EXPECT_EQ(Box(), server_.Url("/slow.html"));
  EXPECT_EQ(Location(), server_.Url("/slow.html"));
}

TEST_F(NavigationTest, BackAndForwardInAFreshWindowShowNothingAndChangeNothing) {
  testsupport::DialogCloser closer;
  const std::string location = Location();
  const std::size_t requests = server_.Requests().size();
  form_->EditURL->set_text("typed by hand");
  form_->BitBtn4->clicked();
  form_->BitBtn2->clicked();
  RunFor(500);
  EXPECT_TRUE(closer.seen().empty());
  EXPECT_EQ(Box(), "typed by hand");
  EXPECT_EQ(Location(), location);
  EXPECT_EQ(server_.Requests().size(), requests);
  EXPECT_FALSE(webkit_web_view_is_loading(View()));
}

TEST_F(NavigationTest, TypedTextIsReplacedByTheNextLinkClickNavigation) {
  server_.AddHtml("/links.html",
                  "<a id='next' href='/two.html' style='display:block;font-size:40px'>next</a>");
  ASSERT_TRUE(Go(server_.Url("/links.html")));
  ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
  navtest::ClickWidget(*form_->EditURL);
  ASSERT_TRUE(RunUntil([&] { return form_->EditURL->has_focus(); }));
  for (guint key : {GDK_KEY_End, GDK_KEY_x, GDK_KEY_y}) {
    testsupport::FakeKey(key, true);
    testsupport::FakeKey(key, false);
  }
  ASSERT_TRUE(RunUntil([&] { return Box() == server_.Url("/links.html") + "xy"; }));
  ASSERT_TRUE(navtest::ClickElement(form_, "next"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/two.html")));
  EXPECT_TRUE(RunUntil([&] { return Box() == server_.Url("/two.html"); }));
}

TEST_F(NavigationTest, ALoadOnItsWayLeavesTheBoxAndAStoppedOneLeavesThePageReporting) {
  SilentServer silent;
  server_.AddHtml("/links.html", "<a id='away' href='" + silent.Url("/never.html") +
                                     "' style='display:block;font-size:40px'>away</a>");
  ASSERT_TRUE(Go(server_.Url("/links.html")));
  form_->EditURL->set_text("typed by hand");
  ASSERT_TRUE(navtest::ClickElement(form_, "away"));
  ASSERT_TRUE(RunUntil([&] { return silent.asked() == 1; }));
  RunFor(300);
  EXPECT_EQ(Box(), "typed by hand");
  form_->BitBtn3->clicked();
  ASSERT_TRUE(RunUntil([&] { return !webkit_web_view_is_loading(View()); }));
  RunFor(100);
  EXPECT_EQ(Box(), "typed by hand");
  EXPECT_EQ(Location(), server_.Url("/links.html"));
  // The page is still the one that reports its own address changes.
  RunScript(View(), "location.hash = 'after'");
  EXPECT_TRUE(RunUntil([&] { return Box() == server_.Url("/links.html#after"); }));
}

TEST_F(NavigationTest, AServerRedirectShowsTheFinalAddress) {
  TestHttpServer::Page moved;
  moved.status = 302;
  moved.location = "/final.html";
  server_.Add("/moved", moved);
  std::vector<std::string> shown;
  form_->EditURL->signal_changed().connect([&] { shown.push_back(Box()); });
  form_->EditURL->set_text(server_.Url("/moved"));
  shown.clear();
  form_->ButtonOpen->clicked();
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/final.html")));
  EXPECT_EQ(Box(), server_.Url("/final.html"));
  EXPECT_EQ(std::count(shown.begin(), shown.end(), server_.Url("/moved")), 0);
  EXPECT_EQ(Requests("/moved"), 1);
}

TEST_F(NavigationTest, AFrameNavigatingKeepsTheTopPageInTheBox) {
  server_.AddHtml("/framed.html", "<iframe id='f' src='/frame1.html'></iframe>");
  ASSERT_TRUE(Go(server_.Url("/framed.html")));
  ASSERT_EQ(Requests("/frame1.html"), 1);
  RunScript(View(), "document.getElementById('f').contentWindow.location = '/frame2.html'");
  ASSERT_TRUE(RunUntil([&] {
    return RunScript(View(), "document.getElementById('f').contentDocument.title") ==
           "/frame2.html";
  }));
  RunFor(200);
  EXPECT_EQ(Box(), server_.Url("/framed.html"));
  EXPECT_EQ(Location(), server_.Url("/framed.html"));
}

TEST_F(NavigationTest, SameDocumentChangesReplaceTheBox) {
  ASSERT_TRUE(Go(server_.Url("/one.html")));
  struct Change {
    const char* script;
    std::string shows;
  };
  const Change changes[] = {
      {"history.pushState({}, '', '/pushed.html')", server_.Url("/pushed.html")},
      {"location.hash = 'part'", server_.Url("/pushed.html#part")},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.script);
    form_->EditURL->set_text("typed by hand");
    RunScript(View(), c.script);
    EXPECT_TRUE(RunUntil([&] { return Box() == c.shows; }));
  }
  EXPECT_EQ(Requests("/pushed.html"), 0);
}

}  // namespace

TAVORIN_GUI_TEST_MAIN()
