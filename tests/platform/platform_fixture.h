// Shared by the platform tests: a shown, focused window holding one entry,
// the keystroke player's way of playing a key, and a tap on the real key
// events that GDK takes from its queue.
#pragma once

#include <gtest/gtest.h>
#include <gtkmm/entry.h>
#include <gtkmm/window.h>

#include <vector>

#include "platform/gtk_keyboard.h"
#include "tests/support/main_loop.h"
#include "tests/support/x_input.h"

namespace platformtest {

// The keyboard-message drain, as the player runs it after every event.
inline void Drain(KeyboardServices& services) {
  MSG msg;
  while (services.PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    services.TranslateMessage(&msg);
    services.DispatchMessageA(&msg);
  }
}

inline void Play(KeyboardServices& services, BYTE vk, bool press, bool extended = false) {
  const DWORD flags = (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (press ? 0 : KEYEVENTF_KEYUP);
  services.keybd_event(vk, static_cast<BYTE>(services.MapVirtualKeyA(vk, 0)), flags, 0);
  Drain(services);
}

inline void PlayTap(KeyboardServices& services, BYTE vk, bool extended = false) {
  Play(services, vk, true, extended);
  Play(services, vk, false, extended);
}

// Takes over GDK's event handler the way the application's hook does: every
// real key event is copied, noted by the services (if any) and then handled.
class RealKeyTap {
 public:
  explicit RealKeyTap(GtkKeyboardServices* services = nullptr) : services_(services) {
    gdk_event_handler_set(&RealKeyTap::Handle, this, nullptr);
  }
  ~RealKeyTap() {
    gdk_event_handler_set(&RealKeyTap::Default, nullptr, nullptr);
    for (GdkEvent* e : events_) gdk_event_free(e);
  }
  RealKeyTap(const RealKeyTap&) = delete;
  RealKeyTap& operator=(const RealKeyTap&) = delete;

  // Presses or releases a key through the X server and waits for GDK to
  // hand the event over; returns it, or null when it never came.
  const GdkEventKey* Send(guint keysym, bool press) {
    const std::size_t before = events_.size();
    testsupport::FakeKey(keysym, press);
    if (!testsupport::RunUntil([&] { return events_.size() > before; })) return nullptr;
    return &events_.back()->key;
  }
  std::size_t size() const { return events_.size(); }

 private:
  static void Handle(GdkEvent* event, gpointer self) {
    auto* tap = static_cast<RealKeyTap*>(self);
    if (event->type == GDK_KEY_PRESS || event->type == GDK_KEY_RELEASE) {
      tap->events_.push_back(gdk_event_copy(event));
      if (tap->services_ != nullptr) tap->services_->NoteKeyEvent(&event->key);
    }
    gtk_main_do_event(event);
  }
  static void Default(GdkEvent* event, gpointer) { gtk_main_do_event(event); }

  GtkKeyboardServices* services_;
  std::vector<GdkEvent*> events_;
};

class EntryWindow {
 public:
  EntryWindow() {
    window.set_default_size(320, 80);
    window.add(entry);
    window.show_all();
  }
  ~EntryWindow() {
    window.hide();
    testsupport::RunPending(20);
  }
  bool Focus() {
    if (!testsupport::FocusWindow(window.gobj())) return false;
    entry.grab_focus();
    testsupport::RunPending(20);
    return entry.has_focus();
  }
  HWND hwnd() { return gtk_widget_get_window(GTK_WIDGET(window.gobj())); }

  Gtk::Window window;
  Gtk::Entry entry;
};

class EntryWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(w_.Focus()) << "the window never got the keyboard focus"; }

  EntryWindow w_;
  GtkKeyboardServices services_;
};

}  // namespace platformtest
