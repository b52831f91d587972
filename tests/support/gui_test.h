// Start-up shared by the tests that need the toolkit: the application object
// is made once per test binary, as the program makes it, and tests wait on the
// real main loop.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/application.h"
#include "tests/support/main_loop.h"
#include "tests/support/private_folders.h"

// The engine's loads want a longer wait than the toolkit's own events.
inline bool RunUntil(const std::function<bool()>& done, int timeout_ms = 10000) {
  return testsupport::RunUntil(done, timeout_ms);
}

// Lets the main loop run for a while, for things that must NOT happen.
inline void RunFor(int ms) { testsupport::RunPending(ms); }

// Waits until `view` shows `url` and has finished loading it.
inline bool WaitForLoad(WebKitWebView* view, const std::string& url, int timeout_ms = 10000) {
  return RunUntil(
      [&] {
        const gchar* uri = webkit_web_view_get_uri(view);
        return uri != nullptr && url == uri && !webkit_web_view_is_loading(view);
      },
      timeout_ms);
}

// Runs `script` in the page of `view`; its result as text, or nothing when it
// failed or did not finish in time. The outcome is shared with the callback,
// which may still come after the wait gave up.
inline std::optional<std::string> RunScript(WebKitWebView* view, const std::string& script) {
  struct Outcome {
    bool done = false;
    std::optional<std::string> text;
  };
  auto outcome = std::make_shared<Outcome>();
  auto finished = [](GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<std::shared_ptr<Outcome>> held(static_cast<std::shared_ptr<Outcome>*>(data));
    JSCValue* value =
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
    if (value != nullptr) {
      gchar* text = jsc_value_to_string(value);
      (*held)->text = text;
      g_free(text);
      g_object_unref(value);
    }
    (*held)->done = true;
  };
  webkit_web_view_evaluate_javascript(view, script.c_str(), -1, nullptr, nullptr, nullptr, finished,
                                      new std::shared_ptr<Outcome>(outcome));
  if (!RunUntil([&] { return outcome->done; }, 5000)) return std::nullopt;
  return outcome->text;
}

class GuiEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    g_setenv("NO_AT_BRIDGE", "1", TRUE);  // no accessibility bus to talk to
    // What pages store goes to a profile of the binary's own, never the user's.
    profile_root_ = testsupport::PrivateFolders();
    if (!TApplication::StartToolkit()) GTEST_FAIL() << "no display";
    Application = new TApplication();
    Application->Initialize();
    Application->SetTitle("Tavorin");
  }
  void TearDown() override {
    delete Application;
    testsupport::RemoveTree(profile_root_);
  }

 private:
  std::string profile_root_;
};

// A main for GUI test binaries.
#define TAVORIN_GUI_TEST_MAIN()                                \
  int main(int argc, char** argv) {                            \
    ::testing::InitGoogleTest(&argc, argv);                    \
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment()); \
    return RUN_ALL_TESTS();                                    \
  }
