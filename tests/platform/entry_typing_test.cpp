// Keys played through the GTK-backed services, drained the way the keystroke
// player drains them, reach a focused Gtk::Entry as real key events.
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "tests/platform/platform_fixture.h"

namespace platformtest {
namespace {

struct SeenKey {
  guint keyval;
  guint state;
  guint16 keycode;
};

class EntryTypingTest : public EntryWindowTest {
 protected:
  void SetUp() override {
    EntryWindowTest::SetUp();
    w_.entry.signal_activate().connect([this] { ++activations_; });
    w_.entry.signal_key_press_event().connect(
        [this](GdkEventKey* e) {
          pressed_.push_back({e->keyval, static_cast<guint>(e->state), e->hardware_keycode});
          return false;
        },
        false);
  }

  void SetText(const char* text, int cursor) {
    w_.entry.set_text(text);
    w_.entry.set_position(cursor);
  }
  std::pair<int, int> Selection() {
    int start = 0;
    int end = 0;
    w_.entry.get_selection_bounds(start, end);
    return {start, end};
  }

  int activations_ = 0;
  std::vector<SeenKey> pressed_;
};

TEST_F(EntryTypingTest, LettersAreTypedOnceEachWithTheirCase) {
  PlayTap(services_, 'A');
  Play(services_, VK_SHIFT, true);
  PlayTap(services_, 'B');
  Play(services_, VK_SHIFT, false);
  PlayTap(services_, 'C');
  testsupport::RunPending();
  EXPECT_EQ(w_.entry.get_text(), "aBc");
  EXPECT_EQ(w_.entry.get_position(), 3);
}

TEST_F(EntryTypingTest, PlayedKeysCarryARealKeycode) {
  PlayTap(services_, VK_LEFT, true);
  PlayTap(services_, VK_RETURN);
  ASSERT_EQ(pressed_.size(), 2u);
  for (const SeenKey& k : pressed_) EXPECT_NE(k.keycode, 0);
  EXPECT_EQ(pressed_[0].keyval, static_cast<guint>(GDK_KEY_Left));
  EXPECT_EQ(pressed_[1].keyval, static_cast<guint>(GDK_KEY_Return));
}

TEST_F(EntryTypingTest, ShiftQueuedWithTheKeyShowsInItsEventState) {
  // Nothing is drained until Shift is released again: the key still carries
  // the Shift that was held when it was queued.
  const BYTE scan_shift = static_cast<BYTE>(services_.MapVirtualKeyA(VK_SHIFT, 0));
  const BYTE scan_a = static_cast<BYTE>(services_.MapVirtualKeyA('A', 0));
  services_.keybd_event(VK_SHIFT, scan_shift, 0, 0);
  services_.keybd_event('A', scan_a, 0, 0);
  services_.keybd_event('A', scan_a, KEYEVENTF_KEYUP, 0);
  services_.keybd_event(VK_SHIFT, scan_shift, KEYEVENTF_KEYUP, 0);
  Drain(services_);
  ASSERT_EQ(pressed_.size(), 2u);
  EXPECT_EQ(pressed_[0].keyval, static_cast<guint>(GDK_KEY_Shift_L));
  EXPECT_EQ(pressed_[0].state & GDK_SHIFT_MASK, 0u) << "the state before the key, as X reports";
  EXPECT_EQ(pressed_[1].keyval, static_cast<guint>(GDK_KEY_A));
  EXPECT_NE(pressed_[1].state & GDK_SHIFT_MASK, 0u);
  EXPECT_EQ(w_.entry.get_text(), "A");
}

TEST_F(EntryTypingTest, LeftMovesTheCursorOnePlace) {
  SetText("abc", 3);
  PlayTap(services_, VK_LEFT, true);
  EXPECT_EQ(w_.entry.get_position(), 2);
  EXPECT_EQ(Selection(), std::make_pair(2, 2));
}

TEST_F(EntryTypingTest, KeypadLeftMovesTheCursorToo) {
  SetText("abc", 3);
  PlayTap(services_, VK_LEFT, false);
  ASSERT_FALSE(pressed_.empty());
  EXPECT_EQ(pressed_[0].keyval, static_cast<guint>(GDK_KEY_KP_Left));
  EXPECT_EQ(w_.entry.get_position(), 2);
}

TEST_F(EntryTypingTest, PlayedShiftLeftSelects) {
  SetText("abc", 3);
  Play(services_, VK_SHIFT, true);
  PlayTap(services_, VK_LEFT, true);
  Play(services_, VK_SHIFT, false);
  EXPECT_EQ(Selection(), std::make_pair(2, 3));
}

TEST_F(EntryTypingTest, ShiftHeldByTheUserSelectsWithAPlayedLeft) {
  SetText("abc", 3);
  RealKeyTap tap(&services_);
  ASSERT_NE(tap.Send(GDK_KEY_Shift_L, true), nullptr);
  PlayTap(services_, VK_LEFT, true);
  ASSERT_NE(tap.Send(GDK_KEY_Shift_L, false), nullptr);
  EXPECT_EQ(Selection(), std::make_pair(2, 3));
  EXPECT_GE(services_.GetKeyState(VK_SHIFT), 0) << "the real release is noted";
}

TEST_F(EntryTypingTest, CtrlASelectsAll) {
  SetText("abc", 1);
  Play(services_, VK_CONTROL, true);
  PlayTap(services_, 'A');
  Play(services_, VK_CONTROL, false);
  EXPECT_EQ(w_.entry.get_text(), "abc");
  EXPECT_EQ(Selection(), std::make_pair(0, 3));
}

TEST_F(EntryTypingTest, EnterActivatesOnceAndTypesNothing) {
  SetText("abc", 3);
  PlayTap(services_, VK_RETURN);
  testsupport::RunPending();
  EXPECT_EQ(activations_, 1);
  EXPECT_EQ(w_.entry.get_text(), "abc");
}

TEST_F(EntryTypingTest, KeypadEnterActivatesToo) {
  PlayTap(services_, VK_RETURN, true);
  testsupport::RunPending();
  EXPECT_EQ(activations_, 1);
  ASSERT_FALSE(pressed_.empty());
  EXPECT_EQ(pressed_[0].keyval, static_cast<guint>(GDK_KEY_KP_Enter));
}

TEST_F(EntryTypingTest, NumLockToggleShowsAsMod2) {
  std::array<BYTE, 256> state{};
  services_.GetKeyboardState(state.data());
  state[VK_NUMLOCK] |= 0x01;
  services_.SetKeyboardState(state.data());
  PlayTap(services_, VK_END, true);
  ASSERT_EQ(pressed_.size(), 1u);
  EXPECT_NE(pressed_[0].state & GDK_MOD2_MASK, 0u);
}

TEST_F(EntryTypingTest, PlayedKeysDoNotPassTheEventHandler) {
  RealKeyTap tap(&services_);
  PlayTap(services_, 'A');
  testsupport::RunPending();
  EXPECT_EQ(tap.size(), 0u);
  ASSERT_NE(tap.Send(GDK_KEY_b, true), nullptr);
  ASSERT_NE(tap.Send(GDK_KEY_b, false), nullptr);
  EXPECT_EQ(tap.size(), 2u);
  EXPECT_EQ(w_.entry.get_text(), "ab");
}

// A keymap that lists no key for a keyval, as a virtual keyboard's may under
// Wayland: TRUE with no entry and no array.
gboolean NoEntries(GdkKeymap*, guint, GdkKeymapKey** keys, gint* count) {
  *keys = nullptr;
  *count = 0;
  return TRUE;
}

struct UnlistedKeyCase {
  BYTE vk;
  bool extended;
  guint keyval;
  guint16 arrived;  // where the real key came from last; 0 for never
  guint16 keycode;  // where the played one comes from
  int position;     // of the cursor, from after the "a" of "abc"
  int activations;
};

class UnlistedKeyTest : public EntryTypingTest,
                        public ::testing::WithParamInterface<UnlistedKeyCase> {};

// The keypad's places (104, 83) stand for a place the keymap may not list.
TEST_P(UnlistedKeyTest, PlayedKeyActsFromWhereItCameLastElseItsStandardPlace) {
  const UnlistedKeyCase& c = GetParam();
  GtkKeyboardServices unlisted(NoEntries);
  GdkEventKey real{};
  real.type = GDK_KEY_RELEASE;
  real.keyval = c.keyval;
  real.hardware_keycode = c.arrived;
  if (c.arrived != 0) unlisted.NoteKeyEvent(&real);
  SetText("abc", 1);
  PlayTap(unlisted, c.vk, c.extended);
  testsupport::RunPending();
  ASSERT_EQ(pressed_.size(), 1u);
  EXPECT_EQ(pressed_[0].keyval, c.keyval);
  EXPECT_EQ(pressed_[0].keycode, c.keycode);
  EXPECT_EQ(w_.entry.get_position(), c.position);
  EXPECT_EQ(activations_, c.activations);
}

INSTANTIATE_TEST_SUITE_P(
    EnterAndArrows, UnlistedKeyTest,
    ::testing::Values(UnlistedKeyCase{VK_RETURN, false, GDK_KEY_Return, 0, 36, 1, 1},
                      UnlistedKeyCase{VK_LEFT, true, GDK_KEY_Left, 0, 113, 0, 0},
                      UnlistedKeyCase{VK_RIGHT, true, GDK_KEY_Right, 0, 114, 2, 0},
                      UnlistedKeyCase{VK_UP, true, GDK_KEY_Up, 0, 111, 1, 0},
                      UnlistedKeyCase{VK_DOWN, true, GDK_KEY_Down, 0, 116, 1, 0},
                      UnlistedKeyCase{VK_RETURN, false, GDK_KEY_Return, 104, 104, 1, 1},
                      UnlistedKeyCase{VK_LEFT, true, GDK_KEY_Left, 83, 83, 0, 0}));

}  // namespace
}  // namespace platformtest
