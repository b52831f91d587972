#include "browser/login_chooser.h"

#include <glibmm/main.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/popover.h>

#include <memory>

void ChooseLogin(GtkWidget* view, const GdkRectangle& area,
                 const std::vector<std::string>& usernames,
                 std::function<void(std::optional<std::size_t>)> chosen) {
  auto* popover = new Gtk::Popover(*Glib::wrap(view));
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
  popover->signal_closed().connect([popover, give] {
    give(std::nullopt);
    Glib::signal_idle().connect_once([popover] { delete popover; });
  });
  list->show_all();
  popover->popup();
}
