// A stand-in for the keyboard services that records every call in order. It
// answers VkKeyScanA and MapVirtualKeyA from the US layout tables (both can be
// replaced), keeps a key-state table, and keeps a message queue: keybd_event
// posts the key message, TranslateMessage posts the character message, and
// PeekMessageA removes them, so a drain can be watched call by call.
// Installs itself while it lives.
#pragma once

#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/keyboard.h"
#include "platform/wintypes.h"

class KeyboardRecorder : public KeyboardServices {
 public:
  struct KeyEvent {
    BYTE vk = 0;
    BYTE scan = 0;
    DWORD flags = 0;
    bool operator==(const KeyEvent&) const = default;
    friend std::ostream& operator<<(std::ostream& os, const KeyEvent& e) {
      return os << "{vk 0x" << std::hex << int{e.vk} << " scan 0x" << int{e.scan} << " flags "
                << e.flags << std::dec << "}";
    }
  };

  struct Box {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT type = 0;
    bool operator==(const Box&) const = default;
    friend std::ostream& operator<<(std::ostream& os, const Box& b) {
      return os << "{owner " << b.owner << " \"" << b.text << "\" \"" << b.caption << "\" "
                << b.type << "}";
    }
  };

  struct PeekFilter {
    HWND hwnd = nullptr;
    UINT first = 0;
    UINT last = 0;
    UINT remove = 0;
    bool operator==(const PeekFilter&) const = default;
  };

  enum class Kind {
    kKeyEvent,
    kPeek,
    kTranslate,
    kDispatch,
    kMessageBox,
    kGetKeyState,
    kGetKeyboardState,
    kSetKeyboardState,
  };

  struct Call {
    Kind kind;
    KeyEvent key{};       // kKeyEvent
    ULONG_PTR extra = 0;  // kKeyEvent
    PeekFilter filter{};  // kPeek
    MSG msg{};            // kPeek (message 0: none found), kTranslate, kDispatch
    Box box{};            // kMessageBox
  };

  static MSG Message(UINT message, WPARAM wparam = 0, LPARAM lparam = 0, HWND hwnd = nullptr) {
    MSG msg;
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wparam;
    msg.lParam = lparam;
    return msg;
  }

  KeyboardRecorder() : previous_(SetKeyboardServices(this)) {}
  ~KeyboardRecorder() override { SetKeyboardServices(previous_); }
  KeyboardRecorder(const KeyboardRecorder&) = delete;
  KeyboardRecorder& operator=(const KeyboardRecorder&) = delete;

  // Replaceable answers of the layout.
  std::function<SHORT(char)> key_scan = keylayout::CharToKeyCode;
  std::function<UINT(UINT code, UINT map_type)> map_virtual_key = [](UINT code, UINT map_type) {
    return map_type == 0 ? keylayout::ScanCodeOf(code) : 0u;
  };
  // Runs inside DispatchMessageA, as a window procedure would.
  std::function<void(const MSG&)> on_dispatch;
  // False keeps only the counters, for long runs.
  bool keep_log = true;

  std::array<BYTE, 256> key_state{};  // bit 7 down, bit 0 toggled
  std::deque<MSG> queue;

  const std::vector<Call>& log() const { return log_; }
  std::size_t key_event_count() const { return key_event_count_; }
  std::size_t box_count() const { return box_count_; }
  const std::string& last_box_text() const { return last_box_text_; }

  void Clear() {
    log_.clear();
    queue.clear();
    key_event_count_ = box_count_ = 0;
    last_box_text_.clear();
  }

  std::vector<KeyEvent> KeyEvents() const {
    std::vector<KeyEvent> events;
    for (const Call& c : log_) {
      if (c.kind == Kind::kKeyEvent) events.push_back(c.key);
    }
    return events;
  }

  std::vector<Box> Boxes() const {
    std::vector<Box> boxes;
    for (const Call& c : log_) {
      if (c.kind == Kind::kMessageBox) boxes.push_back(c.box);
    }
    return boxes;
  }

  void keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extra) override {
    const KeyEvent key{vk, scan, flags};
    ++key_event_count_;
    Record({.kind = Kind::kKeyEvent, .key = key, .extra = extra});
    const bool up = flags & KEYEVENTF_KEYUP;
    key_state[vk] = static_cast<BYTE>(up ? key_state[vk] & ~0x80 : key_state[vk] | 0x80);
    const LPARAM lparam = 1 | (LPARAM{scan} << 16) |
                          ((flags & KEYEVENTF_EXTENDEDKEY) ? (LPARAM{1} << 24) : 0) |
                          (up ? LPARAM{0xC0000000} : 0);
    queue.push_back(Message(up ? WM_KEYUP : WM_KEYDOWN, vk, lparam));
  }

  UINT MapVirtualKeyA(UINT code, UINT map_type) override { return map_virtual_key(code, map_type); }

  SHORT VkKeyScanA(char ch) override { return key_scan(ch); }

  SHORT GetKeyState(int vk) override {
    Record({.kind = Kind::kGetKeyState});
    const BYTE b = key_state[static_cast<BYTE>(vk)];
    return static_cast<SHORT>((b & 1) | ((b & 0x80) ? 0x8000 : 0));
  }

  BOOL GetKeyboardState(BYTE* state) override {
    Record({.kind = Kind::kGetKeyboardState});
    std::copy(key_state.begin(), key_state.end(), state);
    return 1;
  }

  BOOL SetKeyboardState(BYTE* state) override {
    Record({.kind = Kind::kSetKeyboardState});
    std::copy(state, state + key_state.size(), key_state.begin());
    return 1;
  }

  BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT first, UINT last, UINT remove) override {
    const auto found = std::find_if(queue.begin(), queue.end(), [&](const MSG& m) {
      const bool any = first == 0 && last == 0;
      return (hwnd == nullptr || m.hwnd == hwnd) &&
             (any || (m.message >= first && m.message <= last));
    });
    const bool hit = found != queue.end();
    Call call{.kind = Kind::kPeek, .filter = {hwnd, first, last, remove}};
    if (hit) {
      *msg = *found;
      call.msg = *found;
      if (remove & PM_REMOVE) queue.erase(found);
    }
    Record(call);
    return hit;
  }

  BOOL TranslateMessage(const MSG* msg) override {
    Record({.kind = Kind::kTranslate, .msg = *msg});
    if (msg->message != WM_KEYDOWN || (key_state[VK_CONTROL] & 0x80)) return 0;
    const char ch = keylayout::CharOf(static_cast<BYTE>(msg->wParam), key_state[VK_SHIFT] & 0x80);
    if (ch == 0) return 0;
    queue.push_back(Message(WM_CHAR, static_cast<unsigned char>(ch), msg->lParam, msg->hwnd));
    return 1;
  }

  LRESULT DispatchMessageA(const MSG* msg) override {
    Record({.kind = Kind::kDispatch, .msg = *msg});
    if (on_dispatch) on_dispatch(*msg);
    return 0;
  }

  int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) override {
    ++box_count_;
    last_box_text_ = text;
    Record({.kind = Kind::kMessageBox, .box = {owner, text, caption, type}});
    return IDOK;
  }

 private:
  void Record(const Call& call) {
    if (keep_log) log_.push_back(call);
  }

  KeyboardServices* previous_;
  std::vector<Call> log_;
  std::size_t key_event_count_ = 0;
  std::size_t box_count_ = 0;
  std::string last_box_text_;
};
