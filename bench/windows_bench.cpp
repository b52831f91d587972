// Secondary windows of the browser, in one process set up as the program sets
// itself up, with pages from a local server and real pointer clicks through the
// X server (XTEST). Run under an X server.
//
//   windows_bench time [RUNS]   a click on a target=_blank link until the new
//                               window's page has loaded, against the same
//                               page loaded in the main window through "GO";
//                               alternating, medians and their ratio
//   windows_bench memory        the extra proportional set size of this process
//                               and all its descendants (the engine's
//                               processes) per secondary window, at 1, 5 and 20
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench/main_loop.h"
#include "platform/application.h"
#include "tests/support/http_server.h"
#include "window/form_html.h"
// Last: the X headers define names such as Button1.
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

using bench::RunUntil;

namespace {

using Clock = std::chrono::steady_clock;

// A strip down the left edge of the page: windows opened from it land 20
// pixels to the right and leave it uncovered. Each click opens a new address.
constexpr char kOpener[] = R"html(<!doctype html><title>opener</title>
<a id="l" target="_blank"
   style="position:fixed;left:0;top:0;width:15px;height:400px;background:#ccc"></a>
<script>
  let count = 0;
  const link = document.getElementById('l');
  link.onclick = () => { link.href = '/target.html?' + location.search.slice(1) + '-' + ++count; };
</script>)html";

std::string TargetPage() {
  std::string page = "<!doctype html><title>target</title><h1>A page</h1><table>";
  for (int i = 0; i < 50; ++i) {
    page += "<tr><td>row " + std::to_string(i) + "</td><td>" + std::to_string(i * i) + "</td></tr>";
  }
  return page + "</table>";
}

void RunFor(int ms) {
  RunUntil([] { return false; }, ms);
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool Loaded(TFormHTML* form, const std::string& url) {
  WebKitWebView* view = form->CppWebBrowser1->View();
  const gchar* uri = webkit_web_view_get_uri(view);
  return uri != nullptr && url == uri && !webkit_web_view_is_loading(view);
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "windows_bench: %s\n", what.c_str());
  std::exit(1);
}

// Loads `url` in the main window through the address box and "GO".
double LoadInMain(TFormHTML* main, const std::string& url) {
  main->EditURL->set_text(url);
  const auto start = Clock::now();
  main->ButtonOpen->clicked();
  if (!RunUntil([&] { return Loaded(main, url); })) Fail("main window did not load " + url);
  return Ms(Clock::now() - start);
}

Display* XDisplay() { return GDK_DISPLAY_XDISPLAY(gdk_display_get_default()); }

// Puts the pointer over the link strip of `form`'s page.
void PointAtLink(TFormHTML* form) {
  GtkWidget* view = GTK_WIDGET(form->CppWebBrowser1->View());
  int x = 0, y = 0, ox = 0, oy = 0;
  gtk_widget_translate_coordinates(view, GTK_WIDGET(form->gobj()), 7, 200, &x, &y);
  gdk_window_get_origin(form->get_window()->gobj(), &ox, &oy);
  XTestFakeMotionEvent(XDisplay(), -1, ox + x, oy + y, CurrentTime);
  XSync(XDisplay(), False);
  RunFor(100);
}

// Clicks the link and waits until the window it opens has loaded `url`.
double OpenByClick(const std::string& url) {
  const std::size_t before = Application->Forms().size();
  const auto start = Clock::now();
  XTestFakeButtonEvent(XDisplay(), 1, True, CurrentTime);
  XTestFakeButtonEvent(XDisplay(), 1, False, CurrentTime);
  XSync(XDisplay(), False);
  const bool opened = RunUntil([&] {
    return Application->Forms().size() > before &&
           Loaded(static_cast<TFormHTML*>(Application->Forms().back()), url);
  });
  if (!opened) Fail("no window loaded " + url);
  return Ms(Clock::now() - start);
}

struct Usage {
  long pss_kib = 0;
  int processes = 0;
};

// Proportional set size of `root` and all its descendants.
Usage TreeUsage(int root) {
  std::multimap<int, int> children;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(text.substr(close + 2));
    std::string state;
    int ppid = 0;
    rest >> state >> ppid;
    children.emplace(ppid, std::stoi(name));
  }
  Usage usage;
  std::vector<int> todo{root};
  while (!todo.empty()) {
    const int pid = todo.back();
    todo.pop_back();
    ++usage.processes;
    for (auto [it, end] = children.equal_range(pid); it != end; ++it) todo.push_back(it->second);
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(rollup, line);) {
      if (line.rfind("Pss:", 0) == 0) usage.pss_kib += std::stol(line.substr(4));
    }
  }
  return usage;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int TimeMode(TestHttpServer& server, TFormHTML* main, int runs) {
  std::vector<double> clicked, in_main;
  for (int k = 0; k <= runs; ++k) {  // round 0 warms up and is not counted
    const std::string tag = "t" + std::to_string(k);
    LoadInMain(main, server.Url("/opener.html?" + tag));
    PointAtLink(main);
    const double click = OpenByClick(server.Url("/target.html?" + tag + "-1"));
    const double load = LoadInMain(main, server.Url("/target.html?main-" + tag));
    if (k == 0) continue;
    clicked.push_back(click);
    in_main.push_back(load);
  }
  const double c = Median(clicked), m = Median(in_main);
  std::printf("secondary window, medians of %d alternating runs\n", runs);
  std::printf("  click on a target=_blank link to its page loaded  %8.1f ms\n", c);
  std::printf("  the same page loaded in the main window (GO)      %8.1f ms\n", m);
  std::printf("  ratio new window / main window                    %8.2f\n", c / m);
  return 0;
}

int MemoryMode(TestHttpServer& server, TFormHTML* main) {
  constexpr int kSettleMs = 2000;
  LoadInMain(main, server.Url("/opener.html?m"));
  PointAtLink(main);
  RunFor(kSettleMs);
  const Usage base = TreeUsage(getpid());
  std::printf("memory: PSS of this process and its descendants\n");
  std::printf("   main window only:      %7.1f MiB in %d processes\n", base.pss_kib / 1024.0,
              base.processes);
  for (int k = 1; k <= 20; ++k) {
    OpenByClick(server.Url("/target.html?m-" + std::to_string(k)));
    PointAtLink(main);
    if (k != 1 && k != 5 && k != 20) continue;
    RunFor(kSettleMs);
    const Usage now = TreeUsage(getpid());
    std::printf("  %2d secondary windows: %7.1f MiB in %d processes, extra %5.1f MiB per window\n",
                k, now.pss_kib / 1024.0, now.processes, (now.pss_kib - base.pss_kib) / 1024.0 / k);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode != "time" && mode != "memory") {
    std::fprintf(stderr, "usage: %s time [RUNS] | memory\n", argv[0]);
    return 2;
  }
  if (!TApplication::StartToolkit()) Fail("no display");
  TestHttpServer server;
  server.AddHtml("/opener.html", kOpener);
  server.AddHtml("/target.html", TargetPage());
  TApplication application;
  Application = &application;
  TCppWebBrowser::SetDefaultHomePage(server.Url("/opener.html"));
  application.Initialize();
  application.SetTitle("Tavorin");
  application.CreateForm(FormHTML);
  FormHTML->show();
  if (!RunUntil([] { return Loaded(FormHTML, TCppWebBrowser::DefaultHomePage()); })) {
    Fail("no home page");
  }
  const int result = mode == "time" ? TimeMode(server, FormHTML, argc > 2 ? std::atoi(argv[2]) : 10)
                                    : MemoryMode(server, FormHTML);
  application.DestroyForms();
  return result;
}
