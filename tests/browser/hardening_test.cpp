// What a hostile or broken page, and a bad address, can do to a window.
#include <gtkmm/window.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/navigation_support.h"

namespace {

// The page's text, or "" while it cannot be read.
std::string PageText(TFormHTML* form) {
  return RunScript(form->CppWebBrowser1->View(), "document.body ? document.body.innerText : ''")
      .value_or("");
}

bool ShowsText(TFormHTML* form, const std::string& text, int timeout_ms = 10000) {
  return RunUntil([&] { return PageText(form).find(text) != std::string::npos; }, timeout_ms);
}

std::string Location(TFormHTML* form) {
  const gchar* uri = webkit_web_view_get_uri(form->CppWebBrowser1->View());
  return uri != nullptr ? uri : "";
}

long Count(const std::vector<std::string>& requests, const std::string& path) {
  return std::count(requests.begin(), requests.end(), path);
}

// A part of the window's script dialog strip, by name.
Gtk::Widget* Part(Gtk::Widget* root, const std::string& name) {
  if (root->get_name() == name) return root;
  auto* container = dynamic_cast<Gtk::Container*>(root);
  if (container == nullptr || WEBKIT_IS_WEB_VIEW(root->gobj())) return nullptr;
  for (Gtk::Widget* child : container->get_children()) {
    if (Gtk::Widget* found = Part(child, name)) return found;
  }
  return nullptr;
}

// The strip is made for the first dialog of a window.
Gtk::Widget& Part(TFormHTML* form, const std::string& name) {
  Gtk::Widget* found = Part(form->CppWebBrowser1, name);
  if (found == nullptr) throw std::runtime_error("no " + name);
  return *found;
}

bool DialogVisible(TFormHTML* form) {
  Gtk::Widget* bar = Part(form->CppWebBrowser1, "ScriptDialog");
  return bar != nullptr && bar->is_visible();
}

// Waits for the window's dialog strip to show `message`.
bool DialogShows(TFormHTML* form, const std::string& message) {
  return RunUntil([&] {
    return DialogVisible(form) &&
           dynamic_cast<Gtk::Label&>(Part(form, "ScriptDialogMessage")).get_text() == message;
  });
}

// A real click on a part of the strip, once it is on the screen, in a window
// on top of the others.
bool ClickPart(TFormHTML* form, const std::string& name) {
  Gtk::Widget& part = Part(form, name);
  if (!RunUntil([&] { return part.get_mapped() && part.get_allocated_width() > 1; })) return false;
  if (!testsupport::FocusWindow(form->gobj())) return false;
  RunFor(50);
  navtest::ClickWidget(part);
  return true;
}

std::string Title(TFormHTML* form) {
  const gchar* title = webkit_web_view_get_title(form->CppWebBrowser1->View());
  return title != nullptr ? title : "";
}

constexpr char kCrashNotice[] = "このページはクラッシュしました";
constexpr char kHungNotice[] = "このページは応答しなくなりました";

class HardeningTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    server_.AddHtml("/a.html", "<title>a</title><p id=p>page A</p>");
    server_.AddHtml("/b.html", "<title>b</title>page B");
    server_.AddHtml("/hang.html", "<title>hang</title>hanging<script>while (true) {}</script>");
  }

  void Go(TFormHTML* form, const std::string& address) {
    form->EditURL->set_text(address);
    form->ButtonOpen->clicked();
  }

  // "GO" to `address` with a real click; whether the button saw the click.
  bool ClickGo(TFormHTML* form, const std::string& address) {
    form->EditURL->set_text(address);
    int clicks = 0;
    if (!testsupport::FocusWindow(form->gobj())) return false;
    sigc::connection counter = form->ButtonOpen->signal_clicked().connect([&] { ++clicks; });
    navtest::ClickWidget(*form->ButtonOpen);
    const bool seen = RunUntil([&] { return clicks == 1; }, 3000);
    counter.disconnect();
    return seen;
  }

  // A second window of the program, showing page B.
  TFormHTML* OtherWindowOnB() {
    auto* other = new TFormHTML(Application);
    other->show();
    if (!WaitForPage(other, server_.Url("/home.html"))) return nullptr;
    Go(other, server_.Url("/b.html"));
    return WaitForPage(other, server_.Url("/b.html")) ? other : nullptr;
  }

  WebKitWebView* View() { return form_->CppWebBrowser1->View(); }
};

TEST_F(HardeningTest, HiddenSecondaryWindowIsMuted) {
  auto* other = new TFormHTML(Application);
  other->show();
  ASSERT_TRUE(WaitForPage(other, server_.Url("/home.html")));
  EXPECT_FALSE(webkit_web_view_get_is_muted(other->CppWebBrowser1->View()));
  gtk_window_close(other->gobj());
  ASSERT_TRUE(RunUntil([&] { return !other->get_visible(); }));
  EXPECT_TRUE(webkit_web_view_get_is_muted(other->CppWebBrowser1->View()));
  EXPECT_EQ(other->EditURL->get_text(), server_.Url("/home.html"));  // its page is kept
  EXPECT_FALSE(webkit_web_view_get_is_muted(form_->CppWebBrowser1->View()));
}

TEST_F(HardeningTest, AddressBoxShowsLoadProgressAndClearsItAfterwards) {
  std::string big(400000, 'x');
  server_.AddHtml("/big.html", "<p>" + big + "</p><img src=/missing.png>");
  double highest = 0;
  form_->EditURL->property_progress_fraction().signal_changed().connect(
      [&] { highest = std::max(highest, form_->EditURL->get_progress_fraction()); });
  Go(form_, server_.Url("/big.html"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/big.html")));
  RunFor(100);
  EXPECT_GT(highest, 0.0);
  EXPECT_EQ(form_->EditURL->get_progress_fraction(), 0.0);
  EXPECT_EQ(form_->EditURL->get_text(), server_.Url("/big.html"));
  // A failed load clears it too.
  Go(form_, "http://127.0.0.1:1/refused");
  ASSERT_TRUE(RunUntil([&] { return !webkit_web_view_is_loading(form_->CppWebBrowser1->View()); }));
  RunFor(100);
  EXPECT_EQ(form_->EditURL->get_progress_fraction(), 0.0);
}

TEST_F(HardeningTest, BadAddressesNeitherCrashNorHangNorSpoilTheWindow) {
  const std::string inputs[] = {
      "",
      "     ",
      std::string(100000, 'a'),
      "http://127.0.0.1/\x01\x02\x1b[31m\x7f",
      "http://127.0.0.1/%zz%%%G0%",
      "javascript:void(document.title = document.cookie)",
      "data:text/html,<p>inline</p>",
      "file:///etc/passwd",
      "unknown-scheme://whatever",
      "http://127.0.0.1:1/パス?検索=値",
      "日本語の文字だけ",
      "ftp://127.0.0.1:1/",
      "http://[::1",
  };
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input.substr(0, 40));
    Go(form_, input);
    RunFor(200);
    form_->BitBtn3->clicked();  // Stop
    Go(form_, server_.Url("/b.html"));
    WebKitWebView* view = form_->CppWebBrowser1->View();
    ASSERT_TRUE(WaitForPage(form_, server_.Url("/b.html")))
        << "shows " << (webkit_web_view_get_uri(view) ? webkit_web_view_get_uri(view) : "nothing")
        << (webkit_web_view_is_loading(view) ? ", still loading" : "");
    EXPECT_EQ(form_->EditURL->get_text(), server_.Url("/b.html"));
    Go(form_, server_.Url("/a.html"));
    ASSERT_TRUE(WaitForPage(form_, server_.Url("/a.html")));
  }
}

TEST_F(HardeningTest, PageThatReloadsForeverLeavesTheWindowUsable) {
  server_.AddHtml("/loop.html", "<script>location.reload()</script>loop");
  Go(form_, server_.Url("/loop.html"));
  RunFor(1500);
  Go(form_, server_.Url("/b.html"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/b.html")));
  const auto requests = server_.Requests().size();
  RunFor(300);
  EXPECT_LE(server_.Requests().size(), requests + 1);  // the loop stopped with its page
}

TEST_F(HardeningTest, ACrashedPageSaysSoKeepsItsAddressAndComesBack) {
  struct Way {
    const char* name;
    bool at_once;  // before the notice has shown
    void (*press)(TFormHTML*);
  };
  const Way ways[] = {
      {"refresh", false, [](TFormHTML* f) { f->BitBtn5->clicked(); }},
      {"GO", false, [](TFormHTML* f) { f->ButtonOpen->clicked(); }},
      {"refresh at once", true, [](TFormHTML* f) { f->BitBtn5->clicked(); }},
  };
  TFormHTML* other = OtherWindowOnB();
  ASSERT_NE(other, nullptr);
  const std::string a = server_.Url("/a.html");
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    Go(form_, a);
    ASSERT_TRUE(WaitForPage(form_, a));
    const long loads = Count(server_.Requests(), "/a.html");
    webkit_web_view_terminate_web_process(View());
    if (!way.at_once) {
      ASSERT_TRUE(ShowsText(form_, kCrashNotice));
      EXPECT_EQ(form_->EditURL->get_text(), a);
      EXPECT_TRUE(form_->get_visible());
    }
    way.press(form_);
    ASSERT_TRUE(ShowsText(form_, "page A"));
    EXPECT_EQ(Count(server_.Requests(), "/a.html"), loads + 1);
    EXPECT_EQ(form_->EditURL->get_text(), a);
    RunFor(300);  // no notice comes late over the page
    EXPECT_EQ(PageText(form_), "page A");
  }
  EXPECT_EQ(PageText(other), "page B");
  EXPECT_EQ(other->EditURL->get_text(), server_.Url("/b.html"));
  EXPECT_EQ(Application->Forms().size(), 2u);
}

TEST_F(HardeningTest, APageWhoseScriptNeverReturnsIsEndedWhenTheUserGoesElsewhere) {
  const std::string hangs[] = {server_.Url("/hang.html"),
                               "data:text/html,hanging<script>while (true) {}</script>"};
  for (const std::string& hang : hangs) {
    SCOPED_TRACE(hang);
    Go(form_, hang);
    ASSERT_TRUE(RunUntil([&] { return Location(form_) == hang; }));
    RunFor(300);  // into the endless loop
    ASSERT_TRUE(ClickGo(form_, server_.Url("/b.html")));
    ASSERT_TRUE(WaitForLoad(View(), server_.Url("/b.html"), 15000));
    EXPECT_TRUE(ShowsText(form_, "page B"));
    EXPECT_EQ(form_->EditURL->get_text(), server_.Url("/b.html"));
  }
}

TEST_F(HardeningTest, APageThatStaysUnresponsiveIsEndedAndSaysSo) {
  const std::string hang = server_.Url("/hang.html");
  Go(form_, hang);
  ASSERT_TRUE(RunUntil([&] { return Location(form_) == hang; }));
  RunFor(300);
  // The engine finds a page unresponsive only when it asks it something, as
  // with a key typed into it (a click is not timed).
  ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
  gtk_widget_grab_focus(GTK_WIDGET(View()));
  testsupport::FakeKey(GDK_KEY_a, true);
  testsupport::FakeKey(GDK_KEY_a, false);
  ASSERT_TRUE(RunUntil([&] { return !webkit_web_view_get_is_web_process_responsive(View()); }));
  ASSERT_TRUE(ShowsText(form_, kHungNotice, 15000));
  EXPECT_EQ(form_->EditURL->get_text(), hang);
  Go(form_, server_.Url("/b.html"));
  EXPECT_TRUE(WaitForPage(form_, server_.Url("/b.html")));
}

TEST_F(HardeningTest, AnAlertLoopShowsOneDialogAtATimeAndGoingElsewhereEndsIt) {
  server_.AddHtml("/alerts.html", "<script>for (let n = 0; ; n++) alert(n)</script>");
  Go(form_, server_.Url("/alerts.html"));
  ASSERT_TRUE(DialogShows(form_, "0"));
  EXPECT_FALSE(Part(form_, "ScriptDialogBlock").get_visible());
  ASSERT_TRUE(ClickPart(form_, "ScriptDialogOK"));
  ASSERT_TRUE(DialogShows(form_, "1"));
  EXPECT_TRUE(Part(form_, "ScriptDialogBlock").get_visible());  // one of a run
  int shown = 0;
  Part(form_, "ScriptDialog").signal_show().connect([&] { ++shown; });
  ASSERT_TRUE(ClickGo(form_, server_.Url("/b.html")));
  ASSERT_TRUE(WaitForLoad(View(), server_.Url("/b.html"), 15000));
  EXPECT_TRUE(ShowsText(form_, "page B"));
  EXPECT_EQ(shown, 0);  // the page's next alert did not come in the way
  EXPECT_FALSE(DialogVisible(form_));
}

TEST_F(HardeningTest, ScriptDialogsAreAnsweredFromTheStripAboveThePage) {
  struct Case {
    const char* script;
    const char* message;
    const char* typed;  // null: the page's default text stays
    const char* button;
    const char* result;
  };
  const Case cases[] = {
      {"alert('お知らせ')", "お知らせ", nullptr, "ScriptDialogOK", "[undefined]"},
      {"confirm('よろしいですか')", "よろしいですか", nullptr, "ScriptDialogOK", "[true]"},
      {"confirm('よろしいですか')", "よろしいですか", nullptr, "ScriptDialogCancel", "[false]"},
      {"prompt('お名前', '既定')", "お名前", nullptr, "ScriptDialogOK", "[既定]"},
      {"prompt('お名前', '既定')", "お名前", "入力した名前", "ScriptDialogOK", "[入力した名前]"},
      {"prompt('お名前', '既定')", "お名前", "入力した名前", "ScriptDialogCancel", "[null]"},
      {"prompt('お名前')", "お名前", nullptr, "ScriptDialogOK", "[]"},
  };
  int page = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.script) + " " + c.button);
    const std::string path = "/ask" + std::to_string(++page) + ".html";
    server_.AddHtml(path,
                    std::string("<script>document.title = '[' + ") + c.script + " + ']'</script>");
    Go(form_, server_.Url(path));
    ASSERT_TRUE(DialogShows(form_, c.message));
    const bool alert = std::string(c.script).starts_with("alert");
    EXPECT_EQ(Part(form_, "ScriptDialogCancel").get_visible(), !alert);
    auto& entry = dynamic_cast<Gtk::Entry&>(Part(form_, "ScriptDialogEntry"));
    EXPECT_EQ(entry.get_visible(), std::string(c.script).starts_with("prompt"));
    if (c.typed != nullptr) entry.set_text(c.typed);
    ASSERT_TRUE(ClickPart(form_, c.button));
    EXPECT_TRUE(RunUntil([&] { return Title(form_) == c.result; })) << Title(form_);
    EXPECT_FALSE(DialogVisible(form_));
  }
}

TEST_F(HardeningTest, BlockingAPagesDialogsLetsItsScriptRunOnUntilTheNextPage) {
  server_.AddHtml(
      "/many.html",
      "<script>for (let i = 0; i < 100; i++) alert(i); document.title = 'done'</script>");
  server_.AddHtml("/one.html", "<script>alert('again')</script>");
  Go(form_, server_.Url("/many.html"));
  ASSERT_TRUE(DialogShows(form_, "0"));
  ASSERT_TRUE(ClickPart(form_, "ScriptDialogOK"));
  ASSERT_TRUE(DialogShows(form_, "1"));
  ASSERT_TRUE(ClickPart(form_, "ScriptDialogBlock"));
  EXPECT_TRUE(RunUntil([&] { return Title(form_) == "done"; }));
  EXPECT_FALSE(DialogVisible(form_));
  Go(form_, server_.Url("/one.html"));
  EXPECT_TRUE(DialogShows(form_, "again"));
  EXPECT_FALSE(Part(form_, "ScriptDialogBlock").get_visible());
}

TEST_F(HardeningTest, AHugeDialogMessageLeavesMostOfThePageInSight) {
  server_.AddHtml("/long.html", "<script>alert('とても長いお知らせ '.repeat(20000))</script>");
  Go(form_, server_.Url("/long.html"));
  ASSERT_TRUE(RunUntil([&] { return DialogVisible(form_); }));
  Gtk::Widget& bar = Part(form_, "ScriptDialog");
  ASSERT_TRUE(RunUntil([&] { return bar.get_mapped(); }));
  RunFor(200);  // laid out
  EXPECT_LT(bar.get_allocated_height() * 2, form_->CppWebBrowser1->get_allocated_height());
}

TEST_F(HardeningTest, APageCannotKeepTheUserWithABeforeUnloadQuestion) {
  server_.AddHtml("/stay.html", R"html(<title>stay</title>
<script>onbeforeunload = e => { e.preventDefault(); return e.returnValue = 'stay'; };</script>
<a id="next" href="/b.html" style="display:block;width:300px;height:40px">next</a>)html");
  Go(form_, server_.Url("/stay.html"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/stay.html")));
  ASSERT_TRUE(navtest::ClickElement(form_, "next"));
  EXPECT_TRUE(WaitForPage(form_, server_.Url("/b.html")));
  EXPECT_FALSE(DialogVisible(form_));
}

TEST_F(HardeningTest, AClickThatOpensFiftyWindowsOpensOne) {
  server_.AddHtml("/flood.html", R"html(<title>flood</title>
<a id="go" href="#" style="display:block;width:300px;height:40px"
   onclick="let n = 0; for (let i = 0; i < 50; i++) if (window.open('/a.html?' + i)) n++;
            document.title = 'opened ' + n; return false">open</a>)html");
  Go(form_, server_.Url("/flood.html"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/flood.html")));
  for (std::size_t windows = 2; windows <= 3; ++windows) {
    SCOPED_TRACE(windows);
    ASSERT_TRUE(navtest::ClickElement(form_, "go"));
    ASSERT_TRUE(RunUntil([&] { return Title(form_) == "opened 1"; })) << Title(form_);
    ASSERT_TRUE(RunUntil([&] { return Application->Forms().size() == windows; }));
    RunFor(300);
    EXPECT_EQ(Application->Forms().size(), windows);
    auto* opened = dynamic_cast<TFormHTML*>(Application->Forms().back());
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(WaitForPage(opened, server_.Url("/a.html?0")));
    RunScript(View(), "document.title = 'flood'");
  }
  auto* opened = dynamic_cast<TFormHTML*>(Application->Forms().back());
  Go(opened, server_.Url("/b.html"));
  EXPECT_TRUE(WaitForPage(opened, server_.Url("/b.html")));
  ASSERT_TRUE(ClickGo(form_, server_.Url("/b.html")));
  EXPECT_TRUE(WaitForPage(form_, server_.Url("/b.html")));
}

TEST(Tls, SelfSignedCertificateIsRefusedAndNothingOfThePageShows) {
  GError* error = nullptr;
  GTlsCertificate* cert = g_tls_certificate_new_from_file(TAVORIN_TEST_CERT, &error);
  ASSERT_NE(cert, nullptr) << (error ? error->message : "");
  SoupServer* server = soup_server_new("tls-certificate", cert, nullptr);
  int requests = 0;
  soup_server_add_handler(
      server, nullptr,
      [](SoupServer*, SoupServerMessage* msg, const char*, GHashTable*, gpointer data) {
        ++*static_cast<int*>(data);
        soup_server_message_set_status(msg, 200, nullptr);
        soup_server_message_set_response(msg, "text/html", SOUP_MEMORY_STATIC, "SECRET", 6);
      },
      &requests, nullptr);
  ASSERT_TRUE(soup_server_listen_local(
      server, 0,
      static_cast<SoupServerListenOptions>(SOUP_SERVER_LISTEN_IPV4_ONLY | SOUP_SERVER_LISTEN_HTTPS),
      &error));
  GSList* uris = soup_server_get_uris(server);
  const int port = g_uri_get_port(static_cast<GUri*>(uris->data));
  g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));

  Gtk::Window window;
  auto* browser = Gtk::manage(new TCppWebBrowser());
  window.add(*browser);
  window.show_all();
  // Seen before any handler: a feature's own error page may take the signal.
  bool tls_failed = false;
  const guint signal = g_signal_lookup("load-failed-with-tls-errors", WEBKIT_TYPE_WEB_VIEW);
  const gulong hook = g_signal_add_emission_hook(
      signal, 0,
      [](GSignalInvocationHint*, guint, const GValue*, gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return TRUE;
      },
      &tls_failed, nullptr);
  Variant a = Variant::Omitted(), b = Variant::Omitted(), c = Variant::Omitted(),
          d = Variant::Omitted();
  browser->Navigate(WideString::FromUtf8("https://127.0.0.1:" + std::to_string(port) + "/"), &a, &b,
                    &c, &d);
  ASSERT_TRUE(RunUntil([&] { return tls_failed; }));
  g_signal_remove_emission_hook(signal, hook);
  RunFor(300);
  EXPECT_EQ(requests, 0);
  soup_server_disconnect(server);
  g_object_unref(server);
  g_object_unref(cert);
}

}  // namespace

TAVORIN_GUI_TEST_MAIN()
