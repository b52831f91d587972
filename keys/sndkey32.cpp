#include "keys/sndkey32.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/convert.h"
#include "platform/keyboard.h"
#include "platform/wintypes.h"

namespace {

constexpr WORD kNoKey = 0xFFFF;
constexpr WORD kShiftBit = 0x100;
constexpr WORD kCtrlBit = 0x200;
constexpr WORD kAltBit = 0x400;
constexpr WORD kOpenBraceKey = kShiftBit | VK_OEM_4;
constexpr WORD kCloseBraceKey = kShiftBit | VK_OEM_6;
constexpr std::size_t kMaxNameLength = 20;
constexpr const char* kCaption = "SendKeys";

struct KeyName {
  std::string_view name;
  BYTE vk;
};

// clang-format off
constexpr std::array<KeyName, 41> kKeyNames{{
    {"BKSP", VK_BACK},       {"BS", VK_BACK},          {"BACKSPACE", VK_BACK},
    {"BREAK", VK_CANCEL},    {"CAPSLOCK", VK_CAPITAL}, {"CLEAR", VK_CLEAR},
    {"DEL", VK_DELETE},      {"DELETE", VK_DELETE},    {"DOWN", VK_DOWN},
    {"END", VK_END},         {"ENTER", VK_RETURN},     {"ESC", VK_ESCAPE},
    {"ESCAPE", VK_ESCAPE},   {"F1", 0x70},             {"F2", 0x71},
    {"F3", 0x72},            {"F4", 0x73},             {"F5", 0x74},
    {"F6", 0x75},            {"F7", 0x76},             {"F8", 0x77},
    {"F9", 0x78},            {"F10", 0x79},            {"F11", 0x7A},
    {"F12", 0x7B},           {"F13", 0x7C},            {"F14", 0x7D},
    {"F15", 0x7E},           {"F16", 0x7F},            {"HELP", VK_HELP},
    {"HOME", VK_HOME},       {"INS", VK_INSERT},       {"LEFT", VK_LEFT},
    {"NUMLOCK", VK_NUMLOCK}, {"PGDN", VK_NEXT},        {"PGUP", VK_PRIOR},
    {"PRTSC", VK_PRINT},     {"RIGHT", VK_RIGHT},      {"SCROLLLOCK", VK_SCROLL},
    {"TAB", VK_TAB},         {"UP", VK_UP},
}};
// clang-format on

constexpr std::array<bool, 256> kExtendedKeys = [] {
  std::array<bool, 256> set{};
  for (int vk = VK_PRIOR; vk <= VK_DOWN; ++vk) set[vk] = true;
  set[VK_INSERT] = true;
  set[VK_DELETE] = true;
  return set;
}();

WORD LookUpKeyName(std::string_view name) {
  for (const KeyName& entry : kKeyNames) {
    if (entry.name == name) return entry.vk;
  }
  return kNoKey;
}

char ToUpperAscii(char ch) {
  return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
}

WORD KeyCodeOf(char ch) { return static_cast<WORD>(VkKeyScanA(ch)); }

BYTE ScanCodeOf(BYTE vk) { return static_cast<BYTE>(MapVirtualKeyA(vk, 0) & 0xFF); }

void ShowError(const char* text) { MessageBoxA(nullptr, text, kCaption, MB_OK); }

// Everything one call needs; a call nested inside a drain gets its own.
class Player {
 public:
  Player(const char* keys, bool wait) : keys_(keys, std::strlen(keys)), wait_(wait) {}

  bool Play() {
    if (keys_.empty()) return false;
    while (pos_ < keys_.size()) {
      if (!Step()) return false;
    }
    ReleaseHeld();
    return true;
  }

 private:
  // Acts on the character at the position; false once a brace is never closed.
  bool Step() {
    const char ch = keys_[pos_];
    if (ch == '{') return BraceForm();
    ++pos_;
    if (ch == '+') {
      Hold(shift_held_, VK_SHIFT);
    } else if (ch == '^') {
      Hold(ctrl_held_, VK_CONTROL);
    } else if (ch == '%') {
      Hold(alt_held_, VK_MENU);
    } else if (ch == '(') {
      group_open_ = true;
    } else if (ch == ')') {
      group_open_ = false;
      ReleaseHeld();
    } else if (ch == '~') {
      SendKeyCodeAndRelease(VK_RETURN, 1);
    } else {
      PlainCharacter(ch);
    }
    return true;
  }

  void Hold(bool& held, BYTE vk) {
    held = true;
    SendVirtualKey(vk, 1, false);
  }

  void PlainCharacter(char ch) {
    const WORD code = KeyCodeOf(ch);
    if (code == kNoKey) {
      ShowError("Invalid KeyName");
      return;
    }
    SendKeyCodeAndRelease(code, 1);
  }

  bool BraceForm() {
    const std::size_t open = pos_;
    if (open + 1 < keys_.size() && keys_[open + 1] == '{') {
      pos_ = open + 3;  // the "}" of "{{}" is not looked at
      SendKeyCodeAndRelease(kOpenBraceKey, 1);
      return true;
    }
    const std::size_t close = keys_.find('}', open + 1);
    if (close == std::string_view::npos) {
      ShowError("No Close");
      return false;
    }
    pos_ = close + 1;
    if (pos_ < keys_.size() && keys_[pos_] == '}') {
      ++pos_;
      SendKeyCodeAndRelease(kCloseBraceKey, 1);
      return true;
    }
    NamedKey(CollectName(keys_.substr(open + 1, close - open - 1)));
    return true;
  }

  static std::string CollectName(std::string_view text) {
    std::string name(text.substr(0, kMaxNameLength));
    for (char& ch : name) ch = ToUpperAscii(ch);
    return name;
  }

  void NamedKey(std::string name) {
    WORD repeat = 1;
    if (const std::size_t space = name.find(' '); space != std::string::npos) {
      repeat = static_cast<WORD>(static_cast<unsigned>(StrToInt(name.substr(space + 1))));
      name.resize(space);
    }
    if (name.size() == 1) {
      const WORD code = KeyCodeOf(name[0]);
      if (code != kNoKey) SendKeyCodeAndRelease(code, repeat);
      return;
    }
    const WORD code = LookUpKeyName(name);
    if (code == kNoKey) {
      ShowError("Invalid Key Name");
      return;
    }
    SendKeyCodeAndRelease(code, repeat);
  }

  void SendKeyCodeAndRelease(WORD code, WORD repeat) {
    SendKeyCode(code, repeat);
    ReleaseHeld();
  }

  // The modifiers a key code asks for wrap it; the held ones are left alone.
  void SendKeyCode(WORD code, WORD repeat) {
    const bool shift = code & kShiftBit, ctrl = code & kCtrlBit, alt = code & kAltBit;
    if (shift) SendVirtualKey(VK_SHIFT, 1, false);
    if (ctrl) SendVirtualKey(VK_CONTROL, 1, false);
    if (alt) SendVirtualKey(VK_MENU, 1, false);
    SendVirtualKey(static_cast<BYTE>(code & 0xFF), repeat, true);
    if (shift) ReleaseModifier(VK_SHIFT);
    if (ctrl) ReleaseModifier(VK_CONTROL);
    if (alt) ReleaseModifier(VK_MENU);
  }

  void SendVirtualKey(BYTE vk, WORD times, bool release) {
    if (vk == VK_NUMLOCK) {
      FlipNumLock();
      return;
    }
    const BYTE scan = ScanCodeOf(vk);
    const DWORD extended = kExtendedKeys[vk] ? KEYEVENTF_EXTENDEDKEY : 0;
    for (unsigned i = 0; i < times; ++i) {
      Event(vk, scan, extended);
      if (release) Event(vk, scan, extended | KEYEVENTF_KEYUP);
    }
  }

  // Flips the toggle in the thread's state table, so no key message is made.
  static void FlipNumLock() {
    const bool on = GetKeyState(VK_NUMLOCK) & 1;
    std::array<BYTE, 256> state{};
    GetKeyboardState(state.data());
    state[VK_NUMLOCK] = static_cast<BYTE>((state[VK_NUMLOCK] & ~1) | (on ? 0 : 1));
    SetKeyboardState(state.data());
  }

  void ReleaseModifier(BYTE vk) { Event(vk, ScanCodeOf(vk), KEYEVENTF_KEYUP); }

  void ReleaseHeld() {
    if (group_open_) return;
    if (shift_held_) ReleaseModifier(VK_SHIFT);
    if (ctrl_held_) ReleaseModifier(VK_CONTROL);
    if (alt_held_) ReleaseModifier(VK_MENU);
    shift_held_ = ctrl_held_ = alt_held_ = false;
  }

  void Event(BYTE vk, BYTE scan, DWORD flags) {
    keybd_event(vk, scan, flags, 0);
    if (wait_) Drain();
  }

  // Delivers the key messages (and the characters they make) inside the call.
  static void Drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }

  std::string_view keys_;
  bool wait_;
  std::size_t pos_ = 0;
  bool group_open_ = false;
  bool shift_held_ = false;
  bool ctrl_held_ = false;
  bool alt_held_ = false;
};

}  // namespace

bool SendKeys(const char* keys, bool wait) { return Player(keys, wait).Play(); }
