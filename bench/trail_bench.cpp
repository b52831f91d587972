// What keeping the way to a page costs a load: the time from asking a view
// for an address to the end of its load, through two redirects from a local
// server, in a view that keeps its trail and in one that does not. Both views
// share the program's web context and run in one process, in alternating
// blocks; the figures are medians. Run under a display (xvfb-run -a).
//
//   trail_bench [LOADS]   loads per view, 300 unless given
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "browser/web_context.h"
#include "page_info/trail.h"
#include "page_info/trail_watch.h"
#include "tests/support/http_server.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultLoads = 300;
constexpr int kBlock = 10;
constexpr int kWarmUp = 20;

WebKitWebView* MakeView(GtkWidget* box) {
  auto* view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(PageContext()));
  gtk_box_pack_start(GTK_BOX(box), GTK_WIDGET(view), TRUE, TRUE, 0);
  return view;
}

void Finished(WebKitWebView*, WebKitLoadEvent event, bool* done) {
  if (event == WEBKIT_LOAD_FINISHED) *done = true;
}

// One load of `uri` in `view`, in microseconds.
double Load(WebKitWebView* view, const std::string& uri) {
  bool done = false;
  const gulong id = g_signal_connect(view, "load-changed", G_CALLBACK(Finished), &done);
  const Clock::time_point start = Clock::now();
  NoteUserLoad(view);  // as the window does for "GO"
  webkit_web_view_load_uri(view, uri.c_str());
  while (!done) g_main_context_iteration(nullptr, TRUE);
  const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
  g_signal_handler_disconnect(view, id);
  return us;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  const int loads = argc > 1 ? std::max(kBlock, std::atoi(argv[1])) : kDefaultLoads;
  TestHttpServer server;
  TestHttpServer::Page hop;
  hop.status = 302;
  hop.location = server.Url("/b");
  server.Add("/a", hop);
  hop.location = server.Url("/page");
  server.Add("/b", hop);
  server.AddHtml("/page", "<title>page</title><p>" + std::string(20000, 'x') + "</p>");

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  gtk_container_add(GTK_CONTAINER(window), box);
  gtk_window_set_default_size(GTK_WINDOW(window), 1000, 600);
  WebKitWebView* kept = MakeView(box);
  WebKitWebView* plain = MakeView(box);
  WatchTrail(kept);
  gtk_widget_show_all(window);

  const std::string uri = server.Url("/a");
  for (int i = 0; i < kWarmUp; ++i) Load(i % 2 ? kept : plain, uri);
  std::vector<double> with_trail, without;
  for (int done = 0; done < loads; done += kBlock) {
    for (int i = 0; i < kBlock; ++i) with_trail.push_back(Load(kept, uri));
    for (int i = 0; i < kBlock; ++i) without.push_back(Load(plain, uri));
  }
  if (TrailOf(kept)->Hops().size() != 3) {
    std::fprintf(stderr, "trail_bench: the trail was not kept\n");
    return 1;
  }
  const double a = Median(with_trail), b = Median(without);
  std::printf("loads per view: %d (two redirects, then a 20 KB page)\n", loads);
  std::printf("with the trail:    median %.0f us\n", a);
  std::printf("without the trail: median %.0f us\n", b);
  std::printf("ratio: %.3f (within 1.02 expected)\n", a / b);
  gtk_widget_destroy(window);
  return 0;
}
