// 10000 presses and releases of Down delivered into a focused Gtk::Entry:
// played through the GTK-backed services (keybd_event and the drain, as the
// keystroke player does), by SendKeys("{DOWN 10000}") itself, and, as the
// reference, the same key events prepared beforehand and handed straight to
// gtk_main_do_event. The ratios say what the services and the player add.
#include <benchmark/benchmark.h>
#include <gdk/gdkkeysyms.h>
#include <gtkmm/entry.h>
#include <gtkmm/main.h>
#include <gtkmm/window.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "keys/sndkey32.h"
#include "platform/gtk_keyboard.h"
#include "tests/support/main_loop.h"
#include "tests/support/x_input.h"

namespace {

constexpr int kPairs = 10000;
constexpr double kEvents = 2.0 * kPairs;

struct Scene {
  Gtk::Window window;
  Gtk::Entry entry;
  GtkKeyboardServices services;

  bool Focus() {
    window.set_default_size(320, 80);
    window.add(entry);
    if (!testsupport::FocusWindow(window.gobj())) return false;
    entry.grab_focus();
    testsupport::RunPending(20);
    return entry.has_focus();
  }
};

Scene* g_scene = nullptr;

void Drain() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

GdkEvent* DownEvent(GdkEventType type, GdkWindow* window, guint16 keycode) {
  GdkEvent* event = gdk_event_new(type);
  event->key.window = GDK_WINDOW(g_object_ref(window));
  event->key.time = static_cast<guint32>(g_get_monotonic_time() / 1000);
  event->key.keyval = GDK_KEY_Down;
  event->key.string = g_strdup("");
  event->key.hardware_keycode = keycode;
  gdk_event_set_device(
      event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
  return event;
}

// Lets redraws and the like run outside the timed part, and checks that the
// keys still go where they should.
bool Settle(benchmark::State& state) {
  state.PauseTiming();
  testsupport::RunPending(5);
  const bool focused = g_scene->entry.has_focus();
  state.ResumeTiming();
  if (!focused) state.SkipWithError("the entry lost the focus");
  return focused;
}

void Count(benchmark::State& state) {
  state.counters["events_per_s"] =
      benchmark::Counter(kEvents, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DirectToGtk(benchmark::State& state) {
  GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(g_scene->window.gobj()));
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()),
                                    GDK_KEY_Down, &keys, &count);
  const auto keycode = static_cast<guint16>(count > 0 ? keys[0].keycode : 0);
  g_free(keys);
  std::vector<GdkEvent*> events;
  for (int i = 0; i < kPairs; ++i) {
    events.push_back(DownEvent(GDK_KEY_PRESS, window, keycode));
    events.push_back(DownEvent(GDK_KEY_RELEASE, window, keycode));
  }
  for (auto _ : state) {
    for (GdkEvent* e : events) gtk_main_do_event(e);
    if (!Settle(state)) break;
  }
  for (GdkEvent* e : events) gdk_event_free(e);
  Count(state);
}

void BM_PlayedThroughServices(benchmark::State& state) {
  const auto scan = static_cast<BYTE>(MapVirtualKeyA(VK_DOWN, 0));
  for (auto _ : state) {
    for (int i = 0; i < kPairs; ++i) {
      keybd_event(VK_DOWN, scan, KEYEVENTF_EXTENDEDKEY, 0);
      Drain();
      keybd_event(VK_DOWN, scan, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
      Drain();
    }
    if (!Settle(state)) break;
  }
  Count(state);
}

void BM_SendKeysDown10000(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(SendKeys("{DOWN 10000}", true));
    if (!Settle(state)) break;
  }
  Count(state);
}

BENCHMARK(BM_DirectToGtk)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlayedThroughServices)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SendKeysDown10000)->Unit(benchmark::kMillisecond)->UseRealTime();

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        times_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    const double reference = Time("BM_DirectToGtk");
    if (reference <= 0) return;
    for (const char* name :
         {"BM_DirectToGtk", "BM_PlayedThroughServices", "BM_SendKeysDown10000"}) {
      const double ms = Time(name);
      if (ms <= 0) continue;
      std::printf("%-26s %10.0f events/s  %5.2fx the time of the direct delivery\n", name,
                  kEvents / (ms / 1000.0), ms / reference);
    }
  }

 private:
  double Time(const std::string& name) const {
    const auto it = times_.find(name);
    return it == times_.end() ? 0 : it->second;
  }

  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  g_setenv("GTK_IM_MODULE", "gtk-im-context-simple", TRUE);
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "no X display: run under xvfb-run -a\n");
    return 1;
  }
  Gtk::Main::init_gtkmm_internals();
  g_object_set(gtk_settings_get_default(), "gtk-error-bell", FALSE, nullptr);
  auto scene = std::make_unique<Scene>();
  if (!scene->Focus()) {
    std::fprintf(stderr, "the window never got the keyboard focus\n");
    return 1;
  }
  g_scene = scene.get();
  SetKeyboardServices(&scene->services);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  SetKeyboardServices(nullptr);
  g_scene = nullptr;
  benchmark::Shutdown();
  return 0;
}
