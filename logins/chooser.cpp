#include "logins/chooser.h"

#include <gdk/gdkkeysyms.h>
#include <gtkmm/box.h>
#include <gtkmm/label.h>
#include <gtkmm/listbox.h>
#include <gtkmm/popover.h>

#include <memory>

namespace {

constexpr char kOpenList[] = "tavorin-login-chooser";
// A click this soon after the list opened, or before the pointer moved over
// it, was aimed at the page: a page can put its field where the user is
// about to click again.
constexpr gint64 kClickDelayUs = 400 * 1000;

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

class Chooser {
 public:
  using Chosen = std::function<void(std::optional<std::size_t>)>;

  Chooser(GtkWidget* view, const GdkRectangle& area, const std::string& site,
          const std::vector<std::string>& usernames, Chosen chosen)
      : view_(view), chosen_(std::move(chosen)), opened_(g_get_monotonic_time()) {
    g_object_add_weak_pointer(G_OBJECT(view_), reinterpret_cast<gpointer*>(&view_));
    // The toolkit owns it: the view's window destroys it when it closes first.
    popover_ = Gtk::manage(new Gtk::Popover(*Glib::wrap(view)));
    popover_->set_name("LoginChooserPopover");
    popover_->set_pointing_to(Gdk::Rectangle(const_cast<GdkRectangle*>(&area)));
    popover_->set_position(Gtk::POS_BOTTOM);
    // The box takes the focus and the keys: a popover passes its focus on.
    box_ = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 4));
    auto* box = box_;
    box->set_name("LoginChooser");
    box->set_can_focus(true);
    box->set_border_width(4);
    auto* title = Gtk::manage(new Gtk::Label(site));
    title->set_name("LoginChooserSite");
    title->set_xalign(0);
    title->get_style_context()->add_class("dim-label");
    box->pack_start(*title, false, false);
    rows_ = Gtk::manage(new Gtk::ListBox());
    rows_->set_can_focus(false);
    rows_->set_selection_mode(Gtk::SELECTION_SINGLE);
    for (const std::string& username : usernames) AddRow(username, site);
    box->pack_start(*rows_, false, false);
    popover_->add(*box);
    box->get_accessible()->set_name(site);
    rows_->add_events(Gdk::POINTER_MOTION_MASK);
    rows_->signal_motion_notify_event().connect([this](GdkEventMotion*) {
      moved_ = true;
      return false;
    });
    rows_->signal_row_activated().connect([this](Gtk::ListBoxRow* row) {
      if (moved_ && g_get_monotonic_time() - opened_ >= kClickDelayUs) Give(row->get_index());
    });
    box->signal_key_press_event().connect(sigc::mem_fun(*this, &Chooser::Key), false);
    popover_->signal_hide().connect([this] { Give(std::nullopt); });
    box->show_all();
  }

  ~Chooser() {
    if (view_ == nullptr) return;
    if (g_object_get_data(G_OBJECT(view_), kOpenList) == this) {
      g_object_set_data(G_OBJECT(view_), kOpenList, nullptr);
    }
    g_object_remove_weak_pointer(G_OBJECT(view_), reinterpret_cast<gpointer*>(&view_));
  }
  Chooser(const Chooser&) = delete;
  Chooser& operator=(const Chooser&) = delete;

  // Lives as long as its popover.
  void Own() {
    g_object_set_data_full(G_OBJECT(popover_->gobj()), "tavorin-chooser", this,
                           [](gpointer self) { delete static_cast<Chooser*>(self); });
  }

  void Open() {
    popover_->popup();
    box_->grab_focus();
  }

  // Closes without a choice.
  void Close() { Give(std::nullopt); }

 private:
  void AddRow(const std::string& username, const std::string& site) {
    auto* label = Gtk::manage(new Gtk::Label(username));
    label->set_xalign(0);
    label->set_margin_start(6);
    label->set_margin_end(6);
    label->set_margin_top(4);
    label->set_margin_bottom(4);
    auto* row = Gtk::manage(new Gtk::ListBoxRow());
    row->set_name("LoginChoice");
    row->set_can_focus(false);
    row->add(*label);
    row->get_accessible()->set_name(username + " — " + site);
    rows_->append(*row);
  }

  void Move(int step) {
    const int count = static_cast<int>(rows_->get_children().size());
    Gtk::ListBoxRow* now = rows_->get_selected_row();
    int index = now == nullptr ? (step > 0 ? 0 : count - 1) : now->get_index() + step;
    if (index < 0) index = 0;
    if (index >= count) index = count - 1;
    Gtk::ListBoxRow* row = rows_->get_row_at_index(index);
    if (row == nullptr) return;
    rows_->select_row(*row);
    // The focus stays on the list: its name says the row chosen.
    box_->get_accessible()->set_name(row->get_accessible()->get_name());
  }

  bool Key(GdkEventKey* event) {
    switch (event->keyval) {
      case GDK_KEY_Down:
      case GDK_KEY_KP_Down:
        Move(1);
        return true;
      case GDK_KEY_Up:
      case GDK_KEY_KP_Up:
        Move(-1);
        return true;
      case GDK_KEY_Escape:
        Give(std::nullopt);
        return true;
      case GDK_KEY_Return:
      case GDK_KEY_KP_Enter:
      case GDK_KEY_ISO_Enter:
        if (Gtk::ListBoxRow* row = rows_->get_selected_row()) {
          Give(row->get_index());
          return true;
        }
        break;
      default:
        if (event->is_modifier) return false;
    }
    // Typing goes on to the page, as if the list had not been there.
    GtkWidget* view = view_;
    if (view == nullptr) return false;
    GdkEvent* copy = gdk_event_copy(reinterpret_cast<GdkEvent*>(event));
    g_object_ref(view);
    Give(std::nullopt);
    gtk_widget_event(view, copy);
    g_object_unref(view);
    gdk_event_free(copy);
    return true;
  }

  // Whichever comes first, a choice or the closing, answers; then the list goes.
  void Give(std::optional<std::size_t> index) {
    if (given_) return;
    given_ = true;
    Chosen chosen = std::move(chosen_);
    GtkWidget* widget = GTK_WIDGET(popover_->gobj());
    if (view_ != nullptr) g_object_set_data(G_OBJECT(view_), kOpenList, nullptr);
    gtk_widget_hide(widget);  // at once: the next key is the page's
    DestroyLater(widget);
    if (chosen) chosen(index);
  }

  GtkWidget* view_;
  Chosen chosen_;
  gint64 opened_;
  bool moved_ = false;
  bool given_ = false;
  Gtk::Popover* popover_ = nullptr;
  Gtk::Box* box_ = nullptr;
  Gtk::ListBox* rows_ = nullptr;
};

}  // namespace

void CloseLoginChoice(GtkWidget* view) {
  if (auto* open = static_cast<Chooser*>(g_object_get_data(G_OBJECT(view), kOpenList))) {
    open->Close();
  }
}

void ChooseLogin(GtkWidget* view, const GdkRectangle& field, const std::string& site,
                 const std::vector<std::string>& usernames,
                 std::function<void(std::optional<std::size_t>)> chosen) {
  // The page gives the field's place: the list stays over the page.
  const GdkRectangle page{0, 0, gtk_widget_get_allocated_width(view),
                          gtk_widget_get_allocated_height(view)};
  GdkRectangle area;
  if (!gdk_rectangle_intersect(&field, &page, &area)) return;
  CloseLoginChoice(view);
  auto* chooser = new Chooser(view, area, site, usernames, std::move(chosen));
  chooser->Own();
  g_object_set_data(G_OBJECT(view), kOpenList, chooser);
  chooser->Open();
}
