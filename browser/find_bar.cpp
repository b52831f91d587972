#include "browser/find_bar.h"

#include <atk/atk.h>
#include <gtkmm/window.h>
#include <webkit2/webkit2.h>

#include <memory>

namespace {

// Full-width and half-width forms, and case, match as the engine folds them.
constexpr guint32 kFindOptions =
    WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND;
constexpr guint kMaxMatches = 9999;

void Name(Gtk::Widget& widget, const char* name, const char* accessible) {
  widget.set_name(name);
  atk_object_set_name(gtk_widget_get_accessible(widget.gobj()), accessible);
}

}  // namespace

TFindBar::TFindBar(WebKitWebView* view)
    : Gtk::Box(Gtk::ORIENTATION_HORIZONTAL),
      view_(WEBKIT_WEB_VIEW(g_object_ref(view))),
      finder_(WEBKIT_FIND_CONTROLLER(g_object_ref(webkit_web_view_get_find_controller(view)))) {
  set_name("FindBar");
  set_spacing(6);
  set_border_width(4);
  set_no_show_all(true);  // shown by Ctrl+F
  Name(entry_, "FindEntry", "ページ内検索");
  Name(previous_, "FindPrevious", "前を検索");
  Name(next_, "FindNext", "次を検索");
  Name(close_, "FindClose", "検索バーを閉じる");
  status_.set_name("FindStatus");
  // A screen reader reads the count as the status it is.
  AtkObject* status = gtk_widget_get_accessible(GTK_WIDGET(status_.gobj()));
  atk_object_set_role(status, ATK_ROLE_STATUSBAR);
  atk_object_add_relationship(gtk_widget_get_accessible(GTK_WIDGET(entry_.gobj())),
                              ATK_RELATION_DESCRIBED_BY, status);
  caption_.set_mnemonic_widget(entry_);
  Gtk::Widget* const parts[] = {&caption_, &entry_, &status_, &previous_, &next_, &close_};
  for (Gtk::Widget* part : parts) {
    pack_start(*part, false, false);
    part->show();
  }
  entry_.signal_changed().connect([this] { Search(); });
  entry_.signal_activate().connect([this] { Next(); });
  previous_.signal_clicked().connect([this] { Previous(); });
  next_.signal_clicked().connect([this] { Next(); });
  close_.signal_clicked().connect([this] { Close(); });
  signal_key_press_event().connect([this](GdkEventKey* key) { return KeyPressed(key); });
  g_signal_connect(finder_, "counted-matches", G_CALLBACK(OnCounted), this);
}

TFindBar::~TFindBar() {
  g_signal_handlers_disconnect_by_data(finder_, this);
  g_object_unref(finder_);
  g_object_unref(view_);
}

void TFindBar::Open() {
  const bool was_open = get_visible();
  show();
  entry_.grab_focus();
  entry_.select_region(0, -1);
  if (!was_open && !entry_.get_text().empty()) Search();  // the page may have changed
}

void TFindBar::Close() {
  webkit_find_controller_search_finish(finder_);
  if (Focused()) gtk_widget_grab_focus(GTK_WIDGET(view_));
  hide();
}

bool TFindBar::Focused() {
  auto* window = dynamic_cast<Gtk::Window*>(get_toplevel());
  if (window == nullptr || !get_visible()) return false;
  Gtk::Widget* focus = window->get_focus();
  return focus != nullptr && focus->is_ancestor(*this);
}

void TFindBar::Search() {
  const std::string text = entry_.get_text();
  count_ = 0;
  current_ = 0;
  if (text.empty()) {
    webkit_find_controller_search_finish(finder_);
    ShowStatus();
    return;
  }
  webkit_find_controller_search(finder_, text.c_str(), kFindOptions, kMaxMatches);
  webkit_find_controller_count_matches(finder_, text.c_str(), kFindOptions, kMaxMatches);
}

// The search has gone to the first match; the count comes after it.
void TFindBar::Counted(unsigned count) {
  count_ = count;
  current_ = count > 0 ? 1 : 0;
  ShowStatus();
}

// F3 and the like with the strip closed open it and search again.
bool TFindBar::Opened() {
  if (get_visible() && !entry_.get_text().empty()) return true;
  Open();
  return false;
}

void TFindBar::Next() {
  if (!Opened() || count_ == 0) return;
  webkit_find_controller_search_next(finder_);
  current_ = current_ % count_ + 1;
  ShowStatus();
}

void TFindBar::Previous() {
  if (!Opened() || count_ == 0) return;
  webkit_find_controller_search_previous(finder_);
  current_ = current_ > 1 ? current_ - 1 : count_;
  ShowStatus();
}

void TFindBar::ShowStatus() {
  const bool none = count_ == 0 && !entry_.get_text().empty();
  if (none) {
    entry_.get_style_context()->add_class(GTK_STYLE_CLASS_ERROR);
    status_.set_text("見つかりません");
  } else {
    entry_.get_style_context()->remove_class(GTK_STYLE_CLASS_ERROR);
    status_.set_text(
        count_ == 0 ? "" : std::to_string(count_) + " 件中 " + std::to_string(current_) + " 件目");
  }
}

bool TFindBar::KeyPressed(GdkEventKey* key) {
  const guint mods = key->state & gtk_accelerator_get_default_mod_mask();
  if (key->keyval == GDK_KEY_Escape && mods == 0) {
    Close();
    return true;
  }
  // Plain Enter activates the entry, after any input method had it.
  const bool enter = key->keyval == GDK_KEY_Return || key->keyval == GDK_KEY_KP_Enter;
  if (enter && mods == GDK_SHIFT_MASK) {
    Previous();
    return true;
  }
  return false;
}
