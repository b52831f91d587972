#include "platform/gtk_keyboard.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>

#include "platform/message_box.h"

namespace {

struct KeyvalRow {
  guint keyval;
  BYTE vk;
  bool extended;
};

// Looked up front to back in both directions, so a keyval's first row names
// its virtual key and a virtual key's first row (by extended bit) its keyval.
constexpr KeyvalRow kKeyvals[] = {
    {GDK_KEY_BackSpace, VK_BACK, false},
    {GDK_KEY_Tab, VK_TAB, false},
    {GDK_KEY_ISO_Left_Tab, VK_TAB, false},
    {GDK_KEY_Clear, VK_CLEAR, false},
    {GDK_KEY_KP_Begin, VK_CLEAR, false},
    {GDK_KEY_Return, VK_RETURN, false},
    {GDK_KEY_KP_Enter, VK_RETURN, true},
    {GDK_KEY_Shift_L, VK_SHIFT, false},
    {GDK_KEY_Shift_R, VK_SHIFT, false},
    {GDK_KEY_Control_L, VK_CONTROL, false},
    {GDK_KEY_Control_R, VK_CONTROL, true},
    {GDK_KEY_Alt_L, VK_MENU, false},
    {GDK_KEY_Alt_R, VK_MENU, true},
    {GDK_KEY_Meta_L, VK_MENU, false},
    {GDK_KEY_ISO_Level3_Shift, VK_MENU, true},
    {GDK_KEY_Pause, VK_PAUSE, false},
    {GDK_KEY_Break, VK_CANCEL, true},
    {GDK_KEY_Caps_Lock, VK_CAPITAL, false},
    {GDK_KEY_Escape, VK_ESCAPE, false},
    {GDK_KEY_space, VK_SPACE, false},
    {GDK_KEY_Page_Up, VK_PRIOR, true},
    {GDK_KEY_KP_Page_Up, VK_PRIOR, false},
    {GDK_KEY_Page_Down, VK_NEXT, true},
    {GDK_KEY_KP_Page_Down, VK_NEXT, false},
    {GDK_KEY_End, VK_END, true},
    {GDK_KEY_KP_End, VK_END, false},
    {GDK_KEY_Home, VK_HOME, true},
    {GDK_KEY_KP_Home, VK_HOME, false},
    {GDK_KEY_Left, VK_LEFT, true},
    {GDK_KEY_KP_Left, VK_LEFT, false},
    {GDK_KEY_Up, VK_UP, true},
    {GDK_KEY_KP_Up, VK_UP, false},
    {GDK_KEY_Right, VK_RIGHT, true},
    {GDK_KEY_KP_Right, VK_RIGHT, false},
    {GDK_KEY_Down, VK_DOWN, true},
    {GDK_KEY_KP_Down, VK_DOWN, false},
    {GDK_KEY_Select, VK_SELECT, false},
    {GDK_KEY_Print, VK_SNAPSHOT, true},
    {GDK_KEY_Print, VK_PRINT, false},
    {GDK_KEY_Insert, VK_INSERT, true},
    {GDK_KEY_KP_Insert, VK_INSERT, false},
    {GDK_KEY_Delete, VK_DELETE, true},
    {GDK_KEY_KP_Delete, VK_DELETE, false},
    {GDK_KEY_Help, VK_HELP, false},
    {GDK_KEY_Super_L, VK_LWIN, true},
    {GDK_KEY_Super_R, VK_RWIN, true},
    {GDK_KEY_Menu, VK_APPS, true},
    {GDK_KEY_KP_0, VK_NUMPAD0, false},
    {GDK_KEY_KP_1, VK_NUMPAD0 + 1, false},
    {GDK_KEY_KP_2, VK_NUMPAD0 + 2, false},
    {GDK_KEY_KP_3, VK_NUMPAD0 + 3, false},
    {GDK_KEY_KP_4, VK_NUMPAD0 + 4, false},
    {GDK_KEY_KP_5, VK_NUMPAD0 + 5, false},
    {GDK_KEY_KP_6, VK_NUMPAD0 + 6, false},
    {GDK_KEY_KP_7, VK_NUMPAD0 + 7, false},
    {GDK_KEY_KP_8, VK_NUMPAD0 + 8, false},
    {GDK_KEY_KP_9, VK_NUMPAD0 + 9, false},
    {GDK_KEY_KP_Multiply, VK_MULTIPLY, false},
    {GDK_KEY_KP_Add, VK_ADD, false},
    {GDK_KEY_KP_Separator, 0x6C, false},
    {GDK_KEY_KP_Subtract, VK_SUBTRACT, false},
    {GDK_KEY_KP_Decimal, VK_DECIMAL, false},
    {GDK_KEY_KP_Divide, VK_DIVIDE, true},
    {GDK_KEY_Num_Lock, VK_NUMLOCK, true},
    {GDK_KEY_Scroll_Lock, VK_SCROLL, false},
    // The sided modifiers are only ever played, never reported.
    {GDK_KEY_Shift_L, VK_LSHIFT, false},
    {GDK_KEY_Shift_R, VK_RSHIFT, false},
    {GDK_KEY_Control_L, VK_LCONTROL, false},
    {GDK_KEY_Control_R, VK_RCONTROL, true},
    {GDK_KEY_Alt_L, VK_LMENU, false},
    {GDK_KEY_Alt_R, VK_RMENU, true},
};

constexpr BYTE kFunctionKeys = VK_F24 - VK_F1 + 1;

constexpr BYTE kModifierKeys[] = {VK_SHIFT,    VK_CONTROL, VK_MENU,   VK_CAPITAL, VK_NUMLOCK,
                                  VK_LWIN,     VK_RWIN,    VK_LSHIFT, VK_RSHIFT,  VK_LCONTROL,
                                  VK_RCONTROL, VK_LMENU,   VK_RMENU};

constexpr LPARAM kPreviousDown = LPARAM{1} << 30;
constexpr LPARAM kTransitionUp = LPARAM{1} << 31;
constexpr UINT kMapVkToScan = 0;
constexpr UINT kMapScanToVk = 1;
constexpr UINT kIconMask = 0xF0;
constexpr UINT kIconInformation = 0x40;
constexpr BYTE kDown = 0x80;
constexpr BYTE kToggled = 0x01;
constexpr BYTE kRightShiftScan = 0x36;

bool IsLetter(BYTE vk) { return vk >= 'A' && vk <= 'Z'; }

bool IsModifierKey(BYTE vk) {
  return std::find(std::begin(kModifierKeys), std::end(kModifierKeys), vk) !=
         std::end(kModifierKeys);
}

bool IsKeyMessage(UINT message) {
  return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
         message == WM_SYSKEYUP;
}

bool IsPress(UINT message) { return message == WM_KEYDOWN || message == WM_SYSKEYDOWN; }

bool SameMessage(const MSG& a, const MSG& b) {
  return a.hwnd == b.hwnd && a.message == b.message && a.wParam == b.wParam &&
         a.lParam == b.lParam && a.time == b.time;
}

LPARAM KeyLParam(UINT scan, bool extended, bool press, bool was_down) {
  LPARAM bits = 1 | (LPARAM{static_cast<BYTE>(scan)} << 16) | (LPARAM{extended} << 24);
  if (!press) return bits | kPreviousDown | kTransitionUp;
  return was_down ? (bits | kPreviousDown) : bits;
}

UINT KeyMessage(bool press, bool system) {
  if (press) return system ? WM_SYSKEYDOWN : WM_KEYDOWN;
  return system ? WM_SYSKEYUP : WM_KEYUP;
}

// The toplevel GtkWindow whose GdkWindow is `window`, or null: a window may be
// gone by the time its queued message is dispatched.
GtkWindow* ToplevelOf(GdkWindow* window) {
  if (window == nullptr) return nullptr;
  GList* toplevels = gtk_window_list_toplevels();
  GtkWindow* found = nullptr;
  for (GList* l = toplevels; l != nullptr && found == nullptr; l = l->next) {
    auto* w = GTK_WINDOW(l->data);
    if (gtk_widget_get_window(GTK_WIDGET(w)) == window) found = w;
  }
  g_list_free(toplevels);
  return found;
}

GdkWindow* FocusedToplevel() {
  GList* toplevels = gtk_window_list_toplevels();
  GdkWindow* found = nullptr;
  for (GList* l = toplevels; l != nullptr && found == nullptr; l = l->next) {
    auto* w = GTK_WINDOW(l->data);
    if (gtk_window_has_toplevel_focus(w)) found = gtk_widget_get_window(GTK_WIDGET(w));
  }
  g_list_free(toplevels);
  return found;
}

struct ControlChar {
  BYTE vk;
  bool shift;
  char ch;
};

// Ctrl with a key other than a letter, as the US layout types it.
constexpr ControlChar kControlChars[] = {
    {VK_OEM_4, false, '\x1b'}, {VK_OEM_5, false, '\x1c'},    {VK_OEM_6, false, '\x1d'},
    {'6', true, '\x1e'},       {VK_OEM_MINUS, true, '\x1f'}, {VK_RETURN, false, '\n'},
    {VK_RETURN, true, '\n'},   {VK_BACK, false, '\x7f'},     {VK_BACK, true, '\x7f'},
};

// The character a key-down makes with Ctrl held (Alt not); for letters
// whatever Shift says.
char ControlCharOf(BYTE vk, bool shift) {
  if (IsLetter(vk)) return static_cast<char>(vk - 'A' + 1);
  for (const ControlChar& c : kControlChars) {
    if (c.vk == vk && c.shift == shift) return c.ch;
  }
  return 0;
}

gchar* EventString(guint keyval, bool control) {
  const gunichar c = gdk_keyval_to_unicode(keyval);
  if (control && c < 0x80 && g_ascii_isalpha(static_cast<gchar>(c))) {
    const gchar text[2] = {static_cast<gchar>(g_ascii_toupper(static_cast<gchar>(c)) - '@'), 0};
    return g_strdup(text);
  }
  if (c == 0 || g_unichar_iscntrl(c)) return g_strdup("");
  return g_ucs4_to_utf8(&c, 1, nullptr, nullptr, nullptr);
}

GdkModifierType StateOf(bool shift, bool control, bool alt, bool num_lock, bool caps_lock) {
  guint state = 0;
  if (shift) state |= GDK_SHIFT_MASK;
  if (control) state |= GDK_CONTROL_MASK;
  if (alt) state |= GDK_MOD1_MASK;
  if (num_lock) state |= GDK_MOD2_MASK;
  if (caps_lock) state |= GDK_LOCK_MASK;
  return static_cast<GdkModifierType>(state);
}

struct StandardKey {
  guint keyval;
  guint evdev;
};

// Linux input codes; X and xkb number the same keys eight higher.
constexpr StandardKey kStandardKeys[] = {
    {GDK_KEY_Return, 28}, {GDK_KEY_KP_Enter, 96}, {GDK_KEY_Up, 103},
    {GDK_KEY_Left, 105},  {GDK_KEY_Right, 106},   {GDK_KEY_Down, 108},
};
constexpr guint kXkbKeycodeOffset = 8;

}  // namespace

namespace gdkkeys {

guint StandardKeycodeOf(guint keyval) {
  for (const StandardKey& k : kStandardKeys) {
    if (k.keyval == keyval) return k.evdev + kXkbKeycodeOffset;
  }
  return 0;
}

guint ListedKeycode(const GdkKeymapKey* keys, gint count) {
  if (keys == nullptr || count <= 0) return 0;
  // A real key press reports the plain level of the first group.
  for (gint i = 0; i < count; ++i) {
    if (keys[i].group == 0 && keys[i].level == 0) return keys[i].keycode;
  }
  return keys[0].keycode;
}

guint KeycodeFromEntries(guint keyval, const GdkKeymapKey* keys, gint count) {
  const guint listed = ListedKeycode(keys, count);
  return listed != 0 ? listed : StandardKeycodeOf(keyval);
}

VirtualKey VirtualKeyOfKeyval(guint keyval) {
  for (const KeyvalRow& row : kKeyvals) {
    if (row.keyval == keyval) return {row.vk, row.extended};
  }
  if (keyval >= GDK_KEY_F1 && keyval < GDK_KEY_F1 + kFunctionKeys) {
    return {static_cast<BYTE>(VK_F1 + (keyval - GDK_KEY_F1)), false};
  }
  const gunichar c = gdk_keyval_to_unicode(keyval);
  if (c > 0x20 && c < 0x7F) {
    const SHORT code = keylayout::CharToKeyCode(static_cast<char>(c));
    if (code != static_cast<SHORT>(0xFFFF)) return {static_cast<BYTE>(code & 0xFF), false};
  }
  return {};
}

guint KeyvalOfVirtualKey(BYTE vk, bool extended, bool shift, bool caps_lock) {
  const char c = keylayout::CharOf(vk, IsLetter(vk) ? shift != caps_lock : shift);
  if (c >= 0x20 && c < 0x7F) return gdk_unicode_to_keyval(static_cast<unsigned char>(c));
  if (vk >= VK_F1 && vk <= VK_F24) return GDK_KEY_F1 + (vk - VK_F1);
  guint fallback = 0;
  for (const KeyvalRow& row : kKeyvals) {
    if (row.vk != vk) continue;
    if (row.extended == extended) return row.keyval;
    if (fallback == 0) fallback = row.keyval;
  }
  return fallback;
}

}  // namespace gdkkeys

GtkKeyboardServices::GtkKeyboardServices(KeymapEntries entries) : keymap_entries_(entries) {}

GtkKeyboardServices::~GtkKeyboardServices() {
  if (flush_source_ != 0) g_source_remove(flush_source_);
  if (keymap_ != nullptr) g_signal_handler_disconnect(keymap_, keys_changed_handler_);
}

// What is known of the keymap holds until the keyboard layout changes: a
// place a key came from may then be another key's.
void GtkKeyboardServices::WatchKeymap() {
  if (keymap_ != nullptr) return;
  keymap_ = gdk_keymap_get_for_display(gdk_display_get_default());
  keys_changed_handler_ =
      g_signal_connect_swapped(keymap_, "keys-changed", G_CALLBACK(+[](GtkKeyboardServices* self) {
                                 self->keycodes_.clear();
                                 self->arrived_keycodes_.clear();
                               }),
                               this);
}

guint GtkKeyboardServices::KeycodeOf(guint keyval) {
  WatchKeymap();
  auto it = keycodes_.find(keyval);
  if (it == keycodes_.end()) {
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    // Wayland's keymaps may answer TRUE with no entry and no array.
    if (!keymap_entries_(keymap_, keyval, &keys, &count)) count = 0;
    it = keycodes_.emplace(keyval, gdkkeys::ListedKeycode(keys, count)).first;
    g_free(keys);
  }
  if (it->second != 0) return it->second;
  // A virtual keyboard's keymap GDK cannot read whole: where the key really
  // is, as it came last, is the one place its own keymap surely has it.
  const auto arrived = arrived_keycodes_.find(keyval);
  if (arrived != arrived_keycodes_.end()) return arrived->second;
  return gdkkeys::StandardKeycodeOf(keyval);
}

GtkKeyboardServices::Modifiers GtkKeyboardServices::CurrentModifiers() const {
  return {IsDown(VK_SHIFT), IsDown(VK_CONTROL), IsDown(VK_MENU),
          (state_[VK_NUMLOCK] & kToggled) != 0, (state_[VK_CAPITAL] & kToggled) != 0};
}

GtkKeyboardServices::Modifiers GtkKeyboardServices::ModifiersOf(const MSG& msg) const {
  for (auto it = handed_out_.rbegin(); it != handed_out_.rend(); ++it) {
    if (SameMessage(it->msg, msg)) return it->mods;
  }
  return CurrentModifiers();
}

void GtkKeyboardServices::SetDown(BYTE vk, bool down) {
  BYTE& b = state_[vk];
  if (down && (b & kDown) == 0) b ^= kToggled;
  b = down ? (b | kDown) : (b & ~kDown);
}

// A modifier keeps its sided bytes too; the generic byte is down while
// either side is.
void GtkKeyboardServices::ApplyKey(BYTE vk, bool right_side, bool down) {
  struct Sides {
    BYTE generic, left, right;
  };
  constexpr Sides kSides[] = {{VK_SHIFT, VK_LSHIFT, VK_RSHIFT},
                              {VK_CONTROL, VK_LCONTROL, VK_RCONTROL},
                              {VK_MENU, VK_LMENU, VK_RMENU}};
  for (const Sides& s : kSides) {
    if (vk != s.generic && vk != s.left && vk != s.right) continue;
    const bool right = vk == s.right || (vk == s.generic && right_side);
    SetDown(right ? s.right : s.left, down);
    SetDown(s.generic, IsDown(s.left) || IsDown(s.right));
    return;
  }
  SetDown(vk, down);
}

void GtkKeyboardServices::SyncModifier(BYTE generic, BYTE left, BYTE right, bool held) {
  if (held == IsDown(generic)) return;
  if (held) {
    ApplyKey(left, false, true);
  } else {
    SetDown(left, false);
    SetDown(right, false);
    SetDown(generic, false);
  }
}

HWND GtkKeyboardServices::FocusTarget() const {
  if (GdkWindow* focused = FocusedToplevel()) return focused;
  if (ToplevelOf(last_key_window_) != nullptr) return last_key_window_;
  return nullptr;
}

DWORD GtkKeyboardServices::Now() const {
  const DWORD current = gtk_get_current_event_time();
  const DWORD known = std::max(current, last_real_time_);
  if (known != 0) return known;
  // The X server stamps its events with the monotonic clock in milliseconds.
  return static_cast<DWORD>(g_get_monotonic_time() / 1000);
}

void GtkKeyboardServices::Enqueue(const Queued& item) {
  queue_.push_back(item);
  ScheduleFlush();
}

// Key messages that no drain takes are delivered from the main loop, the way
// the platform's own loop would; they never pass the application's hook.
void GtkKeyboardServices::ScheduleFlush() {
  if (flush_source_ == 0)
    flush_source_ = g_idle_add_full(G_PRIORITY_DEFAULT, FlushIdle, this, nullptr);
}

gboolean GtkKeyboardServices::FlushIdle(gpointer self) {
  auto* services = static_cast<GtkKeyboardServices*>(self);
  services->flush_source_ = 0;
  MSG msg;
  while (services->PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    services->TranslateMessage(&msg);
    services->DispatchMessageA(&msg);
  }
  return G_SOURCE_REMOVE;
}

void GtkKeyboardServices::keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR /*extra*/) {
  const bool press = (flags & KEYEVENTF_KEYUP) == 0;
  const bool extended = (flags & KEYEVENTF_EXTENDEDKEY) != 0;
  const bool was_down = IsDown(vk);
  // A key event's state is that before the key itself, as X reports it.
  const Modifiers before = CurrentModifiers();
  const bool right_side = vk == VK_SHIFT ? scan == kRightShiftScan : extended;
  ApplyKey(vk, right_side, press);

  HWND target = FocusTarget();
  if (target == nullptr) return;
  const bool system = (vk == VK_MENU || IsDown(VK_MENU)) && !IsDown(VK_CONTROL);
  Queued item;
  item.msg.hwnd = target;
  item.msg.message = KeyMessage(press, system);
  item.msg.wParam = vk;
  item.msg.lParam = KeyLParam(scan, extended, press, was_down);
  item.msg.time = Now();
  // pt stays 0,0: asking the X server where the pointer is would cost a round
  // trip per played event, and nothing reads it from a played key.
  item.mods = before;
  Enqueue(item);
}

UINT GtkKeyboardServices::MapVirtualKeyA(UINT code, UINT map_type) {
  if (map_type == kMapVkToScan) return keylayout::ScanCodeOf(code);
  if (map_type == kMapScanToVk) return keylayout::VirtualKeyOfScan(code);
  return 0;
}

SHORT GtkKeyboardServices::VkKeyScanA(char ch) { return keylayout::CharToKeyCode(ch); }

SHORT GtkKeyboardServices::GetKeyState(int vk) {
  const BYTE b = state_[static_cast<BYTE>(vk)];
  return static_cast<SHORT>(((b & kDown) != 0 ? 0x8000 : 0) | (b & kToggled));
}

BOOL GtkKeyboardServices::GetKeyboardState(BYTE* state) {
  if (state == nullptr) return FALSE_;
  std::memcpy(state, state_.data(), state_.size());
  return 1;
}

BOOL GtkKeyboardServices::SetKeyboardState(BYTE* state) {
  if (state == nullptr) return FALSE_;
  std::memcpy(state_.data(), state, state_.size());
  return 1;
}

BOOL GtkKeyboardServices::PeekMessageA(MSG* msg, HWND hwnd, UINT first, UINT last, UINT remove) {
  const bool any_number = first == 0 && last == 0;
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    const UINT n = it->msg.message;
    if (hwnd != nullptr && it->msg.hwnd != hwnd) continue;
    if (!any_number && (n < first || n > last)) continue;
    *msg = it->msg;
    handed_out_.push_back(*it);
    // Only the last few can still be on their way to dispatch.
    if (handed_out_.size() > 16) handed_out_.pop_front();
    if ((remove & PM_REMOVE) != 0) queue_.erase(it);
    return 1;
  }
  return FALSE_;
}

BOOL GtkKeyboardServices::TranslateMessage(const MSG* msg) {
  if (msg == nullptr || !IsPress(msg->message)) return FALSE_;
  const Modifiers mods = ModifiersOf(*msg);
  const auto vk = static_cast<BYTE>(msg->wParam);
  char c = 0;
  if (mods.control && !mods.alt) {
    c = ControlCharOf(vk, mods.shift);
  } else if (!mods.control) {
    c = keylayout::CharOf(vk, IsLetter(vk) ? mods.shift != mods.caps_lock : mods.shift);
  }
  if (c == 0) return FALSE_;
  Queued item{*msg, mods};
  item.msg.message = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  item.msg.wParam = static_cast<unsigned char>(c);
  // Posted messages come before the input still queued: the key's own
  // key-up follows its character.
  queue_.push_front(item);
  ScheduleFlush();
  return 1;
}

LRESULT GtkKeyboardServices::DispatchMessageA(const MSG* msg) {
  if (msg == nullptr || !IsKeyMessage(msg->message)) return 0;
  auto* window = static_cast<GdkWindow*>(msg->hwnd);
  if (ToplevelOf(window) == nullptr) return 0;
  const Modifiers mods = ModifiersOf(*msg);
  const auto vk = static_cast<BYTE>(msg->wParam);
  const bool extended = ((msg->lParam >> 24) & 1) != 0;
  const guint keyval = gdkkeys::KeyvalOfVirtualKey(vk, extended, mods.shift, mods.caps_lock);
  guint keycode = KeycodeOf(keyval);
  if (keycode == 0) keycode = KeycodeOf(gdkkeys::KeyvalOfVirtualKey(vk, extended, false, false));

  GdkEvent* event = gdk_event_new(IsPress(msg->message) ? GDK_KEY_PRESS : GDK_KEY_RELEASE);
  GdkEventKey& key = event->key;
  key.window = GDK_WINDOW(g_object_ref(window));
  key.send_event = FALSE;
  key.time = msg->time;
  key.state = StateOf(mods.shift, mods.control, mods.alt, mods.num_lock, mods.caps_lock);
  key.keyval = keyval;
  key.string = EventString(keyval, mods.control);
  key.length = static_cast<gint>(std::strlen(key.string));
  key.hardware_keycode = static_cast<guint16>(keycode);
  key.group = 0;
  key.is_modifier = IsModifierKey(vk) ? 1 : 0;
  GdkDisplay* display = gdk_window_get_display(window);
  gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
  gtk_main_do_event(event);
  gdk_event_free(event);
  return 0;
}

int GtkKeyboardServices::MessageBoxA(HWND /*owner*/, const char* text, const char* caption,
                                     UINT type) {
  MessageIcon icon = MessageIcon::None;
  if ((type & kIconMask) == MB_ICONSTOP) icon = MessageIcon::Stop;
  if ((type & kIconMask) == kIconInformation) icon = MessageIcon::Information;
  ShowMessageBox(text != nullptr ? text : "", caption != nullptr ? caption : "", icon);
  return IDOK;
}

void GtkKeyboardServices::NoteKeyEvent(const GdkEventKey* event) {
  if (event == nullptr) return;
  const auto state = static_cast<guint>(event->state);
  SyncModifier(VK_SHIFT, VK_LSHIFT, VK_RSHIFT, (state & GDK_SHIFT_MASK) != 0);
  SyncModifier(VK_CONTROL, VK_LCONTROL, VK_RCONTROL, (state & GDK_CONTROL_MASK) != 0);
  SyncModifier(VK_MENU, VK_LMENU, VK_RMENU, (state & GDK_MOD1_MASK) != 0);
  auto set_toggle = [this](BYTE vk, bool on) {
    state_[vk] = on ? (state_[vk] | kToggled) : (state_[vk] & ~kToggled);
  };
  set_toggle(VK_NUMLOCK, (state & GDK_MOD2_MASK) != 0);
  set_toggle(VK_CAPITAL, (state & GDK_LOCK_MASK) != 0);

  const gdkkeys::VirtualKey key = gdkkeys::VirtualKeyOfKeyval(event->keyval);
  const bool right_side = event->keyval == GDK_KEY_Shift_R || key.extended;
  if (key.vk != 0) ApplyKey(key.vk, right_side, event->type == GDK_KEY_PRESS);
  WatchKeymap();
  if (event->hardware_keycode != 0) arrived_keycodes_[event->keyval] = event->hardware_keycode;
  if (event->window != nullptr) last_key_window_ = gdk_window_get_toplevel(event->window);
  last_real_time_ = std::max<DWORD>(last_real_time_, event->time);
}

MSG GtkKeyboardServices::KeyEventToMessage(const GdkEventKey* event) {
  MSG msg;
  const auto state = static_cast<guint>(event->state);
  const bool press = event->type == GDK_KEY_PRESS;
  const gdkkeys::VirtualKey key = gdkkeys::VirtualKeyOfKeyval(event->keyval);
  const bool alt = (state & GDK_MOD1_MASK) != 0 || key.vk == VK_MENU;
  const bool system = alt && (state & GDK_CONTROL_MASK) == 0;
  msg.hwnd = event->window != nullptr ? gdk_window_get_toplevel(event->window) : nullptr;
  msg.message = KeyMessage(press, system);
  msg.wParam = key.vk;
  msg.lParam = KeyLParam(keylayout::ScanCodeOf(key.vk), key.extended, press, false);
  msg.time = event->time;
  return msg;
}

void GtkKeyboardServices::PostMessage(const MSG& msg) {
  queue_.push_back({msg, CurrentModifiers()});
  if (IsKeyMessage(msg.message) || msg.message == WM_CHAR || msg.message == WM_SYSCHAR) {
    ScheduleFlush();
  }
}
