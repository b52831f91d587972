// Two ratios, each from one run of alternating blocks in one process:
//  - the time from "GO" to the request reaching a local server, for words
//    typed (a search on that server) against an address typed;
//  - the load of a page that declares its encoding, in a view whose encoding
//    is watched against one whose is not, to the end of the load with what the
//    check does then; and how many readings an undeclared page takes.
// Run under an X server (xvfb-run -a).
//
//   search_bench [ROUNDS]   loads per path, 200 unless given
#include <gtkmm/window.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "browser/web_context.h"
#include "encoding/page_encoding.h"
#include "platform/application.h"
#include "search/search_engine.h"
#include "tests/support/http_server.h"
#include "tests/support/main_loop.h"
#include "tests/support/private_folders.h"
#include "window/form_html.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kDefaultRounds = 200;
constexpr int kBlock = 10;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// Blocks of the two paths in turn, each first in every other round, so that
// neither gains from its place.
void InTurns(int rounds, const std::function<void()>& one, const std::function<void()>& other) {
  for (int done = 0; done < rounds; done += kBlock) {
    const bool first = (done / kBlock) % 2 == 0;
    (first ? one : other)();
    (first ? other : one)();
  }
}

bool WaitFor(const std::function<bool()>& done) { return testsupport::RunUntil(done, 10000); }

// "GO" with `typed` in the box until the server has one more request.
double TimeToRequest(TFormHTML& form, TestHttpServer& server, const std::string& typed) {
  const std::size_t before = server.Requests().size();
  form.EditURL->set_text(typed);
  const Clock::time_point start = Clock::now();
  form.ButtonOpen->clicked();
  WaitFor([&] { return server.Requests().size() > before; });
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  WaitFor([&] { return !webkit_web_view_is_loading(form.CppWebBrowser1->View()); });
  return ms;
}

struct Timed {
  Clock::time_point finished;
  bool done = false;
};

void Finished(WebKitWebView*, WebKitLoadEvent event, Timed* timed) {
  if (event != WEBKIT_LOAD_FINISHED) return;
  timed->finished = Clock::now();
  timed->done = true;
}

// A view of its own in a window of its own, side by side so that neither
// covers the other; `watched` checks its encoding.
WebKitWebView* PlainView(bool watched, Timed* timed) {
  auto* window = new Gtk::Window();
  WebKitWebView* view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(PageContext()));
  if (watched) WatchPageEncoding(view);
  // After the check's own handler: its work at the end of the load counts.
  g_signal_connect(view, "load-changed", G_CALLBACK(Finished), timed);
  gtk_container_add(GTK_CONTAINER(window->gobj()), GTK_WIDGET(view));
  window->set_default_size(800, 600);
  window->move(watched ? 0 : 820, 700);
  window->show_all();
  return view;
}

double TimeLoad(WebKitWebView* view, Timed& timed, const std::string& url) {
  timed.done = false;
  const Clock::time_point start = Clock::now();
  webkit_web_view_load_uri(view, url.c_str());
  WaitFor([&] { return timed.done; });
  return std::chrono::duration<double, std::milli>(timed.finished - start).count();
}

std::string Page(int paragraphs) {
  std::string body = "<html><head><title>p</title></head><body>";
  for (int i = 0; i < paragraphs; ++i)
    body += "<p>楽天市場へようこそ。今日のおすすめ商品です。</p>";
  return body + "</body></html>";
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(kBlock, std::atoi(argv[1])) : kDefaultRounds;
  // Nothing of this run in the user's own profile.
  const std::string root = testsupport::PrivateFolders();
  if (!TApplication::StartToolkit()) {
    std::fprintf(stderr, "search_bench: no X display: run under xvfb-run -a\n");
    return 1;
  }
  TApplication application;
  Application = &application;
  Application->Initialize();
  TestHttpServer server;
  server.AddHtml("/home.html", "<title>home</title>");
  server.AddHtml("/find", "<title>found</title>");
  server.AddHtml("/page", "<title>page</title>");
  TCppWebBrowser::SetDefaultHomePage(server.Url("/home.html"));
  SetSearchEngine(server.Url("/find?q=%s"));
  Application->CreateForm(FormHTML);
  FormHTML->show();
  WaitFor([] { return !webkit_web_view_is_loading(FormHTML->CppWebBrowser1->View()); });

  std::vector<double> words, address;
  auto words_block = [&] {
    for (int i = 0; i < kBlock; ++i)
      words.push_back(TimeToRequest(*FormHTML, server, "りんご 青森"));
  };
  auto address_block = [&] {
    for (int i = 0; i < kBlock; ++i)
      address.push_back(TimeToRequest(*FormHTML, server, server.Url("/page")));
  };
  InTurns(rounds, words_block, address_block);
  std::printf("GO to request: words %.3f ms, address %.3f ms (medians of %d), ratio %.3f\n",
              Median(words), Median(address), rounds, Median(words) / Median(address));

  TestHttpServer::Page declared;
  declared.body = Page(200);
  server.Add("/declared", declared);
  TestHttpServer::Page undeclared = declared;
  undeclared.type = "text/html";
  gsize length = 0;
  gchar* sjis =
      g_convert(declared.body.c_str(), -1, "SHIFT_JIS", "UTF-8", nullptr, &length, nullptr);
  undeclared.body.assign(sjis, length);
  g_free(sjis);
  gchar* euc = g_convert(declared.body.c_str(), -1, "EUC-JP", "UTF-8", nullptr, &length, nullptr);
  TestHttpServer::Page undeclared_euc = undeclared;
  undeclared_euc.body.assign(euc, length);
  g_free(euc);
  server.Add("/undeclared", undeclared);
  server.Add("/undeclared-euc", undeclared_euc);
  Timed watched_time, plain_time;
  WebKitWebView* watched = PlainView(true, &watched_time);
  WebKitWebView* plain = PlainView(false, &plain_time);
  std::vector<double> with_check, without;
  auto checked_block = [&] {
    for (int i = 0; i < kBlock; ++i)
      with_check.push_back(TimeLoad(watched, watched_time, server.Url("/declared")));
  };
  auto unchecked_block = [&] {
    for (int i = 0; i < kBlock; ++i)
      without.push_back(TimeLoad(plain, plain_time, server.Url("/declared")));
  };
  InTurns(rounds, checked_block, unchecked_block);
  std::printf(
      "declared page load: checked %.3f ms, unchecked %.3f ms (medians of %d), ratio %.3f\n",
      Median(with_check), Median(without), rounds, Median(with_check) / Median(without));

  // Readings of an undeclared page: loads that finish, one of them from the cache.
  int finished = 0;
  g_signal_connect(watched, "load-changed",
                   G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, int* count) {
                     if (event == WEBKIT_LOAD_FINISHED) ++*count;
                   }),
                   &finished);
  for (const char* path : {"/undeclared", "/undeclared-euc"}) {
    finished = 0;
    const std::size_t asked = server.Requests().size();
    webkit_web_view_load_uri(watched, server.Url(path).c_str());
    testsupport::RunPending(1500);
    std::printf("undeclared %s: %d readings, %zu requests\n", path, finished,
                server.Requests().size() - asked);
  }
  testsupport::RemoveTree(root);
  return 0;
}
