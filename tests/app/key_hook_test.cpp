// Enter and the arrows, pressed for real through the X server, reach the
// focused page or control exactly once, in every window.
#include <X11/keysym.h>

#include "tests/app/form_fixture.h"
#include "tests/support/x_input.h"

namespace {

using testsupport::FakeKey;
using testsupport::FocusWindow;

constexpr char kKeyPage[] = R"html(<!doctype html>
<input id="box" autofocus>
<script>
  window.log = [];
  const note = (kind, e) => log.push([kind, e.key, e.code, e.isTrusted, e.shiftKey, e.ctrlKey].join(' '));
  document.addEventListener('keydown', e => note('down', e));
  document.addEventListener('keyup', e => note('up', e));
</script>)html";

class KeyHookTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    server_.AddHtml("/keys.html", kKeyPage);
    CountSwallowedKeys();
  }

  // Counts what the hook swallows, around the window's own hook.
  void CountSwallowedKeys() {
    Application->SetOnMessage([this](const MSG& msg, bool& handled) {
      TFormHTML::ApplicationMessage(msg, handled);
      if (handled) ++swallowed_;
    });
  }

  void Press(guint keysym, guint modifier = 0) {
    if (modifier != 0) FakeKey(modifier, true);
    FakeKey(keysym, true);
    FakeKey(keysym, false);
    if (modifier != 0) FakeKey(modifier, false);
    RunFor(150);
  }

  // Loads the key page into `form` and puts the keyboard focus in its input.
  void FocusPage(TFormHTML* form) {
    form->EditURL->set_text(server_.Url("/keys.html"));
    form->ButtonOpenClick();
    ASSERT_TRUE(WaitForPage(form, server_.Url("/keys.html")));
    ASSERT_TRUE(FocusWindow(form->gobj()));
    gtk_widget_grab_focus(GTK_WIDGET(form->CppWebBrowser1->View()));
    RunScript(form->CppWebBrowser1->View(), "document.getElementById('box').focus()");
    RunFor(100);
  }

  std::string Log(TFormHTML* form) {
    return RunScript(form->CppWebBrowser1->View(), "log.join('|')").value_or("");
  }

  int swallowed_ = 0;
};

TEST_F(KeyHookTest, EachKeyReachesThePageExactlyOnce) {
  FocusPage(form_);
  struct Case {
    guint keysym;
    guint modifier;
    const char* log;
    int swallowed;
    // The typed key-up is not swallowed, so a replayed key shows a second up.
    const char* typed_up;
  };
  const Case cases[] = {
      {XK_Return, 0, "down Enter Enter true false false|up Enter Enter true false false", 1,
       "up Enter Enter true false false"},
      {XK_Left, 0,
       "down ArrowLeft ArrowLeft true false false|up ArrowLeft ArrowLeft true false false", 1,
       "up ArrowLeft ArrowLeft true false false"},
      {XK_Up, 0, "down ArrowUp ArrowUp true false false|up ArrowUp ArrowUp true false false", 1,
       "up ArrowUp ArrowUp true false false"},
      {XK_Right, 0,
       "down ArrowRight ArrowRight true false false|up ArrowRight ArrowRight true false false", 1,
       "up ArrowRight ArrowRight true false false"},
      {XK_Down, 0,
       "down ArrowDown ArrowDown true false false|up ArrowDown ArrowDown true false false", 1,
       "up ArrowDown ArrowDown true false false"},
      {XK_a, 0, "down a KeyA true false false|up a KeyA true false false", 0, nullptr},
      // Keypad keys with NumLock off come back as the main keys.
      {XK_KP_Left, 0,
       "down ArrowLeft ArrowLeft true false false|up ArrowLeft ArrowLeft true false false", 1,
       "up ArrowLeft Numpad4 true false false"},
      {XK_KP_Enter, 0, "down Enter Enter true false false|up Enter Enter true false false", 1,
       "up Enter NumpadEnter true false false"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.log);
    RunScript(form_->CppWebBrowser1->View(), "log = []");
    swallowed_ = 0;
    Press(c.keysym, c.modifier);
    std::string log = Log(form_);
    EXPECT_EQ(log, c.typed_up ? std::string(c.log) + "|" + c.typed_up : std::string(c.log));
    EXPECT_EQ(swallowed_, c.swallowed);
  }
}

TEST_F(KeyHookTest, HeldModifiersStayOnTheReplayedKey) {
  FocusPage(form_);
  Press(XK_Down, XK_Shift_L);
  EXPECT_NE(Log(form_).find("down ArrowDown ArrowDown true true false"), std::string::npos)
      << Log(form_);
  RunScript(form_->CppWebBrowser1->View(), "log = []");
  Press(XK_Left, XK_Control_L);
  EXPECT_NE(Log(form_).find("down ArrowLeft ArrowLeft true false true"), std::string::npos)
      << Log(form_);
  EXPECT_EQ(swallowed_, 2);
}

TEST_F(KeyHookTest, AltArrowPassesUntouched) {
  FocusPage(form_);
  Press(XK_Left, XK_Alt_L);
  EXPECT_EQ(swallowed_, 0);
}

TEST_F(KeyHookTest, AddressBoxEditsAndEnterNavigatesOnce) {
  ASSERT_TRUE(FocusWindow(form_->gobj()));
  form_->EditURL->grab_focus();
  form_->EditURL->set_text(server_.Url("/ac"));
  form_->EditURL->set_position(-1);
  const auto requests = server_.Requests().size();
  Press(XK_Left);
  Press(XK_b);
  Press(XK_Left);
  Press(XK_Left);
  Press(XK_Right);
  Press(XK_x);
  Press(XK_Return);
  RunFor(300);
  EXPECT_EQ(form_->EditURL->get_text(), server_.Url("/axbc"));
  ASSERT_EQ(server_.Requests().size(), requests + 1);
  EXPECT_EQ(server_.Requests().back(), "/axbc");
  EXPECT_EQ(swallowed_, 5);
}

TEST_F(KeyHookTest, EnterOnAFocusedButtonPressesItOnce) {
  ASSERT_TRUE(FocusWindow(form_->gobj()));
  int clicks = 0;
  form_->BitBtn3->signal_clicked().connect([&] { ++clicks; });
  form_->BitBtn3->grab_focus();
  Press(XK_Return);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(swallowed_, 1);
}

TEST_F(KeyHookTest, RequeuedKeyFromAnInputMethodIsNotReplayedAgain) {
  FocusPage(form_);
  GdkEvent* key = gdk_event_new(GDK_KEY_PRESS);
  GdkWindow* window = form_->get_window()->gobj();
  key->key.window = GDK_WINDOW(g_object_ref(window));
  key->key.keyval = GDK_KEY_Left;
  GdkKeymapKey* keys = nullptr;
  gint n = 0;
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()),
                                    GDK_KEY_Left, &keys, &n);
  ASSERT_GT(n, 0);
  key->key.hardware_keycode = keys[0].keycode;
  g_free(keys);
  key->key.state = 1u << 25;  // the input method's "already seen" mark
  key->key.time = GDK_CURRENT_TIME;
  gdk_event_set_device(
      key, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
  gdk_display_put_event(gdk_display_get_default(), key);
  gdk_event_free(key);
  RunFor(200);
  EXPECT_EQ(swallowed_, 0);
  EXPECT_EQ(Log(form_), "down ArrowLeft ArrowLeft true false false");
}

TEST_F(KeyHookTest, KeyMessagesCarryWhereThePointerWasLastSeen) {
  ASSERT_TRUE(FocusWindow(form_->gobj()));
  int x = 0, y = 0;
  form_->get_window()->get_origin(x, y);
  testsupport::MovePointer(x + 300, y + 300);
  RunFor(100);
  std::vector<POINT> seen;
  Application->SetOnMessage([&](const MSG& msg, bool&) {
    if (msg.message == WM_KEYDOWN) seen.push_back(msg.pt);
  });
  Press(XK_a);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].x, x + 300);
  EXPECT_EQ(seen[0].y, y + 300);
}

TEST_F(KeyHookTest, HookOutlivesTheWindowThatInstalledIt) {
  delete new TFormHTML(Application);  // its hook stays installed after it is gone
  FocusPage(form_);
  Press(XK_Right);
  EXPECT_EQ(Log(form_),
            "down ArrowRight ArrowRight true false false|up ArrowRight ArrowRight true false false|"
            "up ArrowRight ArrowRight true false false");
}

TEST_F(KeyHookTest, SecondaryWindowsAreHandledTheSame) {
  auto* second = new TFormHTML(Application);
  second->move(320, 175);
  second->show();
  CountSwallowedKeys();  // the new window installed its own hook
  FocusPage(second);
  Press(XK_Up);
  EXPECT_EQ(Log(second),
            "down ArrowUp ArrowUp true false false|up ArrowUp ArrowUp true false false|"
            "up ArrowUp ArrowUp true false false");
  EXPECT_EQ(swallowed_, 1);
}

}  // namespace
