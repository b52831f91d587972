// The application object: it owns every window, runs the event loop with the
// one application-wide message hook in front of the toolkit, and shows errors
// that escape a handler in the error message box.
#pragma once

#include <gtkmm/window.h>

#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/wintypes.h"

class GtkKeyboardServices;
class TApplication;

// A top-level window owned by the application. Closing the main window ends
// the program; closing any other only hides it.
class TForm : public Gtk::Window {
 public:
  explicit TForm(TApplication* owner);
  ~TForm() override;
  TApplication* Owner() const { return owner_; }

 protected:
  bool on_delete_event(GdkEventAny* event) override;

 private:
  TApplication* owner_;
};

class TApplication {
 public:
  using MessageHook = std::function<void(const MSG& msg, bool& Handled)>;

  // Starts the toolkit, with its OpenGL or without; false when there is no
  // display to open.
  static bool StartToolkit(bool opengl = false);

  TApplication();
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // Initialises the component runtime for this thread and the keyboard services.
  void Initialize();
  const std::string& Title() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }

  // Constructs a form with this application as owner and `args`. `reference`
  // points at the form while it is built and is set back to null if building
  // fails.
  template <typename T, typename... Args>
  void CreateForm(T*& reference, Args&&... args);

  TForm* MainForm() const { return main_form_; }
  const std::vector<TForm*>& Forms() const { return forms_; }
  // Shows the main form and runs the event loop until Terminate.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Destroys every owned form, newest first.
  void DestroyForms();

  // Replaces the application-wide message hook.
  void SetOnMessage(MessageHook hook) { on_message_ = std::move(hook); }
  // Hands one event to the hook and, unless handled, to the toolkit.
  void ProcessEvent(GdkEvent* event);

  // Shows the error being handled (call from a catch block) or `error`.
  void HandleException();
  void ShowException(const std::exception& error);

  GtkKeyboardServices& Keyboard() { return *keyboard_; }

 private:
  friend class TForm;
  void InsertForm(TForm* form);
  void RemoveForm(TForm* form);

  std::string title_;
  TForm* main_form_ = nullptr;
  std::vector<TForm*> forms_;
  MessageHook on_message_;
  bool terminated_ = false;
  POINT last_pointer_;  // root position from the last pointer event
  std::unique_ptr<GtkKeyboardServices> keyboard_;
};

// The text the error message box shows for a message: a full stop is added
// when the message is not empty and its last character sorts after ".".
std::string ErrorBoxText(const std::string& message);

// The one application object, made by the entry point.
extern TApplication* Application;

template <typename T, typename... Args>
void TApplication::CreateForm(T*& reference, Args&&... args) {
  void* memory = ::operator new(sizeof(T));
  reference = static_cast<T*>(memory);
  try {
    T* form = new (memory) T(this, std::forward<Args>(args)...);
    if (main_form_ == nullptr) main_form_ = form;
  } catch (...) {
    reference = nullptr;
    ::operator delete(memory);
    throw;
  }
}
