// The player's own cost per character of key string. The reference replays
// the very same key events straight into the recorder, each followed by the
// same drain, so the ratio is what parsing and bookkeeping add to the
// services. A per-character cost that stays flat from 1000 to 100000
// characters shows linear growth.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "keys/sndkey32.h"
#include "platform/keyboard.h"
#include "tests/keys/keyboard_recorder.h"

namespace {

constexpr const char* kUnits[] = {"ab", "{LEFT}", "+c", "~", "(de)", "^x", "{DOWN 2}", "{{}"};

std::string KeyString(std::size_t length) {
  std::string keys;
  for (std::size_t i = 0;; ++i) {
    const std::string unit = kUnits[i % std::size(kUnits)];
    if (keys.size() + unit.size() > length) break;
    keys += unit;
  }
  keys.append(length - keys.size(), 'a');
  return keys;
}

void Drain() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void PerCharacter(benchmark::State& state, std::size_t length) {
  state.counters["per_char"] = benchmark::Counter(
      static_cast<double>(length),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SendKeys(benchmark::State& state) {
  const std::string keys = KeyString(static_cast<std::size_t>(state.range(0)));
  KeyboardRecorder recorder;
  recorder.keep_log = false;
  for (auto _ : state) {
    recorder.Clear();
    benchmark::DoNotOptimize(SendKeys(keys.c_str(), true));
  }
  PerCharacter(state, keys.size());
}

void BM_ServicesOnly(benchmark::State& state) {
  const std::string keys = KeyString(static_cast<std::size_t>(state.range(0)));
  KeyboardRecorder recorder;
  SendKeys(keys.c_str(), true);
  const std::vector<KeyboardRecorder::KeyEvent> events = recorder.KeyEvents();
  recorder.keep_log = false;
  for (auto _ : state) {
    recorder.Clear();
    for (const KeyboardRecorder::KeyEvent& e : events) {
      keybd_event(e.vk, e.scan, e.flags, 0);
      Drain();
    }
  }
  PerCharacter(state, keys.size());
}

BENCHMARK(BM_SendKeys)->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(BM_ServicesOnly)->Arg(10)->Arg(1000)->Arg(100000);

// Prints, after the usual table, each size's cost against the reference
// and against the 1000-character run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration)
        times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    for (const char* n : {"10", "1000", "100000"}) {
      const double player = Time("BM_SendKeys/", n);
      const double reference = Time("BM_ServicesOnly/", n);
      const double length = std::stod(n);
      if (player <= 0 || reference <= 0) continue;
      const double per_char = player / length;
      std::printf(
          "%7s chars: %7.2f ns/char (own %6.2f), %.2fx the services alone, %.2fx the "
          "per-char cost at 1000\n",
          n, per_char, (player - reference) / length, player / reference,
          per_char / (Time("BM_SendKeys/", "1000") / 1000));
    }
  }

 private:
  double Time(const std::string& name, const std::string& arg) const {
    const auto it = times_.find(name + arg);
    return it == times_.end() ? 0 : it->second;
  }

  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
