// Start-up shared by the tests that need the toolkit: the application object
// is made once per test binary, as the program makes it, and tests wait on the
// real main loop.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <functional>
#include <string>

#include "platform/application.h"

// Runs the main loop until `done` or the timeout; returns `done()`.
inline bool RunUntil(const std::function<bool()>& done, int timeout_ms = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    g_main_context_iteration(nullptr, FALSE);
    if (!g_main_context_pending(nullptr)) g_usleep(1000);
  }
  return true;
}

// Lets the main loop run for a while, for things that must NOT happen.
inline void RunFor(int ms) {
  RunUntil([] { return false; }, ms);
}

// Runs `script` in the page and returns its result as a string.
inline std::string EvalString(WebKitWebView* view, const char* script) {
  std::string result;
  bool done = false;
  struct Ctx {
    std::string* out;
    bool* done;
  } ctx{&result, &done};
  webkit_web_view_evaluate_javascript(
      view, script, -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* res, gpointer data) {
        auto* c = static_cast<Ctx*>(data);
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), res, nullptr);
        if (value != nullptr) {
          gchar* s = jsc_value_to_string(value);
          *c->out = s;
          g_free(s);
          g_object_unref(value);
        }
        *c->done = true;
      },
      &ctx);
  RunUntil([&] { return done; });
  return result;
}

class GuiEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!TApplication::StartToolkit()) GTEST_FAIL() << "no display";
    Application = new TApplication();
    Application->Initialize();
    Application->SetTitle("Tavorin");
  }
  void TearDown() override { delete Application; }
};

// A main for GUI test binaries.
#define TAVORIN_GUI_TEST_MAIN()                                \
  int main(int argc, char** argv) {                            \
    ::testing::InitGoogleTest(&argc, argv);                    \
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment()); \
    return RUN_ALL_TESTS();                                    \
  }
