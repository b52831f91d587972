// The inspector and the page menu's own items in a real window: F12 and
// Ctrl+Shift+I open the engine's inspector, the page menu offers
// "ページの情報" and "要素を調査", the setting developer-tools takes all
// three away, and Enter and the arrows, played again by the key hook, work
// in the inspector's console.
#include <string>
#include <vector>

#include "browser/developer_tools.h"
#include "page_info/page_info_window.h"
#include "tests/support/navigation_support.h"

// Last: the X headers define None and more.
#include "tests/support/key_input.h"

namespace {

using testsupport::SendKeySteps;
using testsupport::TypeKey;

class PageToolsTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    server_.AddHtml("/page", "<title>page</title><body style='height:600px'>page</body>");
    form_->EditURL->set_text(server_.Url("/page"));
    form_->ButtonOpen->clicked();
    ASSERT_TRUE(WaitForPage(form_, server_.Url("/page")));
    ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
  }
  void TearDown() override {
    webkit_web_inspector_close(Inspector());
    RunFor(200);
    SetDeveloperTools(true);
    FormTest::TearDown();
  }
  WebKitWebView* View() { return form_->CppWebBrowser1->View(); }
  WebKitWebInspector* Inspector() { return webkit_web_view_get_inspector(View()); }
  bool InspectorOpen() { return webkit_web_inspector_get_web_view(Inspector()) != nullptr; }
};

struct Chord {
  const char* name;
  std::vector<guint> keys;  // pressed in order, let go in reverse
};

void Play(const Chord& chord) {
  std::vector<testsupport::KeyStep> steps;
  for (guint key : chord.keys) steps.push_back({key, true});
  for (auto key = chord.keys.rbegin(); key != chord.keys.rend(); ++key)
    steps.push_back({*key, false});
  SendKeySteps(steps);
}

const Chord kInspectorKeys[] = {{"F12", {GDK_KEY_F12}},
                                {"Ctrl+Shift+I", {GDK_KEY_Control_L, GDK_KEY_Shift_L, GDK_KEY_i}}};

TEST_F(PageToolsTest, TheInspectorKeysOpenItOnlyWhileTheDeveloperToolsAreOn) {
  for (bool enabled : {true, false}) {
    SetDeveloperTools(enabled);
    for (const Chord& chord : kInspectorKeys) {
      SCOPED_TRACE(std::string(chord.name) + (enabled ? " on" : " off"));
      ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
      Play(chord);
      if (enabled) {
        EXPECT_TRUE(RunUntil([&] { return InspectorOpen(); }));
      } else {
        RunFor(500);
        EXPECT_FALSE(InspectorOpen());
      }
      webkit_web_inspector_close(Inspector());
      ASSERT_TRUE(RunUntil([&] { return !InspectorOpen(); }));
    }
  }
}

TEST_F(PageToolsTest, ThePageMenuOffersPageInformationAndTheInspectorUnlessTheToolsAreOff) {
  for (bool enabled : {true, false}) {
    SCOPED_TRACE(enabled ? "on" : "off");
    SetDeveloperTools(enabled);
    ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
    std::map<std::string, Gtk::MenuItem*> items = navtest::OpenPageMenu(View());
    ASSERT_TRUE(items.contains("ページの情報"));
    EXPECT_EQ(items.contains("要素を調査"), enabled);
    EXPECT_FALSE(items.contains("Inspect Element")) << "the engine's own, in English";
    if (enabled) {
      items["要素を調査"]->activate();
      EXPECT_TRUE(RunUntil([&] { return InspectorOpen(); }));
      webkit_web_inspector_close(Inspector());
      ASSERT_TRUE(RunUntil([&] { return !InspectorOpen(); }));
    } else {
      items["ページの情報"]->activate();
      EXPECT_TRUE(RunUntil([] { return testsupport::ShownWindow<TPageInfoWindow>() != nullptr; }));
    }
    TypeKey(GDK_KEY_Escape);
    RunFor(200);
  }
}

// Keys typed into the inspector's console reach it: letters as typed, Enter
// and the arrows as played again by the window's key hook.
TEST_F(PageToolsTest, TypingInTheInspectorsConsoleRunsWhatWasTyped) {
  Play(kInspectorKeys[0]);
  ASSERT_TRUE(RunUntil([&] { return InspectorOpen(); }));
  // Where the engine puts it: docked in the page's window, or a window of its own.
  GtkWindow* window = nullptr;
  ASSERT_TRUE(RunUntil([&] {
    auto* inspector = GTK_WIDGET(webkit_web_inspector_get_web_view(Inspector()));
    GtkWidget* top = inspector != nullptr ? gtk_widget_get_toplevel(inspector) : nullptr;
    window = top != nullptr && GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr;
    return window != nullptr && window != form_->gobj();
  })) << "a window of its own";
  auto* inspector = GTK_WIDGET(webkit_web_inspector_get_web_view(Inspector()));
  ASSERT_TRUE(testsupport::FocusWindow(window));
  RunFor(4000);  // its pages load
  gtk_widget_grab_focus(inspector);
  TypeKey(GDK_KEY_Escape);  // the console under the inspector, its prompt focused
  RunFor(1000);
  testsupport::TypeText("document");
  TypeKey(GDK_KEY_period);
  testsupport::TypeText("title");
  TypeKey(GDK_KEY_equal);
  testsupport::TypeText("42");
  RunFor(300);
  TypeKey(GDK_KEY_Return);
  EXPECT_TRUE(RunUntil([&] { return RunScript(View(), "document.title") == "42"; }));
  ASSERT_TRUE(RunScript(View(), "document.title = 'again'; 1"));
  TypeKey(GDK_KEY_Up);  // the last command back in the prompt
  RunFor(300);
  TypeKey(GDK_KEY_Return);
  EXPECT_TRUE(RunUntil([&] { return RunScript(View(), "document.title") == "42"; }));
}

}  // namespace
