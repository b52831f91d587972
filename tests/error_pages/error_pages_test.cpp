// Loads that fail in a real window show the program's page in Japanese under
// the address that failed, each from a real failure on this machine; 「再試行」
// is clicked with the real pointer.
#include <gio/gio.h>

#include "history/history.h"
#include "store/history_store.h"
#include "tests/support/navigation_support.h"

namespace {

int PortOf(const std::string& url) {
  GUri* uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
  const int port = g_uri_get_port(uri);
  g_uri_unref(uri);
  return port;
}

// A port nothing listens on any more: a server's, just closed.
int ClosedPort() {
  TestHttpServer gone;
  return PortOf(gone.Url("/"));
}

// A server that hangs up on every connection at once.
class HangUpServer {
 public:
  HangUpServer() {
    service_ = g_socket_service_new();
    port_ = g_socket_listener_add_any_inet_port(G_SOCKET_LISTENER(service_), nullptr, nullptr);
    g_signal_connect(service_, "incoming",
                     G_CALLBACK(+[](GSocketService*, GSocketConnection* connection, GObject*,
                                    gpointer) -> gboolean {
                       g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
                       return TRUE;
                     }),
                     nullptr);
    g_socket_service_start(service_);
  }
  ~HangUpServer() {
    g_socket_service_stop(service_);
    g_socket_listener_close(G_SOCKET_LISTENER(service_));
    g_object_unref(service_);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  GSocketService* service_;
  guint16 port_ = 0;
};

GTlsCertificate* TestCertificate() {
  static GTlsCertificate* certificate = g_tls_certificate_new_from_file(TAVORIN_TEST_CERT, nullptr);
  return certificate;
}

class ErrorPagesTest : public FormTest {
 protected:
  WebKitWebView* View() { return form_->CppWebBrowser1->View(); }
  std::string Text(const std::string& id) {
    return RunScript(View(), "(() => { const e = document.getElementById('" + id +
                                 "'); return e ? e.textContent : ''; })()")
        .value_or("");
  }
  // Opens `url` and waits for the program's page titled `title`.
  ::testing::AssertionResult ShowsError(const std::string& url, const std::string& title,
                                        int timeout_ms = 20000) {
    form_->NavigateTo(url);
    RunUntil([&] { return Text("error-title") == title || EngineSaidCancelled(); }, timeout_ms);
    if (Text("error-title") == title) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << url << " shows \"" << Text("error-title") << "\" / "
           << RunScript(View(), "document.body ? document.body.innerText : ''").value_or("")
           << " at " << webkit_web_view_get_uri(View());
  }
  // Now and then the engine reports a self-signed certificate as a load
  // cancelled, without its certificate signal: the page is then ours, with
  // the engine's words, and names no certificate problem.
  bool EngineSaidCancelled() {
    return Text("error-title") == "ページを表示できません" &&
           Text("error-detail").find("cancelled") != std::string::npos;
  }
  bool Kept(const std::string& url) {
    RunFor(200);
    History()->Flush();
    return History()->Find(url).has_value();
  }
};

struct ErrorRow {
  const char* name;
  std::string url;
  const char* title;
  std::string named;  // a text the page names (host, port, problem)
};

TEST_F(ErrorPagesTest, EachFailureShowsWhatHappenedAndKeepsTheAddress) {
  HangUpServer hang_up;
  TestHttpServer https(TestCertificate());
  https.AddHtml("/", "secure");
  TestHttpServer::Page loop;
  loop.status = 302;
  loop.location = "/loop";
  server_.Add("/loop", loop);
  const int closed = ClosedPort();
  const std::vector<ErrorRow> rows = {
      {"refused", "http://127.0.0.1:" + std::to_string(closed) + "/", "接続が拒否されました",
       "127.0.0.1"},
      {"reset", hang_up.Url(), "接続が切れました", "127.0.0.1"},
      {"host not found", "http://no-such-host.invalid/", "サーバーが見つかりません",
       "no-such-host.invalid"},
      {"blocked port", "http://127.0.0.1:1/", "このポートには接続できません", "ポート 1 "},
      {"redirect loop", server_.Url("/loop"), "転送が多すぎます", "127.0.0.1"},
      {"certificate", https.Url("/"), "安全な接続ができません", "発行者が信頼されていません"},
  };
  for (const ErrorRow& row : rows) {
    SCOPED_TRACE(row.name);
    const ::testing::AssertionResult shown = ShowsError(row.url, row.title);
    if (!shown && row.url == https.Url("/") && EngineSaidCancelled()) {
      GTEST_SKIP() << "the engine reported the certificate as a cancelled load this time";
    }
    ASSERT_TRUE(shown);
    EXPECT_EQ(form_->EditURL->get_text(), row.url);
    EXPECT_NE((Text("error-what") + Text("error-detail")).find(row.named), std::string::npos)
        << Text("error-what") << Text("error-detail");
    EXPECT_FALSE(Text("error-todo").empty());
    EXPECT_EQ(Text("retry"), "再試行");
    EXPECT_EQ(RunScript(View(), "document.documentElement.lang").value_or(""), "ja");
    EXPECT_FALSE(Kept(row.url));
  }
}

TEST_F(ErrorPagesTest, RetryClickedOnceTheServerIsUpLoadsThePage) {
  const int port = ClosedPort();
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/up.html";
  ASSERT_TRUE(ShowsError(url, "接続が拒否されました"));
  TestHttpServer up(nullptr, port);
  up.AddHtml("/up.html", "<title>up</title><p id=up>動いています");
  ASSERT_TRUE(navtest::ClickElement(form_, "retry"));
  // The error page shows under the same address: the page's own text tells them apart.
  ASSERT_TRUE(RunUntil([&] { return Text("up") == "動いています"; }))
      << RunScript(View(), "document.body.innerText").value_or("");
  ASSERT_TRUE(WaitForPage(form_, url));
  EXPECT_EQ(form_->EditURL->get_text(), url);
  EXPECT_TRUE(Kept(url));  // the real page is history, as any other
}

TEST_F(ErrorPagesTest, ACertificateProblemOffersAWayBackAndNoneOn) {
  TestHttpServer https(TestCertificate());
  https.AddHtml("/", "<p id=secret>secure");
  const ::testing::AssertionResult shown = ShowsError(https.Url("/"), "安全な接続ができません");
  if (!shown && EngineSaidCancelled()) {
    GTEST_SKIP() << "the engine reported the certificate as a cancelled load this time";
  }
  ASSERT_TRUE(shown);
  EXPECT_EQ(Text("back"), "戻る");
  // Only the way back and the retry, which fails again: no way on.
  EXPECT_EQ(RunScript(View(), "document.links.length").value_or(""), "2");
  ASSERT_TRUE(navtest::ClickElement(form_, "retry"));
  RunFor(500);
  ASSERT_TRUE(RunUntil(
      [&] { return Text("error-title") == "安全な接続ができません" || EngineSaidCancelled(); }));
  EXPECT_EQ(Text("secret"), "");
  if (EngineSaidCancelled()) {
    GTEST_SKIP() << "the engine reported the certificate as a cancelled load the second time";
  }
  ASSERT_TRUE(navtest::ClickElement(form_, "back"));
  EXPECT_TRUE(WaitForPage(form_, server_.Url("/home.html")));
}

TEST_F(ErrorPagesTest, AnHttpErrorIsTheSitesOwnPage) {
  TestHttpServer::Page missing;
  missing.status = 404;
  missing.body = "<h1 id=own>このサイトの 404</h1>";
  server_.Add("/missing.html", missing);
  form_->NavigateTo(server_.Url("/missing.html"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/missing.html")));
  EXPECT_EQ(Text("own"), "このサイトの 404");
  EXPECT_EQ(Text("error-title"), "");
}

TEST_F(ErrorPagesTest, ASitesLookAlikeButtonRetriesNothing) {
  const int port = ClosedPort();
  const std::string failed = "http://127.0.0.1:" + std::to_string(port) + "/";
  ASSERT_TRUE(ShowsError(failed, "接続が拒否されました"));
  server_.AddHtml("/fake.html",
                  "<h1 id=error-title>接続が拒否されました</h1>"
                  "<a id=retry href='about:blank#tavorin-retry'>再試行</a>");
  form_->NavigateTo(server_.Url("/fake.html"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/fake.html")));
  TestHttpServer up(nullptr, port);
  up.AddHtml("/", "up");
  ASSERT_TRUE(navtest::ClickElement(form_, "retry"));
  RunFor(1000);
  EXPECT_TRUE(up.Requests().empty());
}

}  // namespace

namespace {

// Only the main frame's failures get the program's page: a frame of a page
// that fails, even at a blocked port, leaves the page as it is.
TEST_F(ErrorPagesTest, AFrameThatFailsLeavesThePageAlone) {
  const int closed = ClosedPort();
  server_.AddHtml("/framed.html",
                  "<p id=own>ページ</p><iframe src='http://127.0.0.1:25/'></iframe>"
                  "<iframe src='http://127.0.0.1:" +
                      std::to_string(closed) + "/'></iframe>");
  form_->NavigateTo(server_.Url("/framed.html"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/framed.html")));
  RunFor(1500);
  EXPECT_EQ(Text("own"), "ページ");
  EXPECT_EQ(Text("error-title"), "");
  EXPECT_EQ(form_->EditURL->get_text(), server_.Url("/framed.html"));
}

}  // namespace
