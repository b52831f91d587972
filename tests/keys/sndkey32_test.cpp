#include "keys/sndkey32.h"

#include <gtest/gtest.h>

#include <cctype>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/exception.h"
#include "tests/keys/keyboard_recorder.h"

namespace {

using Kind = KeyboardRecorder::Kind;
using Event = KeyboardRecorder::KeyEvent;
using Events = std::vector<Event>;

constexpr DWORD kExt = KEYEVENTF_EXTENDEDKEY;
constexpr DWORD kUp = KEYEVENTF_KEYUP;

BYTE Scan(BYTE vk) { return static_cast<BYTE>(keylayout::ScanCodeOf(vk)); }
Event Down(BYTE vk, DWORD flags = 0) { return {vk, Scan(vk), flags}; }
Event Up(BYTE vk, DWORD flags = 0) { return {vk, Scan(vk), flags | kUp}; }

Events Tap(BYTE vk, DWORD flags = 0, int times = 1) {
  Events events;
  for (int i = 0; i < times; ++i) events.insert(events.end(), {Down(vk, flags), Up(vk, flags)});
  return events;
}

Events Cat(std::initializer_list<Events> parts) {
  Events all;
  for (const Events& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Events Shifted(BYTE vk) { return Cat({{Down(VK_SHIFT)}, Tap(vk), {Up(VK_SHIFT)}}); }

struct Case {
  const char* keys;
  bool result;
  Events events;
  std::vector<std::string> boxes = {};
};

const BYTE A = 'A', B = 'B', C = 'C', X = 'X';
const Event kShiftDown = Down(VK_SHIFT), kShiftUp = Up(VK_SHIFT);

const Case kCases[] = {
    {"", false, {}},
    {"~", true, Tap(VK_RETURN)},
    {"{LEFT}", true, Tap(VK_LEFT, kExt)},
    {"{left}", true, Tap(VK_LEFT, kExt)},
    {"{Left}", true, Tap(VK_LEFT, kExt)},
    {"A", true, Shifted(A)},
    {"{a}", true, Shifted(A)},
    {"{DOWN 3}", true, Tap(VK_DOWN, kExt, 3)},
    {"{DOWN 0}", true, {}},
    {"{DOWN -1}", true, Tap(VK_DOWN, kExt, 65535)},
    {"{DOWN 65537}", true, Tap(VK_DOWN, kExt)},
    {"{DOWN -$FFFE}", true, Tap(VK_DOWN, kExt, 2)},
    {"{DOWN $A}", true, Tap(VK_DOWN, kExt, 10)},
    {"{DOWN 0x3}", true, Tap(VK_DOWN, kExt, 3)},
    {"{down x2}", true, Tap(VK_DOWN, kExt, 2)},
    {"{DOWN  2}", true, Tap(VK_DOWN, kExt, 2)},
    {"{DOWN 000000000000002X}", true, Tap(VK_DOWN, kExt, 2)},  // cut before the X
    {"{DOWN 0000000000000002}", true, {}},                     // cut before the 2
    {"{a 0}", true, {kShiftDown, kShiftUp}},
    {"{+ 2}", true, Cat({{kShiftDown}, Tap(VK_OEM_PLUS, 0, 2), {kShiftUp}})},
    {"+abc", true, Cat({{kShiftDown}, Tap(A), {kShiftUp}, Tap(B), Tap(C)})},
    {"+(abc)", true, Cat({{kShiftDown}, Tap(A), Tap(B), Tap(C), {kShiftUp}})},
    {"((a)b)", true, Cat({Tap(A), Tap(B)})},
    {"+((a)b)", true, Cat({{kShiftDown}, Tap(A), {kShiftUp}, Tap(B)})},
    {"+(ab", true, Cat({{kShiftDown}, Tap(A), Tap(B)})},
    {"+A", true, Cat({{kShiftDown}, Shifted(A), {kShiftUp}})},
    {"%^+x", true,
     Cat({{Down(VK_MENU), Down(VK_CONTROL), kShiftDown},
          Tap(X),
          {kShiftUp, Up(VK_CONTROL), Up(VK_MENU)}})},
    {"+a^b%c", true,
     Cat({{kShiftDown},
          Tap(A),
          {kShiftUp},
          {Down(VK_CONTROL)},
          Tap(B),
          {Up(VK_CONTROL)},
          {Down(VK_MENU)},
          Tap(C),
          {Up(VK_MENU)}})},
    {"^{F4}", true, Cat({{Down(VK_CONTROL)}, Tap(0x73), {Up(VK_CONTROL)}})},
    {"+~a", true, Cat({{kShiftDown}, Tap(VK_RETURN), {kShiftUp}, Tap(A)})},
    {"\n", true, Cat({{Down(VK_CONTROL)}, Tap(VK_RETURN), {Up(VK_CONTROL)}})},
    {"+{ENTER", false, {kShiftDown}, {"No Close"}},
    {"{", false, {}, {"No Close"}},
    {"a{b~", false, Tap(A), {"No Close"}},
    {"{{}", true, Shifted(VK_OEM_4)},
    {"{{", true, Shifted(VK_OEM_4)},
    {"{{x", true, Shifted(VK_OEM_4)},
    {"{{xa", true, Cat({Shifted(VK_OEM_4), Tap(A)})},
    {"{}}", true, Shifted(VK_OEM_6)},
    {"{TAB}}a", true, Cat({Shifted(VK_OEM_6), Tap(A)})},
    {"+{TAB}}", true, Cat({{kShiftDown}, Shifted(VK_OEM_6), {kShiftUp}})},
    {"{PRTSC}", true, Tap(VK_PRINT)},
    {"{}", true, {}, {"Invalid Key Name"}},
    {"{XYZ}a", true, Tap(A), {"Invalid Key Name"}},
    {"+{XYZ}a", true, Cat({{kShiftDown}, Tap(A), {kShiftUp}}), {"Invalid Key Name"}},
    {"+\xE3"
     "a",
     true,
     Cat({{kShiftDown}, Tap(A), {kShiftUp}}),
     {"Invalid KeyName"}},
    {"\xE3\x81\x82", true, {}, {"Invalid KeyName", "Invalid KeyName", "Invalid KeyName"}},
    {"+{\xE3}a", true, Cat({{kShiftDown}, Tap(A), {kShiftUp}})},
};

TEST(SendKeysTest, PlaysKeyStrings) {
  KeyboardRecorder recorder;
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "keys \"" << c.keys << "\"");
    recorder.Clear();
    EXPECT_EQ(SendKeys(c.keys, false), c.result);
    EXPECT_EQ(recorder.KeyEvents(), c.events);
    std::vector<std::string> texts;
    for (const KeyboardRecorder::Box& box : recorder.Boxes()) {
      texts.push_back(box.text);
      EXPECT_EQ(box, (KeyboardRecorder::Box{nullptr, box.text, "SendKeys", MB_OK}));
    }
    EXPECT_EQ(texts, c.boxes);
    for (const KeyboardRecorder::Call& call : recorder.log()) EXPECT_EQ(call.extra, 0u);
  }
}

struct BadCount {
  const char* keys;
  const char* message;
  Events sent_before;
};

TEST(SendKeysTest, CountThatIsNoIntegerLeavesTheCall) {
  const BadCount cases[] = {
      {"{ }", "'' は整数ではありません", {}},
      {"{LEFT x}", "'X' は整数ではありません", {}},
      {"{DOWN 1 2}", "'1 2' は整数ではありません", {}},
      {"{DOWN 2147483648}", "'2147483648' は整数ではありません", {}},
      {"+a^{LEFT $}b", "'$' は整数ではありません",
       Cat({{kShiftDown}, Tap(A), {kShiftUp}, {Down(VK_CONTROL)}})},
  };
  KeyboardRecorder recorder;
  for (const BadCount& c : cases) {
    SCOPED_TRACE(c.keys);
    recorder.Clear();
    try {
      SendKeys(c.keys, false);
      ADD_FAILURE() << "no conversion error";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(recorder.KeyEvents(), c.sent_before);
  }
}

struct NamedKey {
  const char* name;
  BYTE vk;
  DWORD flags;
};

// All names but NUMLOCK, which sends no event.
// clang-format off
const NamedKey kNamedKeys[] = {
    {"BKSP", VK_BACK, 0},      {"BS", VK_BACK, 0},          {"BACKSPACE", VK_BACK, 0},
    {"BREAK", VK_CANCEL, 0},   {"CAPSLOCK", VK_CAPITAL, 0}, {"CLEAR", VK_CLEAR, 0},
    {"DEL", VK_DELETE, kExt},  {"DELETE", VK_DELETE, kExt}, {"DOWN", VK_DOWN, kExt},
    {"END", VK_END, kExt},     {"ENTER", VK_RETURN, 0},     {"ESC", VK_ESCAPE, 0},
    {"ESCAPE", VK_ESCAPE, 0},  {"F1", 0x70, 0},             {"F2", 0x71, 0},
    {"F3", 0x72, 0},           {"F4", 0x73, 0},             {"F5", 0x74, 0},
    {"F6", 0x75, 0},           {"F7", 0x76, 0},             {"F8", 0x77, 0},
    {"F9", 0x78, 0},           {"F10", 0x79, 0},            {"F11", 0x7A, 0},
    {"F12", 0x7B, 0},          {"F13", 0x7C, 0},            {"F14", 0x7D, 0},
    {"F15", 0x7E, 0},          {"F16", 0x7F, 0},            {"HELP", VK_HELP, 0},
    {"HOME", VK_HOME, kExt},   {"INS", VK_INSERT, kExt},    {"LEFT", VK_LEFT, kExt},
    {"PGDN", VK_NEXT, kExt},   {"PGUP", VK_PRIOR, kExt},    {"PRTSC", VK_PRINT, 0},
    {"RIGHT", VK_RIGHT, kExt}, {"SCROLLLOCK", VK_SCROLL, 0}, {"TAB", VK_TAB, 0},
    {"UP", VK_UP, kExt},
};
// clang-format on

std::string MixCase(std::string name, bool upper_first) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const bool upper = (i % 2 == 0) == upper_first;
    name[i] = static_cast<char>(upper ? std::toupper(name[i]) : std::tolower(name[i]));
  }
  return name;
}

TEST(SendKeysTest, KnowsEveryKeyNameInAnyCase) {
  KeyboardRecorder recorder;
  for (const NamedKey& key : kNamedKeys) {
    for (bool upper_first : {true, false}) {
      const std::string keys = "{" + MixCase(key.name, upper_first) + "}";
      SCOPED_TRACE(keys);
      recorder.Clear();
      EXPECT_TRUE(SendKeys(keys.c_str(), false));
      EXPECT_EQ(recorder.KeyEvents(), Tap(key.vk, key.flags));
      EXPECT_TRUE(recorder.Boxes().empty());
    }
  }
}

TEST(SendKeysTest, OnlyNavigationKeysAreExtended) {
  KeyboardRecorder recorder;
  for (int vk = 1; vk < 256; ++vk) {
    if (vk == VK_NUMLOCK) continue;
    recorder.key_scan = [vk](char) { return static_cast<SHORT>(vk); };
    recorder.Clear();
    SendKeys("{q}", false);
    const bool extended = (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE;
    const DWORD flags = extended ? kExt : 0;
    const BYTE v = static_cast<BYTE>(vk);
    EXPECT_EQ(recorder.KeyEvents(), (Events{{v, Scan(v), flags}, {v, Scan(v), flags | kUp}}))
        << "vk " << vk;
  }
}

TEST(SendKeysTest, ModifierBitsOfTheKeyCodeWrapTheKey) {
  struct Bits {
    SHORT code;
    Events events;
  };
  const Bits cases[] = {
      {0x0641, Cat({{Down(VK_CONTROL), Down(VK_MENU)}, Tap(A), {Up(VK_CONTROL), Up(VK_MENU)}})},
      {0x0741, Cat({{kShiftDown, Down(VK_CONTROL), Down(VK_MENU)},
                    Tap(A),
                    {kShiftUp, Up(VK_CONTROL), Up(VK_MENU)}})},
      {0x0841, Tap(A)},  // bits above Alt are not looked at
  };
  KeyboardRecorder recorder;
  for (const Bits& c : cases) {
    SCOPED_TRACE(c.code);
    recorder.key_scan = [&c](char) { return c.code; };
    recorder.Clear();
    SendKeys("q", false);
    EXPECT_EQ(recorder.KeyEvents(), c.events);
  }
}

// The brace forms send fixed keys; a lone brace asks the layout.
TEST(SendKeysTest, BraceKeysDoNotDependOnTheLayout) {
  KeyboardRecorder recorder;
  recorder.key_scan = [](char ch) { return static_cast<SHORT>(ch == '}' ? 0x30 : 0xFFFF); };
  const std::pair<const char*, Events> cases[] = {
      {"}", Tap(0x30)},
      {"{{}", Shifted(VK_OEM_4)},
      {"{}}", Shifted(VK_OEM_6)},
  };
  for (const auto& [keys, events] : cases) {
    SCOPED_TRACE(keys);
    recorder.Clear();
    EXPECT_TRUE(SendKeys(keys, false));
    EXPECT_EQ(recorder.KeyEvents(), events);
  }
}

TEST(SendKeysTest, ScanCodeIsTheLowByteOfMapVirtualKey) {
  KeyboardRecorder recorder;
  recorder.map_virtual_key = [](UINT vk, UINT map_type) {
    return map_type == 0 ? 0x300u | (vk ^ 0x5Au) : 0u;
  };
  SendKeys("+a{LEFT}", false);
  const auto scan = [](BYTE vk) { return static_cast<BYTE>(vk ^ 0x5A); };
  const Events expected = {
      {VK_SHIFT, scan(VK_SHIFT), 0},
      {A, scan(A), 0},
      {A, scan(A), kUp},
      {VK_SHIFT, scan(VK_SHIFT), kUp},
      {VK_LEFT, scan(VK_LEFT), kExt},
      {VK_LEFT, scan(VK_LEFT), kExt | kUp},
  };
  EXPECT_EQ(recorder.KeyEvents(), expected);
}

TEST(SendKeysTest, NumLockFlipsTheToggleWithoutAnEvent) {
  for (const char* keys : {"{NUMLOCK}", "{numlock 4}", "{NumLock 0}"}) {
    for (BYTE before : {0x00, 0x01, 0x80, 0x81}) {
      SCOPED_TRACE(testing::Message() << keys << " state " << int{before});
      KeyboardRecorder recorder;
      recorder.key_state[VK_NUMLOCK] = before;
      recorder.key_state[VK_CAPITAL] = 0x81;
      EXPECT_TRUE(SendKeys(keys, true));
      EXPECT_EQ(recorder.key_state[VK_NUMLOCK], before ^ 1);
      EXPECT_EQ(recorder.key_state[VK_CAPITAL], 0x81);
      std::vector<Kind> kinds;
      for (const KeyboardRecorder::Call& call : recorder.log()) kinds.push_back(call.kind);
      EXPECT_EQ(kinds, (std::vector<Kind>{Kind::kGetKeyState, Kind::kGetKeyboardState,
                                          Kind::kSetKeyboardState}));
    }
  }
}

// A drain after every event: the key message is removed, translated and
// dispatched, then the character it made, until the queue has no key message.
TEST(SendKeysTest, WaitDrainsAfterEveryEvent) {
  KeyboardRecorder recorder;
  recorder.queue.push_back(KeyboardRecorder::Message(WM_PAINT));
  recorder.queue.push_back(KeyboardRecorder::Message(WM_MOUSEMOVE));
  EXPECT_TRUE(SendKeys("a", true));

  std::vector<std::pair<Kind, UINT>> calls;
  for (const KeyboardRecorder::Call& call : recorder.log()) {
    calls.emplace_back(call.kind, call.msg.message);
    if (call.kind == Kind::kPeek) {
      EXPECT_EQ(call.filter, (KeyboardRecorder::PeekFilter{nullptr, 0x100, 0x108, PM_REMOVE}));
    }
  }
  const std::vector<std::pair<Kind, UINT>> expected = {
      {Kind::kKeyEvent, 0},
      {Kind::kPeek, WM_KEYDOWN},
      {Kind::kTranslate, WM_KEYDOWN},
      {Kind::kDispatch, WM_KEYDOWN},
      {Kind::kPeek, WM_CHAR},
      {Kind::kTranslate, WM_CHAR},
      {Kind::kDispatch, WM_CHAR},
      {Kind::kPeek, 0},
      {Kind::kKeyEvent, 0},
      {Kind::kPeek, WM_KEYUP},
      {Kind::kTranslate, WM_KEYUP},
      {Kind::kDispatch, WM_KEYUP},
      {Kind::kPeek, 0},
  };
  EXPECT_EQ(calls, expected);
  ASSERT_EQ(recorder.queue.size(), 2u);  // other messages stay for the message loop
  EXPECT_EQ(recorder.queue[0].message, WM_PAINT);
  EXPECT_EQ(recorder.queue[1].message, WM_MOUSEMOVE);
}

TEST(SendKeysTest, EveryEventIsFollowedByADrainOnlyWhenWaiting) {
  for (const char* keys : {"+a", "^%{DEL 2}", "+(A~)", "{a 0}", "{}}", "+{XYZ}b"}) {
    for (bool wait : {true, false}) {
      SCOPED_TRACE(testing::Message() << keys << " wait " << wait);
      KeyboardRecorder recorder;
      SendKeys(keys, wait);
      const auto& log = recorder.log();
      std::size_t events = 0;
      for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].kind != Kind::kKeyEvent) continue;
        ++events;
        const bool drained = i + 1 < log.size() && log[i + 1].kind == Kind::kPeek;
        EXPECT_EQ(drained, wait) << "event " << events;
      }
      EXPECT_GT(events, 0u);
      EXPECT_EQ(recorder.queue.size(), wait ? 0u : events);
    }
  }
}

// A window procedure run by the drain may play keys itself; the outer call's
// held Shift and open group must come through untouched.
TEST(SendKeysTest, NestedCallKeepsItsOwnState) {
  KeyboardRecorder recorder;
  bool nested_result = false;
  recorder.on_dispatch = [&](const MSG& msg) {
    if (msg.message == WM_KEYDOWN && msg.wParam == 'A') nested_result = SendKeys("c)", true);
  };
  EXPECT_TRUE(SendKeys("+(ab)", true));
  EXPECT_TRUE(nested_result);
  EXPECT_EQ(recorder.KeyEvents(),
            Cat({{kShiftDown, Down(A)}, Tap(C), {Up(A)}, Tap(B), {kShiftUp}}));
}

}  // namespace
