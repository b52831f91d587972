#include "platform/application.h"

#include <glibmm/exceptionhandler.h>
#include <gtkmm/main.h>

#include <algorithm>

#include "platform/com.h"
#include "platform/exception.h"
#include "platform/gtk_keyboard.h"
#include "platform/message_box.h"

TApplication* Application = nullptr;

namespace {

// Input methods put a key they did not use back on the queue with this bit
// set in its state (IBus and Fcitx alike). It is the same key press seen a
// second time, not a new one.
constexpr guint kRequeuedKeyMask = 1u << 25;

struct EventMessage {
  GdkEventType type;
  UINT message;
};

constexpr EventMessage kEventMessages[] = {
    {GDK_MOTION_NOTIFY, WM_MOUSEMOVE},
    {GDK_BUTTON_PRESS, WM_LBUTTONDOWN},
    {GDK_2BUTTON_PRESS, WM_LBUTTONDBLCLK},
    {GDK_BUTTON_RELEASE, WM_LBUTTONUP},
    {GDK_SCROLL, WM_MOUSEWHEEL},
    {GDK_EXPOSE, WM_PAINT},
    {GDK_DELETE, WM_CLOSE},
};

// Button presses and releases of the middle and right buttons have their own
// message numbers.
UINT ButtonMessage(const GdkEventButton& b, UINT left) {
  if (b.button == 2) return left == WM_LBUTTONUP ? WM_MBUTTONUP : WM_MBUTTONDOWN;
  if (b.button == 3) return left == WM_LBUTTONUP ? WM_RBUTTONUP : WM_RBUTTONDOWN;
  return left;
}

MSG NonKeyMessage(GdkEvent* event) {
  MSG msg;
  msg.hwnd = event->any.window != nullptr ? gdk_window_get_toplevel(event->any.window) : nullptr;
  for (const EventMessage& m : kEventMessages) {
    if (m.type == event->type) msg.message = m.message;
  }
  if (event->type == GDK_BUTTON_PRESS || event->type == GDK_BUTTON_RELEASE) {
    msg.message = ButtonMessage(event->button, msg.message);
  }
  msg.time = gdk_event_get_time(event);
  return msg;
}

void OnGdkEvent(GdkEvent* event, gpointer data) {
  static_cast<TApplication*>(data)->ProcessEvent(event);
}

}  // namespace

TForm::TForm(TApplication* owner) : owner_(owner) { owner_->InsertForm(this); }

TForm::~TForm() { owner_->RemoveForm(this); }

bool TForm::on_delete_event(GdkEventAny*) {
  if (owner_->MainForm() == this) {
    owner_->Terminate();
  } else {
    hide();
  }
  return true;
}

bool TApplication::StartToolkit(bool opengl) {
  // Where pages are composited in software nothing draws with OpenGL, yet GDK
  // would load and probe the GL driver as it opens the display: the largest
  // single cost of start-up. A user's own GDK_GL is kept, and the engine's
  // processes do not inherit ours.
  const bool gl_set_here = !opengl && g_getenv("GDK_GL") == nullptr;
  if (gl_set_here) g_setenv("GDK_GL", "disable", TRUE);
  const bool started = gtk_init_check(nullptr, nullptr);
  if (gl_set_here) g_unsetenv("GDK_GL");
  if (!started) return false;
  Gtk::Main::init_gtkmm_internals();
  return true;
}

TApplication::TApplication() : title_(g_get_prgname() != nullptr ? g_get_prgname() : "") {}

TApplication::~TApplication() {
  DestroyForms();
  KeyboardServices* current = SetKeyboardServices(nullptr);
  if (current != keyboard_.get()) SetKeyboardServices(current);
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
  if (keyboard_) return;
  CoInitialize(nullptr);
  keyboard_ = std::make_unique<GtkKeyboardServices>();
  SetKeyboardServices(keyboard_.get());
  Glib::add_exception_handler([this] { HandleException(); });
  gdk_event_handler_set(OnGdkEvent, this, nullptr);
}

void TApplication::InsertForm(TForm* form) { forms_.push_back(form); }

void TApplication::RemoveForm(TForm* form) {
  std::erase(forms_, form);
  if (main_form_ == form) main_form_ = nullptr;
}

void TApplication::Run() {
  if (main_form_ == nullptr) return;
  main_form_->show();
  terminated_ = false;
  while (!terminated_) gtk_main_iteration();
}

void TApplication::Terminate() { terminated_ = true; }

void TApplication::DestroyForms() {
  while (!forms_.empty()) delete forms_.back();
}

void TApplication::ProcessEvent(GdkEvent* event) {
  MSG msg;
  const bool key = event->type == GDK_KEY_PRESS || event->type == GDK_KEY_RELEASE;
  if (key) {
    keyboard_->NoteKeyEvent(&event->key);
    if (event->key.state & kRequeuedKeyMask) {
      gtk_main_do_event(event);
      return;
    }
    msg = GtkKeyboardServices::KeyEventToMessage(&event->key);
  } else {
    msg = NonKeyMessage(event);
  }
  // Every message carries where the pointer was last seen.
  gdouble x = 0, y = 0;
  if (gdk_event_get_root_coords(event, &x, &y)) {
    last_pointer_ = {static_cast<LONG>(x), static_cast<LONG>(y)};
  }
  msg.pt = last_pointer_;
  bool handled = false;
  if (on_message_) {
    try {
      on_message_(msg, handled);
    } catch (...) {
      HandleException();
    }
  }
  if (!handled) gtk_main_do_event(event);
}

void TApplication::HandleException() {
  try {
    throw;
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    ShowException(Exception("不明なエラー"));
  }
}

void TApplication::ShowException(const std::exception& error) {
  ShowMessageBox(ErrorBoxText(error.what()), title_, MessageIcon::Stop);
}

std::string ErrorBoxText(const std::string& message) {
  if (message.empty()) return message;
  // Compare the last character, not the last byte of its UTF-8 form.
  std::size_t start = message.size() - 1;
  while (start > 0 && (static_cast<unsigned char>(message[start]) & 0xC0) == 0x80) --start;
  const std::u16string last = Utf8ToUtf16(std::string_view(message).substr(start));
  return last.empty() || last[0] <= u'.' ? message : message + ".";
}
