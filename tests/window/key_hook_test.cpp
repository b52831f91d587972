// Enter and the arrows, pressed for real through the display server, reach
// the focused page or control exactly once, in every window: one key-down
// and one key-up per press.
#include "history/history.h"
#include "platform/gtk_keyboard.h"
#include "store/history_store.h"
#include "tests/support/form_fixture.h"
#include "tests/support/key_input.h"  // last: the X headers define Button1 and more
#include "window/suggestion_list.h"

namespace {

using testsupport::FocusAnyWindow;
using testsupport::TypeKey;

constexpr char kKeyPage[] = R"html(<!doctype html>
<input id="box" autofocus onkeyup="if (event.key === 'Enter') sent.push(this.value)">
<script>
  window.log = [];
  window.sent = [];
  const note = (kind, e) => log.push([kind, e.key, e.code, e.isTrusted, e.shiftKey, e.ctrlKey].join(' '));
  document.addEventListener('keydown', e => note('down', e));
  document.addEventListener('keyup', e => note('up', e));
</script>)html";

struct KeyCase {
  guint keysym;
  const char* key;
  const char* code;
  // The code under Wayland: wtype gives each key the first place of its
  // keymap, Escape's. A replayed key its keymap lacks keeps its own place.
  const char* wayland_code;
  int swallowed;  // messages the hook keeps from the toolkit

  // What the page sees of one press.
  std::string Log(bool wayland) const {
    const std::string e =
        std::string(key) + " " + (wayland ? wayland_code : code) + " true false false";
    return "down " + e + "|up " + e;
  }
};

// A replayed key shows the page the replayed press and release only: the
// hook keeps the typed key-down and key-up both.
constexpr KeyCase kKeyCases[] = {
    {XK_Return, "Enter", "Enter", "Escape", 2},
    {XK_Left, "ArrowLeft", "ArrowLeft", "Escape", 2},
    {XK_Up, "ArrowUp", "ArrowUp", "Escape", 2},
    {XK_Right, "ArrowRight", "ArrowRight", "Escape", 2},
    {XK_Down, "ArrowDown", "ArrowDown", "Escape", 2},
    {XK_a, "a", "KeyA", "Escape", 0},
    // Keypad keys with NumLock off come back as the main keys.
    {XK_KP_Left, "ArrowLeft", "ArrowLeft", "ArrowLeft", 2},
    {XK_KP_Enter, "Enter", "Enter", "Enter", 2},
};

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
    TypeKey(keysym, modifier);
    RunFor(150);
  }

  // Loads the key page into `form` and puts the keyboard focus in its input.
  void FocusPage(TFormHTML* form) {
    form->EditURL->set_text(server_.Url("/keys.html"));
    form->ButtonOpenClick();
    ASSERT_TRUE(WaitForPage(form, server_.Url("/keys.html")));
    ASSERT_TRUE(FocusAnyWindow(form->gobj()));
    gtk_widget_grab_focus(GTK_WIDGET(form->CppWebBrowser1->View()));
    RunScript(form->CppWebBrowser1->View(), "document.getElementById('box').focus()");
    RunFor(100);
  }

  std::string Script(TFormHTML* form, const std::string& script) {
    return RunScript(form->CppWebBrowser1->View(), script).value_or("<failed>");
  }
  std::string Log(TFormHTML* form) { return Script(form, "log.join('|')"); }
  // The log without the codes, where the place of a key is not the point.
  std::string KeysSeen(TFormHTML* form) {
    return Script(form, "log.map(e => e.split(' ').filter((_, i) => i != 2).join(' ')).join('|')");
  }

  // One press of each key of the table, each seen by the page once.
  void ExpectEachKeyOnce(TFormHTML* form) {
    for (const KeyCase& c : kKeyCases) {
      SCOPED_TRACE(c.Log(false));
      Script(form, "log = []");
      swallowed_ = 0;
      Press(c.keysym);
      EXPECT_EQ(Log(form), c.Log(testsupport::OnWayland()));
      EXPECT_EQ(swallowed_, c.swallowed);
    }
  }

  // A key event put on GDK's queue as an input method puts back a key it did
  // not use: with its mark when `requeued`.
  void PutKeyEvent(guint keyval, bool press, bool requeued) {
    GdkEvent* key = gdk_event_new(press ? GDK_KEY_PRESS : GDK_KEY_RELEASE);
    GdkWindow* window = form_->get_window()->gobj();
    key->key.window = GDK_WINDOW(g_object_ref(window));
    key->key.keyval = keyval;
    GdkKeymapKey* keys = nullptr;
    gint n = 0;
    gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), keyval,
                                      &keys, &n);
    key->key.hardware_keycode = gdkkeys::KeycodeFromEntries(keyval, keys, n);
    g_free(keys);
    key->key.state = requeued ? 1u << 25 : 0;  // the input method's "already seen" mark
    key->key.time = GDK_CURRENT_TIME;
    gdk_event_set_device(
        key, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gdk_display_put_event(gdk_display_get_default(), key);
    gdk_event_free(key);
    RunFor(200);
  }

  // Under Wayland from a keymap that has the key last, as wtype's own.
  void PressLast(guint keysym) {
    if (!testsupport::OnWayland()) return Press(keysym);
    ASSERT_TRUE(testsupport::RunWtype({{keysym, true}, {keysym, false}}, false));
    RunFor(150);
  }

  int swallowed_ = 0;
};

TEST_F(KeyHookTest, EachKeyReachesThePageExactlyOnce) {
  FocusPage(form_);
  ExpectEachKeyOnce(form_);
}

TEST_F(KeyHookTest, SecondaryWindowsAreHandledTheSame) {
  auto* second = new TFormHTML(Application);
  second->move(320, 175);
  second->show();
  CountSwallowedKeys();  // the new window installed its own hook
  FocusPage(second);
  ExpectEachKeyOnce(second);
}

// Under X the page sees the modifier's own keys too; under Wayland wtype
// holds it without pressing a key.
TEST_F(KeyHookTest, HeldModifiersStayOnTheReplayedKey) {
  FocusPage(form_);
  Press(XK_Down, XK_Shift_L);
  EXPECT_NE(KeysSeen(form_).find("down ArrowDown true true false|up ArrowDown true true false"),
            std::string::npos)
      << KeysSeen(form_);
  Script(form_, "log = []");
  Press(XK_Left, XK_Control_L);
  EXPECT_NE(KeysSeen(form_).find("down ArrowLeft true false true|up ArrowLeft true false true"),
            std::string::npos)
      << KeysSeen(form_);
  EXPECT_EQ(swallowed_, 4);
}

TEST_F(KeyHookTest, AltArrowPassesUntouched) {
  FocusPage(form_);
  Press(XK_Left, XK_Alt_L);
  EXPECT_EQ(swallowed_, 0);
}

// A search box that searches, or a chat box that sends, when Enter is let go
// does so once; the arrows move the caret one place each.
TEST_F(KeyHookTest, PageFieldActsOncePerPress) {
  FocusPage(form_);
  Script(form_, "box.value = 'abcd'; box.setSelectionRange(4, 4)");
  Press(XK_Left);
  Press(XK_Left);
  Press(XK_Right);
  EXPECT_EQ(Script(form_, "box.selectionStart"), "3");
  Press(XK_Return);
  EXPECT_EQ(Script(form_, "JSON.stringify(sent)"), R"(["abcd"])");
}

// Each auto-repeat is one press and release; after the user lets go the
// page has seen the last key-up and no key-down after it.
TEST_F(KeyHookTest, HeldArrowEndsWithItsLastKeyUp) {
  FocusPage(form_);
  Script(form_, "box.value = 'x'.repeat(200); box.setSelectionRange(200, 200)");
  testsupport::HoldKey(XK_Left, 1500);
  RunFor(500);
  const std::string pairs =
      Script(form_,
             "log.every((e, i) => e.startsWith(i % 2 ? 'up ArrowLeft' : 'down ArrowLeft')) &&"
             " log.length % 2 == 0 ? log.length / 2 : 'not in pairs: ' + log.join('|')");
  EXPECT_GE(std::atoi(pairs.c_str()), 2) << pairs;
  EXPECT_EQ(Script(form_, "String(200 - box.selectionStart)"), pairs);
  EXPECT_EQ(Application->Keyboard().GetKeyState(VK_LEFT) & 0x8000, 0) << "left held";
}

TEST_F(KeyHookTest, AddressBoxEditsAndEnterNavigatesOnce) {
  ASSERT_TRUE(FocusAnyWindow(form_->gobj()));
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
  EXPECT_EQ(swallowed_, 10);
}

// From the page: Ctrl+L, typing and Enter in the address box load once.
TEST_F(KeyHookTest, CtrlLTypingAndEnterLoadOnce) {
  FocusPage(form_);
  const auto requests = server_.Requests().size();
  Press(XK_l, XK_Control_L);
  ASSERT_TRUE(form_->EditURL->has_focus());
  Press(XK_Right);  // from the selected address to its end
  Press(XK_x);
  Press(XK_Return);
  ASSERT_TRUE(RunUntil([&] { return server_.Requests().size() > requests; }));
  RunFor(500);
  ASSERT_EQ(server_.Requests().size(), requests + 1);
  EXPECT_EQ(server_.Requests().back(), "/keys.htmlx");
}

// wtype's keymap for one key has it last, where GDK's Wayland keymap finds
// nothing: the page, the suggestion list and the address box still take it.
TEST_F(KeyHookTest, KeysAVirtualKeymapHasLastStillAct) {
  if (!testsupport::OnWayland()) GTEST_SKIP() << "only a Wayland keymap can list no key";
  FocusPage(form_);
  Script(form_, "box.value = 'ab'");
  for (const KeyCase& c : {kKeyCases[0], kKeyCases[1]}) {
    Script(form_, "log = []");
    PressLast(c.keysym);
    EXPECT_EQ(Log(form_), c.Log(true));
  }
  EXPECT_EQ(Script(form_, "JSON.stringify(sent)"), R"(["ab"])");
}

// The list opens under the address box, wherever the display server lets a
// program place windows; Down chooses a row and Enter opens it, as Enter in
// the box opens what it holds. The search of the typed word, offered first,
// is what Enter does unchosen: the first Down goes to the first page.
TEST_F(KeyHookTest, SuggestionListAndAddressBoxTakeTheirKeys) {
  History()->RecordVisit(server_.Url("/offered"), "Cherry outlet");
  History()->Flush();
  ASSERT_TRUE(FocusAnyWindow(form_->gobj()));
  form_->EditURL->grab_focus();
  TSuggestionList& list = form_->Suggestions();
  list.ShowAddress("");
  testsupport::TypeText("cherr");
  ASSERT_TRUE(RunUntil([&] { return list.Popup().get_mapped(); }));
  int x = 0, y = 0, left = 0, top = 0, popup_x = 0, popup_y = 0;
  form_->EditURL->translate_coordinates(*form_, 0, form_->EditURL->get_allocated_height(), x, y);
  form_->get_window()->get_origin(left, top);
  list.Popup().get_window()->get_origin(popup_x, popup_y);
  // Only the compositor knows where windows are under Wayland.
  if (!testsupport::OnWayland()) {
    EXPECT_EQ(std::pair(popup_x, popup_y), std::pair(left + x, top + y));
  }
  ASSERT_EQ(list.Offered().size(), 2u);
  EXPECT_EQ(list.Offered()[0].title, "“cherr” を検索");
  EXPECT_EQ(list.Default(), 0);
  Press(XK_Down);
  EXPECT_EQ(list.Chosen(), 1);
  Press(XK_Down);
  Press(XK_Down);
  EXPECT_EQ(list.Chosen(), 1) << "past the end, the typed text, then the page again";
  Press(XK_Up);
  EXPECT_EQ(list.Chosen(), -1);
  Press(XK_Down);
  for (const char* path : {"/offered", "/typed"}) {
    PressLast(XK_Return);
    ASSERT_TRUE(RunUntil([&] { return server_.Requests().back() == path; }));
    form_->EditURL->grab_focus();
    list.ShowAddress(server_.Url("/typed"));
  }
}

TEST_F(KeyHookTest, EnterOnAFocusedButtonPressesItOnce) {
  ASSERT_TRUE(FocusAnyWindow(form_->gobj()));
  int clicks = 0;
  form_->BitBtn3->signal_clicked().connect([&] { ++clicks; });
  form_->BitBtn3->grab_focus();
  Press(XK_Return);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(swallowed_, 2);
}

// An input method's key passes the hook as it is: a key put back with the
// input method's mark, and a key-up whose key-down the input method kept.
TEST_F(KeyHookTest, KeysOfAnInputMethodAreNeitherReplayedNorKept) {
  FocusPage(form_);
  PutKeyEvent(GDK_KEY_Left, true, true);
  PutKeyEvent(GDK_KEY_Left, false, true);
  EXPECT_EQ(swallowed_, 0);
  EXPECT_EQ(KeysSeen(form_), "down ArrowLeft true false false|up ArrowLeft true false false");
  Script(form_, "log = []");
  PutKeyEvent(GDK_KEY_Return, false, false);
  EXPECT_EQ(swallowed_, 0);
  EXPECT_EQ(KeysSeen(form_), "up Enter true false false");
}

TEST_F(KeyHookTest, KeyMessagesCarryWhereThePointerWasLastSeen) {
  if (testsupport::OnWayland()) GTEST_SKIP() << "the compositor keeps the pointer";
  ASSERT_TRUE(FocusAnyWindow(form_->gobj()));
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
  EXPECT_EQ(KeysSeen(form_), "down ArrowRight true false false|up ArrowRight true false false");
}

}  // namespace
