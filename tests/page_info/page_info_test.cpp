// The page information window with real pages from a local server: the way
// to a page through each kind of redirect, chains the engine gives up on, a
// page that moves on ten thousand times, the site's cookies and answers, and
// the connection's mark in the address box.
#include <gtkmm/button.h>
#include <gtkmm/clipboard.h>

#include <sstream>
#include <vector>

#include "browser/permission_request.h"
#include "downloads/gate.h"
#include "page_info/page_info_window.h"
#include "page_info/security.h"
#include "page_info/site_cookies.h"
#include "page_info/trail.h"
#include "page_info/trail_watch.h"
#include "tests/support/navigation_support.h"
#include "tests/support/widget_search.h"

// Last: the X headers define None and more.
#include "tests/support/key_input.h"

namespace {

using testsupport::FindSpoken;

class PageInfoTest : public FormTest {
 protected:
  void Load(const std::string& path, const std::string& landing) {
    form_->EditURL->set_text(server_.Url(path));
    form_->ButtonOpen->clicked();
    ASSERT_TRUE(WaitForPage(form_, server_.Url(landing))) << landing;
  }
  WebKitWebView* View() { return form_->CppWebBrowser1->View(); }
  // Opened as the user does, with Ctrl+I in the window.
  TPageInfoWindow* OpenWithKeys() {
    if (!testsupport::FocusWindow(form_->gobj())) return nullptr;
    testsupport::TypeKey(GDK_KEY_i, GDK_KEY_Control_L);
    RunUntil([] { return testsupport::ShownWindow<TPageInfoWindow>() != nullptr; });
    return testsupport::ShownWindow<TPageInfoWindow>();
  }
  // Answers "許可" in the permission strip once it asks.
  void AllowWhenAsked() {
    Gtk::Button* allow = nullptr;
    ASSERT_TRUE(RunUntil([&] {
      allow = testsupport::FindWidget<Gtk::Button>(*form_->CppWebBrowser1, [](Gtk::Button& b) {
        return b.get_name() == "PermissionAllow" && b.get_is_drawable();
      });
      return allow != nullptr;
    }));
    allow->clicked();
    RunFor(300);
  }
  void AddRedirect(const std::string& from, int status, const std::string& to) {
    TestHttpServer::Page page;
    page.status = status;
    page.location = server_.Url(to);
    server_.Add(from, page);
  }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Hop {
  const char* how;
  const char* path;
};

TEST_F(PageInfoTest, TheWayHereShowsEveryRedirectWithHowThePageWasSentOn) {
  AddRedirect("/go", 301, "/r1");
  AddRedirect("/r1", 302, "/r2");
  AddRedirect("/r2", 303, "/r3");
  AddRedirect("/r3", 307, "/r4");
  AddRedirect("/r4", 308, "/meta");
  server_.AddHtml("/meta", "<meta http-equiv='refresh' content='0; url=/script'>meta");
  server_.AddHtml("/script", "<script>location.replace('/header')</script>script");
  TestHttpServer::Page header;
  header.body = "header";
  header.headers = {{"Refresh", "0; url=/end"}};
  server_.Add("/header", header);
  server_.AddHtml("/end", "<title>end</title><a href='#moved'>x</a>");
  Load("/go", "/end");
  ASSERT_TRUE(RunScript(View(), "location.hash = 'moved'; 1"));
  const Hop expected[] = {{"開始", "/go"},
                          {"301", "/r1"},
                          {"302", "/r2"},
                          {"303", "/r3"},
                          {"307", "/r4"},
                          {"308", "/meta"},
                          {TPageTrail::kMetaRefresh, "/script"},
                          {TPageTrail::kScript, "/header"},
                          {TPageTrail::kRefreshHeader, "/end"},
                          {TPageTrail::kSameDocument, "/end#moved"}};
  TPageInfoWindow* window = OpenWithKeys();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(RunUntil([&] { return Lines(window->TrailText()).size() == std::size(expected); }))
      << window->TrailText();
  const std::vector<std::string> lines = Lines(window->TrailText());
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(lines[i], std::string(expected[i].how) + "\t" + server_.Url(expected[i].path));
  }
  // Shown as text: the addresses stay words in the window, nothing opens.
  EXPECT_NE(window->PageText().find("アドレス: " + server_.Url("/end#moved")), std::string::npos);
  EXPECT_TRUE(RunUntil([&] {
    return window->PageText().find("文字コード: UTF-8") != std::string::npos;
  })) << window->PageText();
  EXPECT_NE(window->PageText().find("接続: 暗号化されていません"), std::string::npos);
  FindSpoken<Gtk::Button>(*window, "ここまでの経路をコピー")->clicked();
  EXPECT_EQ(Gtk::Clipboard::get()->wait_for_text(), window->TrailText());
  EXPECT_EQ(webkit_web_view_get_uri(View()), server_.Url("/end#moved")) << "nothing was run";
}

struct EndlessChain {
  const char* name;
  int hops;  // the server's chain; the last one points back at the first
};

TEST_F(PageInfoTest, ALoopOrAThousandHopsShowWhatTheEngineFollowedWithoutHanging) {
  const EndlessChain chains[] = {{"long", 1000}, {"loop", 2}};
  for (const EndlessChain& chain : chains) {
    SCOPED_TRACE(chain.name);
    const std::string base = std::string("/") + chain.name;
    for (int i = 0; i < chain.hops; ++i) {
      AddRedirect(base + std::to_string(i), 302, base + std::to_string((i + 1) % chain.hops));
    }
    const gint64 start = g_get_monotonic_time();
    form_->EditURL->set_text(server_.Url(base + "0"));
    form_->ButtonOpen->clicked();
    const TPageTrail* trail = TrailOf(View());
    ASSERT_TRUE(RunUntil([&] { return !trail->Failure().empty(); }))
        << trail->Text() << webkit_web_view_is_loading(View()) << " "
        << webkit_web_view_get_uri(View());
    EXPECT_LT(g_get_monotonic_time() - start, 10 * G_USEC_PER_SEC);
    ASSERT_GE(trail->Hops().size(), 3u);
    EXPECT_LE(trail->Hops().size(), TPageTrail::kKeptHops);
    EXPECT_EQ(trail->Hops().front().address, server_.Url(base + "0"));
    for (std::size_t i = 1; i < trail->Hops().size(); ++i) {
      EXPECT_EQ(trail->Hops()[i].how, "302");
      EXPECT_EQ(trail->Hops()[i].address, server_.Url(base + std::to_string(i % chain.hops)));
    }
    EXPECT_TRUE(RunUntil([&] { return !webkit_web_view_is_loading(View()); }));
    EXPECT_NE(webkit_web_view_get_uri(View()), server_.Url("/home.html"))
        << "the failure is shown, not the page before";
    TPageInfoWindow& window = TPageInfoWindow::Show(*form_, View());
    EXPECT_NE(window.TrailText().find("失敗\t"), std::string::npos) << window.TrailText();
  }
}

TEST_F(PageInfoTest, TenThousandMovesKeepTheLatestHopsAndTheWindowResponsive) {
  server_.AddHtml("/moving", "<title>moving</title>");
  Load("/moving", "/moving");
  TPageInfoWindow* window = OpenWithKeys();
  ASSERT_NE(window, nullptr);
  // The longest the main loop goes without turning while the page moves on.
  struct Pace {
    gint64 last = g_get_monotonic_time(), longest = 0;
  } pace;
  const guint ticker = g_timeout_add(
      5,
      +[](gpointer data) -> gboolean {
        auto* p = static_cast<Pace*>(data);
        const gint64 now = g_get_monotonic_time();
        p->longest = std::max(p->longest, now - p->last);
        p->last = now;
        return G_SOURCE_CONTINUE;
      },
      &pace);
#ifdef __SANITIZE_ADDRESS__
  // The sanitizers slow the engine's messaging many times; still beyond what is kept.
  constexpr int kMoves = 400;
#else
  constexpr int kMoves = 10000;
#endif
  const std::string moves =
      "for (let i = 1; i <= " + std::to_string(kMoves) + "; ++i) location.hash = 'n' + i";
  webkit_web_view_evaluate_javascript(View(), moves.c_str(), -1, nullptr, nullptr, nullptr, nullptr,
                                      nullptr);
  const std::string final_address = server_.Url("/moving#n" + std::to_string(kMoves));
  EXPECT_TRUE(RunUntil(
      [&] { return window->TrailText().find(final_address + "\n") != std::string::npos; }, 60000));
  g_source_remove(ticker);
  EXPECT_LT(pace.longest, G_USEC_PER_SEC / 2)
      << "the window went " << pace.longest << " µs unanswered";
  const TPageTrail* trail = TrailOf(View());
  EXPECT_EQ(trail->Hops().size(), TPageTrail::kKeptHops);
  EXPECT_EQ(trail->Hops().back().address, final_address);
  EXPECT_EQ(trail->Dropped() + trail->Hops().size(), kMoves + 1u) << "each move counted once";
  EXPECT_EQ(Lines(window->TrailText()).front(),
            "（古い " + std::to_string(trail->Dropped()) + " 件は省略しました）");
}

TEST_F(PageInfoTest, CookiesAndAnswersOfTheSiteCanEachBeTakenBack) {
  TestHttpServer::Page page;
  page.body =
      "<title>ready</title><button id='notify' style='width:300px;height:40px' "
      "onclick=\"Notification.requestPermission().then(r => document.title = r)\">n</button>";
  page.headers = {{"Set-Cookie", "plain=1; Path=/; Max-Age=3600"},
                  {"Set-Cookie", "hidden=2; Path=/; HttpOnly"}};
  // Two files the page downloads on its own: the second one is asked about.
  page.body += "<iframe src='/a.csv'></iframe><iframe src='/b.csv'></iframe>";
  server_.Add("/cookies", page);
  for (const char* name : {"a.csv", "b.csv"}) {
    TestHttpServer::Page file;
    file.body = name;
    file.type = "text/csv";
    file.headers = {{"Content-Disposition", std::string("attachment; filename=") + name}};
    server_.Add(std::string("/") + name, file);
  }
  Load("/cookies", "/cookies");
  AllowWhenAsked();
  ASSERT_TRUE(navtest::ClickElement(form_, "notify"));
  AllowWhenAsked();
  ASSERT_TRUE(
      RunUntil([&] { return std::string(webkit_web_view_get_title(View())) == "granted"; }));

  TPageInfoWindow* window = OpenWithKeys();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(RunUntil([&] { return window->CookiesShown(); }));
  const std::string site = "\t127.0.0.1\t/\t";
  const struct {
    const char* name;
    const char* http_only;
  } cookies[] = {{"plain", "いいえ"}, {"hidden", "はい"}};
  for (const auto& c : cookies) {
    const std::string line = c.name + site;
    const std::size_t at = window->CookiesText().find(line);
    ASSERT_NE(at, std::string::npos) << window->CookiesText();
    const std::string row =
        window->CookiesText().substr(at, window->CookiesText().find('\n', at) - at);
    EXPECT_NE(row.find("Secure: いいえ\tHttpOnly: " + std::string(c.http_only)), std::string::npos)
        << row;
  }
  EXPECT_NE(window->CookiesText().find("hidden" + site + "ブラウザを閉じるまで"),
            std::string::npos);
  FindSpoken<Gtk::Button>(*window, "削除: hidden")->clicked();
  ASSERT_TRUE(RunUntil([&] {
    return window->CookiesText().find("hidden") == std::string::npos &&
           window->CookiesText().find("plain") != std::string::npos;
  }));
  bool fetched = false;
  std::string kept;
  FetchSiteCookies(View(), [&](SiteCookies left) {
    for (const auto& c : left) kept += c->Text() + "\n";
    fetched = true;
  });
  ASSERT_TRUE(RunUntil([&] { return fetched; }));
  EXPECT_EQ(kept.find("hidden"), std::string::npos) << "gone from the engine too";

  EXPECT_EQ(window->PermissionsText(), "通知: 許可\n複数のファイルのダウンロード: 許可\n");
  FindSpoken<Gtk::Button>(*window, "リセット: 通知")->clicked();
  FindSpoken<Gtk::Button>(*window, "リセット: 複数のファイルのダウンロード")->clicked();
  const std::string origin = server_.Url("").substr(0, server_.Url("").size() - 1);
  EXPECT_TRUE(PermissionAnswers(View(), origin).empty());
  EXPECT_FALSE(DownloadsAnswer(View(), origin).has_value());
  EXPECT_EQ(window->PermissionsText(), "");
}

struct Judged {
  Connection connection;
  Security security;
};

TEST(SecurityJudgeTest, OnlyATrustedCertificateWithoutInsecureContentIsSecure) {
  const GTlsCertificateFlags none = GTlsCertificateFlags(0);
  const Judged cases[] = {
      {{"https://shop.example/", true, none, false}, Security::kSecure},
      {{"https://shop.example/", true, G_TLS_CERTIFICATE_UNKNOWN_CA, false}, Security::kNotSecure},
      {{"https://shop.example/", true, none, true}, Security::kNotSecure},
      {{"https://shop.example/", false, none, false}, Security::kNotSecure},
      {{"http://shop.example/", false, none, false}, Security::kNotSecure},
      {{"about:blank", false, none, false}, Security::kNone},
      {{"file:///tmp/a.html", false, none, false}, Security::kNone},
  };
  for (const Judged& c : cases) {
    EXPECT_EQ(Judge(c.connection), c.security) << c.connection.uri << " " << c.connection.errors;
  }
}

struct Marked {
  bool https;
  const char* icon;
  const char* connection;  // a line of the page part
};

TEST_F(PageInfoTest, TheAddressBoxMarksAPageNotSecureAndItsMarkOpensThePageInformation) {
  GTlsCertificate* certificate = g_tls_certificate_new_from_file(TAVORIN_TEST_CERT, nullptr);
  ASSERT_NE(certificate, nullptr);
  TestHttpServer secure(certificate);
  secure.AddHtml("/pay", "<title>pay</title>");
  server_.AddHtml("/pay", "<title>pay</title>");
  webkit_web_context_allow_tls_certificate_for_host(webkit_web_view_get_context(View()),
                                                    certificate, "127.0.0.1");
  const Marked cases[] = {
      {false, "dialog-warning-symbolic", "接続: 暗号化されていません"},
      {true, "dialog-warning-symbolic", "証明書の問題: 発行者が信頼されていません"},
  };
  for (const Marked& c : cases) {
    const std::string url = (c.https ? secure : server_).Url("/pay");
    form_->EditURL->set_text(url);
    form_->ButtonOpen->clicked();
    ASSERT_TRUE(WaitForPage(form_, url));
    Gtk::Entry& box = *form_->EditURL;
    EXPECT_EQ(box.get_icon_name(Gtk::ENTRY_ICON_PRIMARY), c.icon);
    EXPECT_EQ(box.get_icon_tooltip_text(Gtk::ENTRY_ICON_PRIMARY), "保護されていない通信");
    AtkObject* icon =
        atk_object_ref_accessible_child(gtk_widget_get_accessible(GTK_WIDGET(box.gobj())), 0);
    ASSERT_NE(icon, nullptr);
    EXPECT_STREQ(atk_object_get_name(icon), "保護されていない通信");
    g_object_unref(icon);
    if (TPageInfoWindow* open = testsupport::ShownWindow<TPageInfoWindow>()) open->hide();
    ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
    const Gdk::Rectangle mark = box.get_icon_area(Gtk::ENTRY_ICON_PRIMARY);
    navtest::ClickAt(navtest::OnScreen(GTK_WIDGET(box.gobj()), mark.get_x() + mark.get_width() / 2,
                                       mark.get_y() + mark.get_height() / 2));
    ASSERT_TRUE(RunUntil([] { return testsupport::ShownWindow<TPageInfoWindow>() != nullptr; }));
    const std::string page = testsupport::ShownWindow<TPageInfoWindow>()->PageText();
    EXPECT_NE(page.find(c.connection), std::string::npos) << page;
    if (c.https) {
      EXPECT_NE(page.find("接続: TLS で暗号化されています"), std::string::npos) << page;
      EXPECT_NE(page.find("証明書の発行先: "), std::string::npos) << page;
      EXPECT_NE(page.find("証明書の発行者: "), std::string::npos) << page;
    }
  }
  g_object_unref(certificate);
}

}  // namespace
