// Finding the program's windows and their parts the way a user sees them:
// a window by its kind, a part by what it says or by its accessible name.
#pragma once

#include <atk/atk.h>
#include <gtkmm/container.h>
#include <gtkmm/window.h>

#include <functional>
#include <string>

namespace testsupport {

// The first toplevel window of type T that shows, or null.
template <typename T>
T* ShownWindow() {
  for (Gtk::Window* window : Gtk::Window::list_toplevels()) {
    auto* found = dynamic_cast<T*>(window);
    if (found != nullptr && found->get_visible()) return found;
  }
  return nullptr;
}

// The first widget of type T under `root` (itself included) that `accepts`.
template <typename T>
T* FindWidget(Gtk::Widget& root, const std::function<bool(T&)>& accepts) {
  if (auto* widget = dynamic_cast<T*>(&root); widget != nullptr && accepts(*widget)) return widget;
  auto* container = dynamic_cast<Gtk::Container*>(&root);
  if (container == nullptr) return nullptr;
  for (Gtk::Widget* child : container->get_children()) {
    if (T* found = FindWidget<T>(*child, accepts)) return found;
  }
  return nullptr;
}

// What screen readers call `widget`.
inline std::string SpokenName(Gtk::Widget& widget) {
  const char* name = atk_object_get_name(gtk_widget_get_accessible(widget.gobj()));
  return name != nullptr ? name : "";
}

// The first widget of type T under `root` whose spoken name begins with `prefix`.
template <typename T>
T* FindSpoken(Gtk::Widget& root, const std::string& prefix) {
  return FindWidget<T>(root, [&](T& w) { return SpokenName(w).rfind(prefix, 0) == 0; });
}

}  // namespace testsupport
