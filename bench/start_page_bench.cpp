// The start page with a long-used history: how long after the main window is
// mapped the start page is painted. Runs the program's start-up as
// startup_bench does, with the start page as home, on the profile in
// $XDG_DATA_HOME; prints milliseconds from main() to the window mapped, to
// the start page's load finished and to the view's first drawing after it.
//
//   start_page_bench fill     fills $XDG_DATA_HOME/tavorin with 100 000 entries
//   start_page_bench generate how long the start page's HTML takes, with that history
//   start_page_bench [HOME]   one run (HOME: the home page, default the start page)
#include <gtkmm/window.h>
#include <sqlite3.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "browser/profile.h"
#include "platform/application.h"
#include "settings/rendering_path.h"
#include "settings/settings.h"
#include "start_page/start_page.h"
#include "store/history_store.h"
#include "window/form_html.h"

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point g_start = Clock::now();
constexpr int kEntries = 100000;

double Ms() { return std::chrono::duration<double, std::milli>(Clock::now() - g_start).count(); }

struct Times {
  double mapped = -1, finished = -1, painted = -1;
} g_times;

// Written straight into the file in one transaction, as history_bench does.
int Fill() {
  const std::string folder = ProfileDataFolder();
  HistoryStore::Open(folder).reset();
  sqlite3* db = nullptr;
  if (sqlite3_open((folder + "/" + HistoryStore::kFileName).c_str(), &db) != SQLITE_OK) return 1;
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO urls(url, title, visit_count, last_visit) VALUES(?, ?, ?, ?)",
                     -1, &insert, nullptr);
  const std::int64_t now = HistoryStore::Now();
  for (int i = 0; i < kEntries; ++i) {
    const std::string url =
        "https://www.shop" + std::to_string(i % 977) + ".example.jp/item/" + std::to_string(i);
    const std::string title = "商品 " + std::to_string(i) + " のページ";
    sqlite3_bind_text(insert, 1, url.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, title.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 3, 1 + (i * 7919) % 500);
    sqlite3_bind_int64(insert, 4, now - std::int64_t{i} * 60 * G_USEC_PER_SEC);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  HistoryStore::Open(folder).reset();  // its indexes, as the program would make them
  return 0;
}

gboolean Drawn(GtkWidget*, cairo_t*, gpointer) {
  if (g_times.finished >= 0 && g_times.painted < 0) {
    g_times.painted = Ms();
    g_idle_add([](gpointer) { return Application->Terminate(), G_SOURCE_REMOVE; }, nullptr);
  }
  return FALSE;
}

void LoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
  if (event != WEBKIT_LOAD_FINISHED || g_times.finished >= 0) return;
  g_times.finished = Ms();
  gtk_widget_queue_draw(GTK_WIDGET(view));  // drawn at the next frame, with what the page has
}

// How many sites the page lists (and its heading).
std::size_t Listed(const std::string& page) {
  std::size_t count = 0;
  for (std::size_t at = 0; (at = page.find("id=\"most-visited-", at)) != std::string::npos; ++at)
    ++count;
  return count;
}

// The first making of the page, with the history's opening, then the median
// of 21 more.
int Generate() {
  std::vector<double> took;
  std::size_t bytes = 0;
  const double opened = Ms();
  const std::string first = StartPage(false);
  std::printf("first start page, history opened: %.2f ms, %zu sites listed\n", Ms() - opened,
              Listed(first));
  for (int i = 0; i < 21; ++i) {
    const double before = Ms();
    bytes = StartPage(false).size();
    took.push_back(Ms() - before);
  }
  std::sort(took.begin(), took.end());
  std::printf("start page made in %.2f ms (median of 21, %zu bytes)\n", took[took.size() / 2],
              bytes);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string home = argc > 1 ? argv[1] : kStartPageAddress;
  if (home == "fill") return Fill();
  if (home == "generate") return Generate();
  const TSettings settings = LoadSettings();
  if (!StartRendering(ChooseRenderingPath(settings.hardware_acceleration, HasRenderNode()))) {
    return 1;
  }
  TApplication application;
  Application = &application;
  TCppWebBrowser::SetDefaultHomePage(home);
  application.Initialize();
  application.SetTitle("Tavorin");
  application.CreateForm(FormHTML);
  FormHTML->signal_map_event().connect([](GdkEventAny*) {
    if (g_times.mapped < 0) g_times.mapped = Ms();
    return false;
  });
  WebKitWebView* view = FormHTML->CppWebBrowser1->View();
  g_signal_connect(view, "load-changed", G_CALLBACK(LoadChanged), nullptr);
  g_signal_connect_after(view, "draw", G_CALLBACK(Drawn), nullptr);
  g_timeout_add_seconds(
      30, [](gpointer) { return Application->Terminate(), G_SOURCE_REMOVE; }, nullptr);
  application.Run();
  application.DestroyForms();
  std::printf("mapped %.1f finished %.1f painted %.1f after-map %.1f\n", g_times.mapped,
              g_times.finished, g_times.painted, g_times.painted - g_times.mapped);
  return g_times.painted < 0;
}
