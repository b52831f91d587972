#include "window/suggestion_list.h"

#include <atk/atk.h>
#include <glibmm/main.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/stylecontext.h>

#include <algorithm>

#include "browser/address_gate.h"
#include "store/shown_address.h"

namespace {

// Wide enough for a title and most of an address beside it.
constexpr int kLeastWidth = 560;

constexpr char kStyle[] = R"css(
#SuggestionList { border: 1px solid #8f8f8f; background: #ffffff; }
#SuggestionList row { padding: 3px 6px; }
#SuggestionList .address { color: #1a5fb4; }
)css";

void Style(Gtk::Widget& widget) {
  auto css = Gtk::CssProvider::create();
  css->load_from_data(kStyle);
  widget.get_style_context()->add_provider(css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

std::string Trimmed(const std::string& text) {
  const auto blank = [](unsigned char c) { return g_ascii_isspace(c); };
  const auto first = std::find_if_not(text.begin(), text.end(), blank);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
  return first < last ? std::string(first, last) : std::string();
}

}  // namespace

TSuggestionList::TSuggestionList(Gtk::Window& window, Gtk::Entry& entry, Sources sources, Open open)
    : window_(window), entry_(entry), sources_(std::move(sources)), open_(std::move(open)) {
  popup_.set_name("SuggestionList");
  popup_.set_type_hint(Gdk::WINDOW_TYPE_HINT_COMBO);
  popup_.set_transient_for(window_);
  gtk_window_set_attached_to(popup_.gobj(), GTK_WIDGET(entry_.gobj()));
  Style(popup_);
  list_.set_selection_mode(Gtk::SELECTION_SINGLE);
  list_.set_activate_on_single_click(true);
  list_.get_accessible()->set_name("候補");
  popup_.add(list_);
  BuildRows();
  list_.show();
  connections_ = {
      entry_.signal_changed().connect([this] { Changed(); }),
      entry_.signal_focus_out_event().connect([this](GdkEventFocus*) {
        CloseUnlessFocusReturns();
        return false;
      }),
      entry_.signal_activate().connect([this] { Close(); }),
      // Before the window's own keys: Escape here is the list's, not a stop.
      window_.signal_key_press_event().connect(
          [this](GdkEventKey* key) { return KeyPressed(*key); }, false),
      window_.signal_configure_event().connect([this](GdkEventConfigure*) {
        Close();
        return false;
      }),
      window_.signal_hide().connect([this] { Close(); }),
      list_.signal_row_activated().connect(
          [this](Gtk::ListBoxRow* row) { OpenRow(row->get_index()); }),
  };
  g_signal_connect(entry_.gobj(), "preedit-changed", G_CALLBACK(OnPreedit), this);
}

TSuggestionList::~TSuggestionList() {
  focus_check_.disconnect();
  for (sigc::connection& connection : connections_) connection.disconnect();
  g_signal_handlers_disconnect_by_data(entry_.gobj(), this);
}

void TSuggestionList::BuildRows() {
  for (Row& row : rows_) {
    row.title.set_xalign(0);
    row.title.set_ellipsize(Pango::ELLIPSIZE_END);
    row.title.set_width_chars(20);
    row.url.set_xalign(0);
    row.url.set_ellipsize(Pango::ELLIPSIZE_MIDDLE);
    row.url.get_style_context()->add_class("address");
    Style(row.url);
    row.line.pack_start(row.title, Gtk::PACK_EXPAND_WIDGET);
    row.line.pack_start(row.url, Gtk::PACK_EXPAND_WIDGET);
    row.line.set_homogeneous(true);
    row.row.add(row.line);
    row.line.show_all();
    list_.append(row.row);
  }
}

void TSuggestionList::ShowAddress(const std::string& text) {
  quiet_ = true;
  entry_.set_text(text);
  quiet_ = false;
  Close();
}

void TSuggestionList::Close() {
  pending_ = false;
  chosen_ = -1;
  default_ = -1;
  if (popup_.get_visible()) popup_.hide();
}

// A keyboard that comes or goes (a virtual one may come for each key under
// Wayland) takes the focus away and gives it back at once: the list stays.
void TSuggestionList::CloseUnlessFocusReturns() {
  focus_check_.disconnect();
  focus_check_ = Glib::signal_idle().connect(
      [this] {
        if (!entry_.has_focus() || !window_.has_toplevel_focus()) Close();
        return false;
      },
      Glib::PRIORITY_DEFAULT_IDLE);
}

void TSuggestionList::Changed() {
  if (quiet_ || !entry_.is_focus()) return;
  if (composing_) {
    pending_ = true;
    return;
  }
  Update();
}

void TSuggestionList::PreeditChanged(const char* preedit) {
  composing_ = preedit != nullptr && *preedit != '\0';
  if (composing_) {
    const bool was_pending = pending_;
    Close();
    pending_ = was_pending;
  } else if (pending_) {
    Update();
  }
}

void TSuggestionList::Update() {
  pending_ = false;
  const std::string typed = Trimmed(entry_.get_text());
  offered_ = typed.empty() ? std::vector<Suggestion>{}
                           : GatherSuggestions(sources_(), typed, kLimit,
                                               [](const std::string& url) { return MayOpen(url); });
  if (offered_.empty()) {
    Close();
    return;
  }
  // Placing and sizing the list costs a round of the window system: only
  // when it appears or its number of rows changes.
  const bool resized = !Shown() || offered_.size() != shown_rows_;
  shown_rows_ = offered_.size();
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    Row& row = rows_[i];
    if (i >= offered_.size()) {
      row.row.hide();
      continue;
    }
    const Suggestion& page = offered_[i];
    // A kept address may hold characters that hide or reorder: shown escaped.
    const std::string url = EscapedAddress(page.url);
    row.title.set_text(page.title.empty() ? url : page.title);
    row.url.set_text(url);
    row.row.get_accessible()->set_name(page.title.empty() ? url : page.title + " " + url);
    row.row.show();
  }
  default_ = offered_.front().as_typed ? 0 : -1;
  Choose(-1);
  if (resized) Place();
  popup_.show();
}

// Asked of the toolkit relative to the box: a compositor places popups
// itself and ignores a move.
void TSuggestionList::Place() {
  int x = 0, y = 0;
  entry_.translate_coordinates(window_, 0, 0, x, y);
  const int width = std::max(entry_.get_allocated_width(), kLeastWidth);
  popup_.set_size_request(width, -1);
  popup_.resize(width, 1);  // as tall as its rows
  gtk_widget_realize(GTK_WIDGET(popup_.gobj()));
  const GdkRectangle box{x, y, entry_.get_allocated_width(), entry_.get_allocated_height()};
  gdk_window_move_to_rect(popup_.get_window()->gobj(), &box, GDK_GRAVITY_SOUTH_WEST,
                          GDK_GRAVITY_NORTH_WEST,
                          GdkAnchorHints(GDK_ANCHOR_FLIP_Y | GDK_ANCHOR_SLIDE_X), 0, 0);
}

void TSuggestionList::Choose(int row) {
  chosen_ = row;
  const int shown = row >= 0 ? row : default_;
  if (shown < 0) {
    list_.unselect_all();
  } else {
    list_.select_row(rows_[shown].row);
  }
}

// The row `step` away from `row` (-1: the typed text), past the default row,
// which is the typed text's.
int TSuggestionList::Next(int row, int step) const {
  const int count = static_cast<int>(offered_.size());
  do {
    row += step;
    if (row >= count) row = -1;
    if (row < -1) row = count - 1;
  } while (row >= 0 && row == default_);
  return row;
}

void TSuggestionList::OpenRow(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= offered_.size()) return;
  const std::string url = offered_[row].url;
  if (!MayOpen(url)) return;
  ShowAddress(EscapedAddress(url));
  open_(url);
}

bool TSuggestionList::KeyPressed(const GdkEventKey& key) {
  if (!Shown() || composing_ || window_.get_focus() != &entry_) return false;
  if ((key.state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) != 0) return false;
  switch (key.keyval) {
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
      // Past the last row the typed text is chosen again, then the first row.
      Choose(Next(chosen_, 1));
      return true;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
      Choose(Next(chosen_, -1));
      return true;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
      if (chosen_ >= 0) {
        OpenRow(chosen_);
        return true;
      }
      Close();
      return false;  // the box opens what was typed
    case GDK_KEY_Escape:
      Close();
      return true;
    default:
      return false;
  }
}
