#include "platform/message_box.h"

#include <gtk/gtk.h>
#include <gtkmm/messagedialog.h>

#include <memory>
#include <vector>

namespace {

Gtk::MessageType MessageTypeOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Stop:
      return Gtk::MESSAGE_ERROR;
    case MessageIcon::Information:
      return Gtk::MESSAGE_INFO;
    case MessageIcon::None:
      break;
  }
  return Gtk::MESSAGE_OTHER;
}

// A window that may be finalized while the box is up: the weak pointer then
// reads null.
class WeakWindow {
 public:
  explicit WeakWindow(GtkWindow* window) : window_(window) {
    g_object_add_weak_pointer(G_OBJECT(window_), reinterpret_cast<gpointer*>(&window_));
  }
  ~WeakWindow() {
    if (window_ != nullptr) {
      g_object_remove_weak_pointer(G_OBJECT(window_), reinterpret_cast<gpointer*>(&window_));
    }
  }
  WeakWindow(const WeakWindow&) = delete;
  WeakWindow& operator=(const WeakWindow&) = delete;
  GtkWindow* get() const { return window_; }

 private:
  GtkWindow* window_;
};

// Makes every toplevel insensitive for its lifetime and restores those that
// were sensitive, whatever way the box ends.
class ApplicationModality {
 public:
  ApplicationModality() {
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* l = toplevels; l != nullptr; l = l->next) {
      auto* window = GTK_WINDOW(l->data);
      if (active_ == nullptr && gtk_window_is_active(window)) {
        active_ = std::make_unique<WeakWindow>(window);
      }
      if (first_visible_ == nullptr && gtk_widget_get_visible(GTK_WIDGET(window))) {
        first_visible_ = window;
      }
      if (gtk_widget_get_sensitive(GTK_WIDGET(window))) {
        gtk_widget_set_sensitive(GTK_WIDGET(window), FALSE);
        disabled_.push_back(std::make_unique<WeakWindow>(window));
      }
    }
    g_list_free(toplevels);
  }
  ~ApplicationModality() {
    for (const auto& window : disabled_) {
      if (window->get() != nullptr) gtk_widget_set_sensitive(GTK_WIDGET(window->get()), TRUE);
    }
    if (active_ != nullptr && active_->get() != nullptr) gtk_window_present(active_->get());
  }
  ApplicationModality(const ApplicationModality&) = delete;
  ApplicationModality& operator=(const ApplicationModality&) = delete;

  // The window to place the box over; only valid before the box runs.
  GtkWindow* parent() const {
    return active_ != nullptr && active_->get() != nullptr ? active_->get() : first_visible_;
  }

 private:
  std::unique_ptr<WeakWindow> active_;
  GtkWindow* first_visible_ = nullptr;
  std::vector<std::unique_ptr<WeakWindow>> disabled_;
};

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
  ApplicationModality modality;
  Gtk::MessageDialog dialog(text, false, MessageTypeOf(icon), Gtk::BUTTONS_OK, true);
  dialog.set_title(caption);
  if (GtkWindow* parent = modality.parent()) {
    gtk_window_set_transient_for(GTK_WINDOW(dialog.gobj()), parent);
  }
  // Without a window manager nobody else would give the box the focus.
  dialog.show();
  dialog.present();
  dialog.run();
  dialog.hide();
}
