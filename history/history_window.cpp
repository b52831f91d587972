#include "history/history_window.h"

#include <glib.h>
#include <glibmm/main.h>

#include <functional>

#include "history/bookmark_export.h"
#include "history/bookmark_import_dialog.h"
#include "history/clear_data_dialog.h"
#include "logins/saved_logins_window.h"
#include "store/bookmark_store.h"
#include "store/history_store.h"
#include "store/shown_address.h"

namespace {

// Filling the list with more would hold up the window for seconds; a search
// finds the older ones.
constexpr std::size_t kShownPages = 3000;
constexpr std::int64_t kDay = G_TIME_SPAN_DAY;
constexpr const char* kWeekdays[] = {"月", "火", "水", "木", "金", "土", "日"};
constexpr char kWindowKey[] = "tavorin-history-window";
constexpr std::int64_t kFillSlice = 8000;  // microseconds of filling between frames

THistoryWindow::SettingsOpener& Settings() {
  static THistoryWindow::SettingsOpener opener;
  return opener;
}

std::string Formatted(std::int64_t when, const char* format) {
  GDateTime* moment = g_date_time_new_from_unix_local(when / G_USEC_PER_SEC);
  gchar* text = g_date_time_format(moment, format);
  std::string formatted = text != nullptr ? text : "";
  g_free(text);
  g_date_time_unref(moment);
  return formatted;
}

int Weekday(std::int64_t when) {
  GDateTime* moment = g_date_time_new_from_unix_local(when / G_USEC_PER_SEC);
  const int weekday = g_date_time_get_day_of_week(moment);  // 1 = Monday
  g_date_time_unref(moment);
  return weekday;
}

// "今日", "昨日", or the date with its weekday: 2026年12月6日（日）.
std::string DayHeading(std::int64_t start, std::int64_t today) {
  if (start >= today) return "今日";
  if (start >= today - kDay) return "昨日";
  return Formatted(start, "%Y年%-m月%-d日（") + kWeekdays[Weekday(start) - 1] + "）";
}

std::int64_t TodayStart() {
  GDateTime* now = g_date_time_new_now_local();
  GDateTime* midnight = g_date_time_new_local(g_date_time_get_year(now), g_date_time_get_month(now),
                                              g_date_time_get_day_of_month(now), 0, 0, 0);
  const std::int64_t start = g_date_time_to_unix(midnight) * G_USEC_PER_SEC;
  g_date_time_unref(midnight);
  g_date_time_unref(now);
  return start;
}

bool IsDelete(const GdkEventKey* key) {
  const guint modifiers = key->state & (GDK_CONTROL_MASK | GDK_SHIFT_MASK | GDK_MOD1_MASK);
  return (key->keyval == GDK_KEY_Delete || key->keyval == GDK_KEY_KP_Delete) && modifiers == 0;
}

// Several rows may be chosen; Enter or a double-click opens one, Delete
// removes the chosen ones.
void ActOnRows(Gtk::TreeView& list, std::function<void(const Gtk::TreeModel::Path&)> open,
               std::function<void()> remove) {
  list.get_selection()->set_mode(Gtk::SELECTION_MULTIPLE);
  list.signal_row_activated().connect(
      [open](const Gtk::TreeModel::Path& path, Gtk::TreeViewColumn*) { open(path); });
  list.signal_key_press_event().connect(
      [remove](GdkEventKey* key) {
        if (!IsDelete(key)) return false;
        remove();
        return true;
      },
      false);
}

// Columns that share the width left, their text cut with "…".
void Widen(Gtk::TreeView& list, std::initializer_list<int> columns) {
  for (int i : columns) {
    Gtk::TreeViewColumn* column = list.get_column(i);
    column->set_expand(true);
    column->set_resizable(true);
    static_cast<Gtk::CellRendererText*>(column->get_first_cell())->property_ellipsize() =
        Pango::ELLIPSIZE_END;
  }
}

void Scrolled(Gtk::ScrolledWindow& scroll, Gtk::Widget& list) {
  scroll.set_policy(Gtk::POLICY_AUTOMATIC, Gtk::POLICY_AUTOMATIC);
  scroll.set_shadow_type(Gtk::SHADOW_IN);
  scroll.add(list);
}

}  // namespace

THistoryWindow::THistoryWindow(Gtk::Window& asker, HistoryStore* history, BookmarkStore* bookmarks,
                               Open open)
    : history_(history), bookmarks_(bookmarks), open_(std::move(open)) {
  set_name("HistoryWindow");
  set_title("履歴とブックマーク");
  set_transient_for(asker);
  set_default_size(720, 520);
  tabs_.append_page(BuildPagesTab(), "履歴");
  tabs_.append_page(BuildMarksTab(), "ブックマーク");
  actions_.set_layout(Gtk::BUTTONBOX_START);
  actions_.set_spacing(6);
  actions_.pack_start(clear_, Gtk::PACK_SHRINK);
  clear_.signal_clicked().connect([this] { AskToClear(); });
  actions_.pack_start(logins_, Gtk::PACK_SHRINK);
  logins_.signal_clicked().connect([this] { ShowSavedLogins(this); });
  actions_.pack_start(settings_, Gtk::PACK_SHRINK);
  settings_.signal_clicked().connect([this] { Settings()(*this); });
  column_.set_border_width(8);
  column_.pack_start(tabs_, Gtk::PACK_EXPAND_WIDGET);
  column_.pack_start(actions_, Gtk::PACK_SHRINK);
  add(column_);
  // Closing only hides it: Ctrl+H brings it back as it was.
  signal_delete_event().connect([this](GdkEventAny*) {
    hide();
    return true;
  });
  // Escape closes it, as a dialog; a search box with text is emptied first,
  // and a name being edited is given up first.
  signal_key_press_event().connect(
      [this](GdkEventKey* key) {
        if (key->keyval != GDK_KEY_Escape) return false;
        Gtk::Widget* focus = get_focus();
        const bool in_entry = focus != nullptr && GTK_IS_ENTRY(focus->gobj());
        if (in_entry && (focus != &search_ || !search_.get_text().empty())) return false;
        hide();
        return true;
      },
      false);
  Refresh();
  column_.show_all();
  settings_.set_visible(static_cast<bool>(Settings()));
  search_.grab_focus();
}

Gtk::Widget& THistoryWindow::BuildPagesTab() {
  page_rows_ = Gtk::TreeStore::create(page_columns_);
  pages_.set_model(page_rows_);
  pages_.set_name("HistoryPages");
  pages_.append_column("時刻", page_columns_.time);
  pages_.append_column("タイトル", page_columns_.title);
  pages_.append_column("アドレス", page_columns_.url);
  Widen(pages_, {1, 2});
  pages_.set_search_column(page_columns_.title);
  ActOnRows(
      pages_, [this](const Gtk::TreeModel::Path& path) { OpenPage(path); },
      [this] { DeleteSelectedPages(); });
  search_.set_placeholder_text("履歴を検索");
  search_.get_accessible()->set_name("履歴を検索");
  search_.signal_search_changed().connect([this] { FillPages(); });
  // Enter in the search opens the newest page found; Down goes to the list.
  search_.signal_activate().connect([this] {
    auto day = page_rows_->children().begin();
    if (day && !day->children().empty()) OpenPage(page_rows_->get_path(day->children().begin()));
  });
  Scrolled(pages_scroll_, pages_);
  pages_tab_.set_border_width(6);
  pages_tab_.pack_start(search_, Gtk::PACK_SHRINK);
  pages_tab_.pack_start(pages_scroll_, Gtk::PACK_EXPAND_WIDGET);
  return pages_tab_;
}

Gtk::Widget& THistoryWindow::BuildMarksTab() {
  mark_rows_ = Gtk::ListStore::create(mark_columns_);
  marks_.set_model(mark_rows_);
  marks_.set_name("BookmarkList");
  marks_.append_column_editable("名前", mark_columns_.name);
  marks_.append_column("アドレス", mark_columns_.url);
  Widen(marks_, {0, 1});
  for (int i : {0, 1}) {
    // Rows of one height need no measuring: a hundred thousand stay quick.
    marks_.get_column(i)->set_sizing(Gtk::TREE_VIEW_COLUMN_FIXED);
    marks_.get_column(i)->set_fixed_width(240);
  }
  marks_.set_fixed_height_mode(true);
  auto* name_cell = static_cast<Gtk::CellRendererText*>(marks_.get_column(0)->get_first_cell());
  name_cell->signal_edited().connect(
      [this](const Glib::ustring& path, const Glib::ustring& name) { MarkRenamed(path, name); });
  ActOnRows(
      marks_, [this](const Gtk::TreeModel::Path& path) { OpenMark(path); },
      [this] { DeleteSelectedMarks(); });
  open_mark_.signal_clicked().connect([this] {
    const auto chosen = marks_.get_selection()->get_selected_rows();
    if (!chosen.empty()) OpenMark(chosen.front());
  });
  rename_mark_.signal_clicked().connect([this] { RenameSelectedMark(); });
  remove_mark_.signal_clicked().connect([this] { DeleteSelectedMarks(); });
  mark_buttons_.set_layout(Gtk::BUTTONBOX_END);
  mark_buttons_.set_spacing(6);
  for (Gtk::Button* button : {&open_mark_, &rename_mark_, &remove_mark_}) {
    mark_buttons_.pack_start(*button, Gtk::PACK_SHRINK);
  }
  AddTransferButtons();
  Scrolled(marks_scroll_, marks_);
  marks_tab_.set_border_width(6);
  marks_tab_.pack_start(marks_scroll_, Gtk::PACK_EXPAND_WIDGET);
  marks_tab_.pack_start(mark_buttons_, Gtk::PACK_SHRINK);
  return marks_tab_;
}

void THistoryWindow::SetSettingsOpener(SettingsOpener opener) { Settings() = std::move(opener); }

// Bookmarks in from another browser and out to one, at the far side.
void THistoryWindow::AddTransferButtons() {
  for (Gtk::Button* button : {&import_marks_, &export_marks_}) {
    mark_buttons_.pack_start(*button, Gtk::PACK_SHRINK);
    mark_buttons_.set_child_secondary(*button, true);
    button->set_sensitive(bookmarks_ != nullptr);
  }
  import_marks_.signal_clicked().connect([this] {
    OpenBookmarkImport(*this, *bookmarks_, g_get_home_dir(), [this] { FillMarks(); });
  });
  export_marks_.signal_clicked().connect([this] { ExportBookmarks(*this, *bookmarks_); });
}

void THistoryWindow::Refresh() {
  FillPages();
  FillMarks();
}

void THistoryWindow::FillPages() {
  page_rows_->clear();
  if (history_ == nullptr) return;
  history_->Flush();  // the pages just seen too
  const std::int64_t today = TodayStart();
  for (const HistoryDay& day : history_->ListByDay(search_.get_text().raw(), kShownPages)) {
    Gtk::TreeRow heading = *page_rows_->append();
    heading[page_columns_.title] = DayHeading(day.start, today);
    for (const HistoryEntry& entry : day.entries) {
      Gtk::TreeRow row = *page_rows_->append(heading.children());
      row[page_columns_.time] = Formatted(entry.last_visit, "%H:%M");
      // Shown and opened escaped: the page it leads to is the same.
      const std::string url = EscapedAddress(entry.url);
      row[page_columns_.title] = entry.title.empty() ? url : entry.title;
      row[page_columns_.url] = url;
      row[page_columns_.id] = entry.id;
    }
  }
  pages_.expand_all();
}

// A fresh list, filled a slice at a time between frames: tens of thousands of
// rows at once, emptied or added, would hold up the window for a second.
void THistoryWindow::FillMarks() {
  filling_marks_.disconnect();
  mark_rows_ = Gtk::ListStore::create(mark_columns_);
  marks_.set_model(mark_rows_);
  if (bookmarks_ == nullptr || !AppendMarks()) return;
  filling_marks_ = Glib::signal_idle().connect(sigc::mem_fun(*this, &THistoryWindow::AppendMarks));
}

bool THistoryWindow::AppendMarks() {
  const std::vector<Bookmark>& all = bookmarks_->All();
  const std::int64_t until = g_get_monotonic_time() + kFillSlice;
  for (std::size_t i = mark_rows_->children().size(); i < all.size(); ++i) {
    if (g_get_monotonic_time() > until) return true;
    Gtk::TreeRow row = *mark_rows_->append();
    row[mark_columns_.name] = all[i].name;
    row[mark_columns_.url] = EscapedAddress(all[i].url);
    row[mark_columns_.id] = all[i].id;
  }
  return false;
}

void THistoryWindow::OpenPage(const Gtk::TreeModel::Path& path) {
  Gtk::TreeRow row = *page_rows_->get_iter(path);
  if (row[page_columns_.id] == 0) {
    // A day's row opens or closes the day.
    if (pages_.row_expanded(path)) {
      pages_.collapse_row(path);
    } else {
      pages_.expand_row(path, false);
    }
    return;
  }
  open_(Glib::ustring(row[page_columns_.url]).raw());
}

void THistoryWindow::OpenMark(const Gtk::TreeModel::Path& path) {
  Gtk::TreeRow row = *mark_rows_->get_iter(path);
  open_(Glib::ustring(row[mark_columns_.url]).raw());
}

// A day chosen as a whole goes with every page in it.
void THistoryWindow::DeleteSelectedPages() {
  if (history_ == nullptr) return;
  std::vector<std::int64_t> ids;
  for (const Gtk::TreeModel::Path& path : pages_.get_selection()->get_selected_rows()) {
    Gtk::TreeRow row = *page_rows_->get_iter(path);
    if (row[page_columns_.id] != 0) ids.push_back(row[page_columns_.id]);
    for (const Gtk::TreeRow& page : row.children()) ids.push_back(page[page_columns_.id]);
  }
  if (ids.empty()) return;
  history_->Delete(ids);
  FillPages();
}

void THistoryWindow::DeleteSelectedMarks() {
  if (bookmarks_ == nullptr) return;
  for (const Gtk::TreeModel::Path& path : marks_.get_selection()->get_selected_rows()) {
    bookmarks_->Remove((*mark_rows_->get_iter(path))[mark_columns_.id]);
  }
  FillMarks();
}

void THistoryWindow::RenameSelectedMark() {
  const auto chosen = marks_.get_selection()->get_selected_rows();
  if (chosen.empty()) return;
  marks_.grab_focus();
  marks_.set_cursor(chosen.front(), *marks_.get_column(0), true);
}

void THistoryWindow::MarkRenamed(const Glib::ustring& path, const Glib::ustring& name) {
  if (bookmarks_ == nullptr) return;
  bookmarks_->Rename((*mark_rows_->get_iter(path))[mark_columns_.id], name.raw());
  FillMarks();
}

void THistoryWindow::AskToClear() {
  OpenClearDataDialog(*this, history_, [this] { Refresh(); });
}

std::vector<std::string> THistoryWindow::ShownRows() {
  std::vector<std::string> shown;
  for (const Gtk::TreeRow& day : page_rows_->children()) {
    shown.push_back("# " + Glib::ustring(day[page_columns_.title]).raw());
    for (const Gtk::TreeRow& page : day.children()) {
      shown.push_back(Glib::ustring(page[page_columns_.url]).raw());
    }
  }
  return shown;
}

THistoryWindow& OpenHistoryWindow(Gtk::Window& asker, HistoryStore* history,
                                  BookmarkStore* bookmarks, THistoryWindow::Open open) {
  auto* window = static_cast<THistoryWindow*>(asker.get_data(kWindowKey));
  if (window == nullptr) {
    window = new THistoryWindow(asker, history, bookmarks, std::move(open));
    // It lives as long as the window that asked; closing it only hides it.
    asker.set_data(kWindowKey, window, [](gpointer w) { delete static_cast<THistoryWindow*>(w); });
  } else {
    window->Refresh();
  }
  window->present();
  return *window;
}
