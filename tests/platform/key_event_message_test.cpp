// Real key events, typed through the X server and taken from the GDK queue,
// turned into the message record that the application's hook reads; and the
// services noting them.
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/platform_fixture.h"

namespace platformtest {
namespace {

struct RealKeyCase {
  const char* name;
  std::vector<guint> held;  // keysyms pressed before the key, released after
  guint keysym;
  guint keyval;  // what GDK must report, or the case tests nothing
  UINT down_message;
  BYTE vk;
  DWORD down_lparam;
};

class KeyEventToMessageTest : public EntryWindowTest,
                              public ::testing::WithParamInterface<RealKeyCase> {
 protected:
  void SetUp() override {
    EntryWindowTest::SetUp();
    GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_display_get_default());
    if (gdk_keymap_get_num_lock_state(keymap)) {
      tap_.Send(GDK_KEY_Num_Lock, true);
      tap_.Send(GDK_KEY_Num_Lock, false);
    }
    ASSERT_FALSE(gdk_keymap_get_num_lock_state(keymap));
  }

  RealKeyTap tap_;
};

TEST_P(KeyEventToMessageTest, PressAndRelease) {
  const RealKeyCase& c = GetParam();
  for (guint held : c.held) ASSERT_NE(tap_.Send(held, true), nullptr);
  const GdkEventKey* press = tap_.Send(c.keysym, true);
  const GdkEventKey* release = tap_.Send(c.keysym, false);
  for (auto it = c.held.rbegin(); it != c.held.rend(); ++it) tap_.Send(*it, false);
  ASSERT_NE(press, nullptr);
  ASSERT_NE(release, nullptr);
  ASSERT_EQ(press->keyval, c.keyval) << "the X server reported another key";

  const MSG down = GtkKeyboardServices::KeyEventToMessage(press);
  EXPECT_EQ(down.message, c.down_message);
  EXPECT_EQ(down.wParam, c.vk);
  EXPECT_EQ(static_cast<DWORD>(down.lParam), c.down_lparam);
  EXPECT_EQ(down.hwnd, w_.hwnd());
  EXPECT_EQ(down.time, press->time);

  const MSG up = GtkKeyboardServices::KeyEventToMessage(release);
  EXPECT_EQ(up.message, c.down_message + 1);
  EXPECT_EQ(up.wParam, c.vk);
  EXPECT_EQ(static_cast<DWORD>(up.lParam), c.down_lparam | 0xC0000000u);
  EXPECT_EQ(up.hwnd, w_.hwnd());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyEventToMessageTest,
    ::testing::Values(
        RealKeyCase{
            "Return", {}, GDK_KEY_Return, GDK_KEY_Return, WM_KEYDOWN, VK_RETURN, 0x001C0001},
        RealKeyCase{
            "KP_Enter", {}, GDK_KEY_KP_Enter, GDK_KEY_KP_Enter, WM_KEYDOWN, VK_RETURN, 0x011C0001},
        RealKeyCase{"Left", {}, GDK_KEY_Left, GDK_KEY_Left, WM_KEYDOWN, VK_LEFT, 0x014B0001},
        RealKeyCase{
            "KP_Left", {}, GDK_KEY_KP_Left, GDK_KEY_KP_Left, WM_KEYDOWN, VK_LEFT, 0x004B0001},
        RealKeyCase{"Up", {}, GDK_KEY_Up, GDK_KEY_Up, WM_KEYDOWN, VK_UP, 0x01480001},
        RealKeyCase{"Right", {}, GDK_KEY_Right, GDK_KEY_Right, WM_KEYDOWN, VK_RIGHT, 0x014D0001},
        RealKeyCase{"Down", {}, GDK_KEY_Down, GDK_KEY_Down, WM_KEYDOWN, VK_DOWN, 0x01500001},
        RealKeyCase{
            "KP_Down", {}, GDK_KEY_KP_Down, GDK_KEY_KP_Down, WM_KEYDOWN, VK_DOWN, 0x00500001},
        RealKeyCase{"LowerA", {}, GDK_KEY_a, GDK_KEY_a, WM_KEYDOWN, 'A', 0x001E0001},
        RealKeyCase{"UpperA", {GDK_KEY_Shift_L}, GDK_KEY_a, GDK_KEY_A, WM_KEYDOWN, 'A', 0x001E0001},
        RealKeyCase{"Digit", {}, GDK_KEY_1, GDK_KEY_1, WM_KEYDOWN, '1', 0x00020001},
        RealKeyCase{"F5", {}, GDK_KEY_F5, GDK_KEY_F5, WM_KEYDOWN, 0x74, 0x003F0001},
        RealKeyCase{
            "Comma", {}, GDK_KEY_comma, GDK_KEY_comma, WM_KEYDOWN, VK_OEM_COMMA, 0x00330001},
        RealKeyCase{"AltLeft",
                    {GDK_KEY_Alt_L},
                    GDK_KEY_Left,
                    GDK_KEY_Left,
                    WM_SYSKEYDOWN,
                    VK_LEFT,
                    0x014B0001},
        RealKeyCase{"CtrlAltLeft",
                    {GDK_KEY_Control_L, GDK_KEY_Alt_L},
                    GDK_KEY_Left,
                    GDK_KEY_Left,
                    WM_KEYDOWN,
                    VK_LEFT,
                    0x014B0001},
        RealKeyCase{
            "ShiftKey", {}, GDK_KEY_Shift_L, GDK_KEY_Shift_L, WM_KEYDOWN, VK_SHIFT, 0x002A0001},
        RealKeyCase{
            "AltKey", {}, GDK_KEY_Alt_L, GDK_KEY_Alt_L, WM_SYSKEYDOWN, VK_MENU, 0x00380001}),
    [](const auto& info) { return std::string(info.param.name); });

class NoteKeyEventTest : public EntryWindowTest {
 protected:
  RealKeyTap tap_{&services_};
};

TEST_F(NoteKeyEventTest, RealKeysAreKeptInTheStateTable) {
  ASSERT_NE(tap_.Send(GDK_KEY_Shift_L, true), nullptr);
  ASSERT_NE(tap_.Send(GDK_KEY_a, true), nullptr);
  EXPECT_LT(services_.GetKeyState(VK_SHIFT), 0);
  EXPECT_LT(services_.GetKeyState('A'), 0);
  ASSERT_NE(tap_.Send(GDK_KEY_a, false), nullptr);
  ASSERT_NE(tap_.Send(GDK_KEY_Shift_L, false), nullptr);
  EXPECT_GE(services_.GetKeyState(VK_SHIFT), 0);
  EXPECT_GE(services_.GetKeyState('A'), 0);
}

TEST_F(NoteKeyEventTest, ModifierStateOfAnEventCorrectsTheTable) {
  // A Shift the table believes held but the next real key says is not.
  services_.keybd_event(VK_SHIFT, 0x2A, 0, 0);
  Drain(services_);
  ASSERT_LT(services_.GetKeyState(VK_SHIFT), 0);
  ASSERT_NE(tap_.Send(GDK_KEY_b, true), nullptr);
  EXPECT_GE(services_.GetKeyState(VK_SHIFT), 0);
  tap_.Send(GDK_KEY_b, false);
}

TEST_F(NoteKeyEventTest, KeysGoToTheLastRealKeyWindowWhenNoneHasTheFocus) {
  ASSERT_NE(tap_.Send(GDK_KEY_b, true), nullptr);
  ASSERT_NE(tap_.Send(GDK_KEY_b, false), nullptr);
  Display* display = testsupport::DefaultXDisplay();
  XSetInputFocus(display, None, RevertToNone, testsupport::UserTime());
  XSync(display, False);
  const bool lost = testsupport::RunUntil([&] { return !w_.window.has_toplevel_focus(); });
  XSetInputFocus(display, PointerRoot, RevertToPointerRoot, testsupport::UserTime());
  ASSERT_TRUE(lost);

  services_.keybd_event(VK_RETURN, 0x1C, 0, 0);
  MSG msg;
  ASSERT_TRUE(services_.PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, w_.hwnd());
}

}  // namespace
}  // namespace platformtest
