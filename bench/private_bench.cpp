// How long a private window takes to open against an ordinary one, in one
// process set up as the program sets itself up, with a page from a local
// server. Run under an X server.
//
//   private_bench [RUNS]   a window made for an address until its page has
//                          loaded, a first and a second beside it: ordinary,
//                          and private (the first with its context made anew,
//                          as when no private window is open); alternating,
//                          medians and their ratios
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/main_loop.h"
#include "platform/application.h"
#include "tests/support/http_server.h"
#include "window/form_html.h"

using bench::RunUntil;

namespace {

using Clock = std::chrono::steady_clock;

bool Loaded(TFormHTML* form, const std::string& url) {
  WebKitWebView* view = form->CppWebBrowser1->View();
  const gchar* uri = webkit_web_view_get_uri(view);
  return uri != nullptr && url == uri && !webkit_web_view_is_loading(view);
}

// A window of `kind` for `url`, shown; the milliseconds until its page loaded.
double Open(TWindowKind kind, const std::string& url, std::vector<TFormHTML*>& opened) {
  const auto start = Clock::now();
  auto* window = new TFormHTML(Application, url, {}, kind);
  window->show();
  if (!RunUntil([&] { return Loaded(window, url); })) {
    std::fprintf(stderr, "private_bench: %s did not load\n", url.c_str());
    std::exit(1);
  }
  opened.push_back(window);
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Destroys `windows` and lets the engine see them go.
void Close(std::vector<TFormHTML*>& windows) {
  for (TFormHTML* window : windows) delete window;
  windows.clear();
  RunUntil([] { return false; }, 300);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string Page() {
  std::string page = "<!doctype html><title>page</title><table>";
  for (int i = 0; i < 50; ++i) page += "<tr><td>row " + std::to_string(i) + "</td></tr>";
  return page + "</table>";
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
  if (!TApplication::StartToolkit()) return 1;
  TestHttpServer server;
  server.AddHtml("/home.html", "home");
  server.AddHtml("/page.html", Page());
  TApplication application;
  Application = &application;
  TCppWebBrowser::SetDefaultHomePage(server.Url("/home.html"));
  application.Initialize();
  application.CreateForm(FormHTML);
  FormHTML->show();
  if (!RunUntil([] { return Loaded(FormHTML, TCppWebBrowser::DefaultHomePage()); })) return 1;
  // By kind, then first and second window.
  std::vector<double> times[2][2];
  std::vector<TFormHTML*> opened;
  for (int k = 0; k <= runs; ++k) {  // round 0 warms up and is not counted
    for (int kind = 0; kind < 2; ++kind) {
      for (int nth = 0; nth < 2; ++nth) {
        const std::string url = server.Url("/page.html?" + std::to_string(k) + "-" +
                                           std::to_string(kind) + std::to_string(nth));
        const double ms = Open(kind ? TWindowKind::kPrivate : TWindowKind::kNormal, url, opened);
        if (k > 0) times[kind][nth].push_back(ms);
      }
      Close(opened);  // a private context goes with its windows
    }
  }
  std::printf("a window made for an address to its page loaded, medians of %d alternating runs\n",
              runs);
  for (int nth = 0; nth < 2; ++nth) {
    const double normal = Median(times[0][nth]), in_private = Median(times[1][nth]);
    std::printf("  %s window: ordinary %7.1f ms, private %7.1f ms, ratio %.3f\n",
                nth ? "second" : "first ", normal, in_private, in_private / normal);
  }
  application.DestroyForms();
  return 0;
}
