// Opening the settings window, against opening the history window in the same
// run: from the call that opens it to its first frame drawn, a fresh window
// each time, alternating. Run under an X server (xvfb-run -a).
//
//   settings_bench [ROUNDS]   medians, p95 and their ratio; the goal is the
//                             settings window drawn within 100 ms
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "history/history_window.h"
#include "platform/application.h"
#include "settings/settings_window.h"
#include "tests/support/main_loop.h"
#include "tests/support/private_folders.h"

namespace {

using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(values.size()));
  return values[std::min(rank, values.size() - 1)];
}

// Milliseconds from `open` to the first frame of the window it returns; the
// window is forgotten by `asker` first, so that it is made again.
double Opening(Gtk::Window& asker, const char* key, const std::function<Gtk::Window&()>& open) {
  g_object_set_data(G_OBJECT(asker.gobj()), key, nullptr);  // deletes the last one
  testsupport::RunPending(20);
  bool drawn = false;
  const Clock::time_point start = Clock::now();
  Gtk::Window& window = open();
  window.signal_draw().connect(
      [&drawn](const Cairo::RefPtr<Cairo::Context>&) {
        drawn = true;
        return false;
      },
      false);
  if (!testsupport::RunUntil([&] { return drawn; }, 5000)) return -1;
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  window.hide();
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 30;
  const std::string root = testsupport::PrivateFolders();
  if (!TApplication::StartToolkit()) {
    std::fprintf(stderr, "settings_bench: no X display: run under xvfb-run -a\n");
    return 1;
  }
  TApplication application;
  Application = &application;
  Application->Initialize();
  Gtk::Window asker;
  asker.show();
  testsupport::RunPending(100);
  std::vector<double> settings, history;
  auto open_settings = [&]() -> Gtk::Window& {
    return OpenSettingsWindow(asker, [] { return std::string("https://example.jp/"); });
  };
  auto open_history = [&]() -> Gtk::Window& {
    return OpenHistoryWindow(asker, nullptr, nullptr, [](const std::string&) {});
  };
  // The first of each also loads the theme's parts for it and asks the
  // desktop's handlers (GIO reads every desktop entry); said apart.
  const double first_settings = Opening(asker, "tavorin-settings-window", open_settings);
  const double first_history = Opening(asker, "tavorin-history-window", open_history);
  for (int i = 0; i < rounds; ++i) {
    settings.push_back(Opening(asker, "tavorin-settings-window", open_settings));
    history.push_back(Opening(asker, "tavorin-history-window", open_history));
    if (settings.back() < 0 || history.back() < 0) {
      std::fprintf(stderr, "settings_bench: a window was not drawn\n");
      return 1;
    }
  }
  const double s50 = Percentile(settings, 0.5), h50 = Percentile(history, 0.5);
  std::printf("settings_bench: %d rounds, each window made anew, to its first frame\n", rounds);
  std::printf("  settings window  p50 %6.2f ms  p95 %6.2f ms  (goal <= 100 ms: %s)\n", s50,
              Percentile(settings, 0.95), Percentile(settings, 0.95) <= 100 ? "met" : "NOT met");
  std::printf("  history window   p50 %6.2f ms  p95 %6.2f ms\n", h50, Percentile(history, 0.95));
  std::printf("  ratio settings / history at p50: %.2f\n", s50 / h50);
  std::printf("  the first of the run: settings %.2f ms, history %.2f ms\n", first_settings,
              first_history);
  g_object_set_data(G_OBJECT(asker.gobj()), "tavorin-settings-window", nullptr);
  g_object_set_data(G_OBJECT(asker.gobj()), "tavorin-history-window", nullptr);
  testsupport::RemoveTree(root);
  return 0;
}
