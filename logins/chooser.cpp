#include "logins/chooser.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/popover.h>

#include <memory>

namespace {

// Destroys `popover` once its closing is over, unless its window (and with it
// the popover) went first.
void DestroyLater(GtkWidget* popover) {
  auto* weak = new GtkWidget*(popover);
  g_object_add_weak_pointer(G_OBJECT(popover), reinterpret_cast<gpointer*>(weak));
  g_idle_add(
      [](gpointer data) {
        auto* left = static_cast<GtkWidget**>(data);
        if (*left != nullptr) {
          g_object_remove_weak_pointer(G_OBJECT(*left), reinterpret_cast<gpointer*>(left));
          gtk_widget_destroy(*left);
        }
        delete left;
        return G_SOURCE_REMOVE;
      },
      weak);
}

}  // namespace

void ChooseLogin(GtkWidget* view, const GdkRectangle& area,
                 const std::vector<std::string>& usernames,
                 std::function<void(std::optional<std::size_t>)> chosen) {
  // The toolkit owns it: the view's window destroys it when it closes first.
  auto* popover = Gtk::manage(new Gtk::Popover(*Glib::wrap(view)));
  popover->set_name("LoginChooser");
  popover->set_pointing_to(Gdk::Rectangle(const_cast<GdkRectangle*>(&area)));
  popover->set_position(Gtk::POS_BOTTOM);
  auto* list = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 0));
  // Whichever comes first, a choice or the closing, answers.
  auto answer =
      std::make_shared<std::function<void(std::optional<std::size_t>)>>(std::move(chosen));
  auto give = [answer](std::optional<std::size_t> index) {
    auto call = std::move(*answer);
    *answer = nullptr;
    if (call) call(index);
  };
  for (std::size_t i = 0; i < usernames.size(); ++i) {
    auto* button = Gtk::manage(new Gtk::Button(usernames[i]));
    button->set_name("LoginChoice");
    button->set_relief(Gtk::RELIEF_NONE);
    button->signal_clicked().connect([popover, give, i] {
      give(i);
      popover->popdown();
    });
    list->pack_start(*button, false, false);
  }
  popover->add(*list);
  GtkWidget* widget = GTK_WIDGET(popover->gobj());
  popover->signal_closed().connect([widget, give] {
    give(std::nullopt);
    DestroyLater(widget);
  });
  list->show_all();
  popover->popup();
}
