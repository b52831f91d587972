// What a hostile or broken page, and a bad address, can do to a window.
#include <gtkmm/window.h>
#include <webkit2/webkit2.h>

#include "tests/app/form_fixture.h"

namespace {

class HardeningTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    server_.AddHtml("/a.html", "<title>a</title><p id=p>page A</p>");
    server_.AddHtml("/b.html", "<title>b</title>page B");
  }

  void Go(TFormHTML* form, const std::string& address) {
    form->EditURL->set_text(address);
    form->ButtonOpen->clicked();
  }
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
    ASSERT_TRUE(WaitForPage(form_, server_.Url("/b.html")));
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
  bool tls_failed = false;
  g_signal_connect_swapped(browser->View(), "load-failed-with-tls-errors",
                           G_CALLBACK(+[](bool* flag) {
                             *flag = true;
                             return FALSE;
                           }),
                           &tls_failed);
  Variant a = Variant::Omitted(), b = Variant::Omitted(), c = Variant::Omitted(),
          d = Variant::Omitted();
  browser->Navigate(WideString::FromUtf8("https://127.0.0.1:" + std::to_string(port) + "/"), &a, &b,
                    &c, &d);
  ASSERT_TRUE(RunUntil([&] { return tls_failed; }));
  RunFor(300);
  EXPECT_EQ(requests, 0);
  soup_server_disconnect(server);
  g_object_unref(server);
  g_object_unref(cert);
}

}  // namespace

TAVORIN_GUI_TEST_MAIN()
