// The message level of the GTK-backed services: what keybd_event queues for
// the focused window, what PeekMessageA hands out, the character messages of
// TranslateMessage and the keyboard state table.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/platform/platform_fixture.h"

namespace platformtest {
namespace {

using QueueTest = EntryWindowTest;

std::vector<MSG> RemoveAll(KeyboardServices& services, UINT first = WM_KEYFIRST,
                           UINT last = WM_KEYLAST) {
  std::vector<MSG> out;
  MSG msg;
  while (services.PeekMessageA(&msg, nullptr, first, last, PM_REMOVE)) out.push_back(msg);
  return out;
}

void Send(KeyboardServices& services, BYTE vk, DWORD flags) {
  services.keybd_event(vk, static_cast<BYTE>(services.MapVirtualKeyA(vk, 0)), flags, 0);
}

TEST_F(QueueTest, PressAndReleaseAreQueuedInOrderForTheFocusedWindow) {
  Send(services_, VK_LEFT, KEYEVENTF_EXTENDEDKEY);
  Send(services_, VK_LEFT, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP);
  const std::vector<MSG> got = RemoveAll(services_);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].message, WM_KEYDOWN);
  EXPECT_EQ(got[1].message, WM_KEYUP);
  for (const MSG& m : got) {
    EXPECT_EQ(m.hwnd, w_.hwnd());
    EXPECT_EQ(m.wParam, VK_LEFT);
    EXPECT_NE(m.time, 0u);
  }
  EXPECT_EQ(services_.QueuedCount(), 0u);
}

struct LParamCase {
  const char* name;
  BYTE vk;
  DWORD flags;
  bool already_down;
  UINT message;
  DWORD lparam;
};

class QueueLParamTest : public EntryWindowTest, public ::testing::WithParamInterface<LParamCase> {};

TEST_P(QueueLParamTest, MessageNumberAndLParam) {
  const LParamCase& c = GetParam();
  if (c.already_down) {
    Send(services_, c.vk, c.flags & KEYEVENTF_EXTENDEDKEY);
    RemoveAll(services_);
  }
  Send(services_, c.vk, c.flags);
  const std::vector<MSG> got = RemoveAll(services_);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].message, c.message);
  EXPECT_EQ(got[0].wParam, c.vk);
  EXPECT_EQ(static_cast<DWORD>(got[0].lParam), c.lparam);
}

constexpr DWORD kExt = KEYEVENTF_EXTENDEDKEY;
constexpr DWORD kUp = KEYEVENTF_KEYUP;

INSTANTIATE_TEST_SUITE_P(
    Keys, QueueLParamTest,
    ::testing::Values(LParamCase{"EnterDown", VK_RETURN, 0, false, WM_KEYDOWN, 0x001C0001},
                      LParamCase{"EnterUp", VK_RETURN, kUp, true, WM_KEYUP, 0xC01C0001},
                      LParamCase{"LeftDown", VK_LEFT, kExt, false, WM_KEYDOWN, 0x014B0001},
                      LParamCase{"LeftUp", VK_LEFT, kExt | kUp, true, WM_KEYUP, 0xC14B0001},
                      LParamCase{"DownRepeated", VK_DOWN, kExt, true, WM_KEYDOWN, 0x41500001},
                      LParamCase{"AltDown", VK_MENU, 0, false, WM_SYSKEYDOWN, 0x00380001},
                      LParamCase{"AltUp", VK_MENU, kUp, true, WM_SYSKEYUP, 0xC0380001}),
    [](const auto& info) { return std::string(info.param.name); });

struct SysCase {
  const char* name;
  std::vector<BYTE> held;
  UINT message;
};

class QueueSysKeyTest : public EntryWindowTest, public ::testing::WithParamInterface<SysCase> {};

TEST_P(QueueSysKeyTest, AltWithoutCtrlMakesSystemKeys) {
  for (BYTE vk : GetParam().held) Send(services_, vk, 0);
  RemoveAll(services_);
  Send(services_, 'A', 0);
  Send(services_, 'A', kUp);
  const std::vector<MSG> got = RemoveAll(services_);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].message, GetParam().message);
  EXPECT_EQ(got[1].message, GetParam().message + 1);  // the matching key-up
}

INSTANTIATE_TEST_SUITE_P(Modifiers, QueueSysKeyTest,
                         ::testing::Values(SysCase{"None", {}, WM_KEYDOWN},
                                           SysCase{"Alt", {VK_MENU}, WM_SYSKEYDOWN},
                                           SysCase{"ShiftAlt", {VK_SHIFT, VK_MENU}, WM_SYSKEYDOWN},
                                           SysCase{"Ctrl", {VK_CONTROL}, WM_KEYDOWN},
                                           SysCase{"CtrlAlt", {VK_CONTROL, VK_MENU}, WM_KEYDOWN}),
                         [](const auto& info) { return std::string(info.param.name); });

struct CharCase {
  const char* name;
  std::vector<BYTE> held;
  bool caps_lock;
  BYTE vk;
  UINT message;  // 0: no character message
  char ch;
};

class TranslateTest : public EntryWindowTest, public ::testing::WithParamInterface<CharCase> {};

// The character comes right after its key-down, before the key-up that was
// already queued behind it.
TEST_P(TranslateTest, CharacterMessageFollowsItsKeyDown) {
  const CharCase& c = GetParam();
  if (c.caps_lock) {
    std::array<BYTE, 256> state{};
    services_.GetKeyboardState(state.data());
    state[VK_CAPITAL] |= 0x01;
    services_.SetKeyboardState(state.data());
  }
  for (BYTE vk : c.held) Send(services_, vk, 0);
  RemoveAll(services_);
  Send(services_, c.vk, 0);
  Send(services_, c.vk, kUp);

  std::vector<MSG> got;
  MSG msg;
  while (services_.PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    got.push_back(msg);
    const bool key_down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    EXPECT_EQ(services_.TranslateMessage(&msg) != 0, key_down && c.message != 0);
  }
  if (c.message == 0) {
    ASSERT_EQ(got.size(), 2u);
    EXPECT_NE(got[1].message, WM_CHAR);
    EXPECT_NE(got[1].message, WM_SYSCHAR);
    return;
  }
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1].message, c.message);
  EXPECT_EQ(got[1].wParam, static_cast<unsigned char>(c.ch));
  EXPECT_EQ(got[1].hwnd, w_.hwnd());
  EXPECT_EQ(got[2].message & ~0x4u, WM_KEYUP);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, TranslateTest,
    ::testing::Values(
        CharCase{"Letter", {}, false, 'A', WM_CHAR, 'a'},
        CharCase{"ShiftLetter", {VK_SHIFT}, false, 'A', WM_CHAR, 'A'},
        CharCase{"CapsLetter", {}, true, 'A', WM_CHAR, 'A'},
        CharCase{"CapsShiftLetter", {VK_SHIFT}, true, 'A', WM_CHAR, 'a'},
        CharCase{"CapsDigit", {}, true, '1', WM_CHAR, '1'},
        CharCase{"ShiftDigit", {VK_SHIFT}, false, '1', WM_CHAR, '!'},
        CharCase{"Semicolon", {}, false, VK_OEM_1, WM_CHAR, ';'},
        CharCase{"Enter", {}, false, VK_RETURN, WM_CHAR, '\r'},
        CharCase{"CtrlLetter", {VK_CONTROL}, false, 'A', WM_CHAR, '\x01'},
        CharCase{"CtrlBracket", {VK_CONTROL}, false, VK_OEM_4, WM_CHAR, '\x1b'},
        CharCase{"CtrlShiftMinus", {VK_CONTROL, VK_SHIFT}, false, VK_OEM_MINUS, WM_CHAR, '\x1f'},
        CharCase{"CtrlEnter", {VK_CONTROL}, false, VK_RETURN, WM_CHAR, '\n'},
        CharCase{"AltLetter", {VK_MENU}, false, 'A', WM_SYSCHAR, 'a'},
        CharCase{"Arrow", {}, false, VK_LEFT, 0, 0},
        CharCase{"CtrlDigit", {VK_CONTROL}, false, '1', 0, 0},
        CharCase{"CtrlAltLetter", {VK_CONTROL, VK_MENU}, false, 'A', 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QueueTest, KeyStateFollowsPressAndRelease) {
  Send(services_, VK_SHIFT, 0);
  EXPECT_LT(services_.GetKeyState(VK_SHIFT), 0);
  EXPECT_EQ(services_.GetKeyState(VK_SHIFT) & 1, 1);
  std::array<BYTE, 256> state{};
  services_.GetKeyboardState(state.data());
  EXPECT_EQ(state[VK_SHIFT] & 0x80, 0x80);
  EXPECT_EQ(state[VK_LSHIFT] & 0x80, 0x80);
  EXPECT_EQ(state[VK_RSHIFT] & 0x80, 0);

  Send(services_, VK_SHIFT, kUp);
  EXPECT_GE(services_.GetKeyState(VK_SHIFT), 0);
  EXPECT_EQ(services_.GetKeyState(VK_SHIFT) & 1, 1) << "a release keeps the toggle";
  services_.GetKeyboardState(state.data());
  EXPECT_EQ(state[VK_SHIFT] & 0x80, 0);
  EXPECT_EQ(state[VK_LSHIFT] & 0x80, 0);
}

TEST_F(QueueTest, ToggleFlipsOnFreshPressesOnly) {
  EXPECT_EQ(services_.GetKeyState(VK_NUMLOCK), 0);
  Send(services_, VK_NUMLOCK, kExt);
  EXPECT_EQ(static_cast<unsigned short>(services_.GetKeyState(VK_NUMLOCK)), 0x8001u);
  Send(services_, VK_NUMLOCK, kExt);  // auto-repeat
  EXPECT_EQ(static_cast<unsigned short>(services_.GetKeyState(VK_NUMLOCK)), 0x8001u);
  Send(services_, VK_NUMLOCK, kExt | kUp);
  EXPECT_EQ(services_.GetKeyState(VK_NUMLOCK), 1);
  Send(services_, VK_NUMLOCK, kExt);
  Send(services_, VK_NUMLOCK, kExt | kUp);
  EXPECT_EQ(services_.GetKeyState(VK_NUMLOCK), 0);
}

TEST_F(QueueTest, ExtendedCtrlIsTheRightCtrl) {
  Send(services_, VK_CONTROL, kExt);
  std::array<BYTE, 256> state{};
  services_.GetKeyboardState(state.data());
  EXPECT_EQ(state[VK_RCONTROL] & 0x80, 0x80);
  EXPECT_EQ(state[VK_LCONTROL] & 0x80, 0);
  EXPECT_LT(services_.GetKeyState(VK_CONTROL), 0);
  Send(services_, VK_CONTROL, kExt | kUp);
  EXPECT_GE(services_.GetKeyState(VK_CONTROL), 0);
}

TEST_F(QueueTest, SetKeyboardStateIsReadBack) {
  std::array<BYTE, 256> written{};
  for (std::size_t i = 0; i < written.size(); ++i) written[i] = static_cast<BYTE>(i * 7);
  services_.SetKeyboardState(written.data());
  std::array<BYTE, 256> read{};
  services_.GetKeyboardState(read.data());
  EXPECT_EQ(read, written);
  EXPECT_EQ(static_cast<unsigned short>(services_.GetKeyState(0x92)),
            (written[0x92] & 0x80 ? 0x8000u : 0u) | (written[0x92] & 1u));
}

TEST_F(QueueTest, RangeFilterLeavesOtherMessagesQueued) {
  MSG paint;
  paint.hwnd = w_.hwnd();
  paint.message = WM_PAINT;
  services_.PostMessage(paint);
  Send(services_, VK_RETURN, 0);
  Send(services_, VK_RETURN, kUp);

  EXPECT_EQ(RemoveAll(services_).size(), 2u);
  EXPECT_EQ(services_.QueuedCount(), 1u);
  MSG msg;
  ASSERT_TRUE(services_.PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_PAINT);
  EXPECT_EQ(services_.QueuedCount(), 1u) << "peeking without PM_REMOVE keeps the message";
  ASSERT_TRUE(services_.PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(services_.QueuedCount(), 0u);
}

TEST_F(QueueTest, WindowFilterSkipsOtherWindows) {
  Send(services_, VK_RETURN, 0);
  int other = 0;
  MSG msg;
  EXPECT_FALSE(services_.PeekMessageA(&msg, &other, 0, 0, PM_REMOVE));
  EXPECT_TRUE(services_.PeekMessageA(&msg, w_.hwnd(), 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, KeysAreDroppedWhenNoWindowHasTheFocus) {
  w_.window.hide();
  ASSERT_TRUE(testsupport::RunUntil([&] { return !w_.window.has_toplevel_focus(); }));
  Send(services_, VK_RETURN, 0);
  EXPECT_EQ(services_.QueuedCount(), 0u);
}

TEST_F(QueueTest, UndrainedKeysAreDeliveredByTheMainLoop) {
  Send(services_, 'A', 0);
  Send(services_, 'A', kUp);
  ASSERT_TRUE(testsupport::RunUntil([&] { return services_.QueuedCount() == 0; }));
  EXPECT_EQ(w_.entry.get_text(), "a");
}

TEST_F(QueueTest, MapVirtualKeyAndVkKeyScanUseTheUsLayout) {
  EXPECT_EQ(services_.MapVirtualKeyA(VK_LEFT, 0), 0x4Bu);
  EXPECT_EQ(services_.MapVirtualKeyA(VK_RETURN, 0), 0x1Cu);
  EXPECT_EQ(services_.MapVirtualKeyA(0x1E, 1), static_cast<UINT>('A'));
  EXPECT_EQ(services_.MapVirtualKeyA(VK_LEFT, 2), 0u);
  EXPECT_EQ(services_.VkKeyScanA('@'), 0x132);
  EXPECT_EQ(services_.VkKeyScanA('a'), 'A');
}

}  // namespace
}  // namespace platformtest
