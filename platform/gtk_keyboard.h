// Keyboard input and message-queue services on GTK 3: an input queue of our
// own whose key messages become real GdkEventKey events when dispatched, and
// the keyboard state table kept from played and real keys alike.
#pragma once

#include <gdk/gdk.h>

#include <array>
#include <cstddef>
#include <deque>
#include <unordered_map>

#include "platform/keyboard.h"

namespace gdkkeys {

struct VirtualKey {
  BYTE vk = 0;  // 0 when the keyval has no virtual key
  bool extended = false;
};

// The virtual key a keyval comes from: Return and KP_Enter both give
// VK_RETURN (KP_Enter extended), Left and KP_Left both VK_LEFT (Left
// extended), letters 'A'..'Z' whatever their case.
VirtualKey VirtualKeyOfKeyval(guint keyval);

// The keyval a virtual key gives with Shift (and CapsLock for letters) as
// stated, 0 when none.
guint KeyvalOfVirtualKey(BYTE vk, bool extended, bool shift, bool caps_lock);

// The keycode of a key on a standard PC keyboard (evdev code + 8, as X and
// xkb number keys), for the keys the hook plays; 0 for any other keyval.
guint StandardKeycodeOf(guint keyval);

// The keycode the keymap lists for a keyval: its plain level in the first
// group, else its first entry; 0 when it lists none.
guint ListedKeycode(const GdkKeymapKey* keys, gint count);

// The listed keycode, else the key's standard place.
guint KeycodeFromEntries(guint keyval, const GdkKeymapKey* keys, gint count);

}  // namespace gdkkeys

class GtkKeyboardServices : public KeyboardServices {
 public:
  // How the keymap is asked where a keyval sits; a test stands in for a
  // keymap that lists no key for it.
  using KeymapEntries = gboolean (*)(GdkKeymap*, guint, GdkKeymapKey**, gint*);

  explicit GtkKeyboardServices(KeymapEntries entries = gdk_keymap_get_entries_for_keyval);
  ~GtkKeyboardServices() override;
  GtkKeyboardServices(const GtkKeyboardServices&) = delete;
  GtkKeyboardServices& operator=(const GtkKeyboardServices&) = delete;

  void keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extra) override;
  UINT MapVirtualKeyA(UINT code, UINT map_type) override;
  SHORT VkKeyScanA(char ch) override;
  SHORT GetKeyState(int vk) override;
  BOOL GetKeyboardState(BYTE* state) override;
  BOOL SetKeyboardState(BYTE* state) override;
  BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT first, UINT last, UINT remove) override;
  BOOL TranslateMessage(const MSG* msg) override;
  LRESULT DispatchMessageA(const MSG* msg) override;
  int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) override;

  // For every real key event taken from the GDK queue: keeps the state table
  // in step and remembers the event's toplevel as the fallback focus target.
  void NoteKeyEvent(const GdkEventKey* event);

  // The message record of a real key event (hwnd = its toplevel GdkWindow).
  // A key event carries no position: `pt` is left for the caller, who has
  // seen the pointer's events (asking the X server costs a round trip).
  static MSG KeyEventToMessage(const GdkEventKey* event);

  // Queues any message, key or not, behind those already queued.
  void PostMessage(const MSG& msg);
  std::size_t QueuedCount() const { return queue_.size(); }

 private:
  struct Modifiers {
    bool shift = false;
    bool control = false;
    bool alt = false;
    bool num_lock = false;
    bool caps_lock = false;
  };
  struct Queued {
    MSG msg;
    Modifiers mods;
  };

  Modifiers CurrentModifiers() const;
  Modifiers ModifiersOf(const MSG& msg) const;
  bool IsDown(BYTE vk) const { return (state_[vk] & 0x80) != 0; }
  void SetDown(BYTE vk, bool down);
  void ApplyKey(BYTE vk, bool right_side, bool down);
  void SyncModifier(BYTE generic, BYTE left, BYTE right, bool held);
  HWND FocusTarget() const;
  DWORD Now() const;
  void Enqueue(const Queued& item);
  void ScheduleFlush();
  static gboolean FlushIdle(gpointer self);
  void WatchKeymap();
  guint KeycodeOf(guint keyval);

  std::deque<Queued> queue_;
  // Messages handed out by PeekMessageA, so that translating and dispatching
  // them later still sees the modifiers held when they were queued.
  std::deque<Queued> handed_out_;
  std::array<BYTE, 256> state_{};
  GdkWindow* last_key_window_ = nullptr;  // only compared, never dereferenced
  DWORD last_real_time_ = 0;
  guint flush_source_ = 0;
  GdkKeymap* keymap_ = nullptr;
  gulong keys_changed_handler_ = 0;
  std::unordered_map<guint, guint> keycodes_;  // 0: the keymap lists none
  // Where each keyval last came from: a played key the keymap does not list
  // goes where its real one came from.
  std::unordered_map<guint, guint> arrived_keycodes_;
  KeymapEntries keymap_entries_;
};
