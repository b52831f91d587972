// The history window (Ctrl+H): the pages seen, grouped by day, newest first,
// with a search box; the user's bookmarks in a second tab; and the way to
// clear what the program keeps. A page chosen here opens in the window that
// asked for this one.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/buttonbox.h>
#include <gtkmm/liststore.h>
#include <gtkmm/notebook.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/searchentry.h>
#include <gtkmm/treestore.h>
#include <gtkmm/treeview.h>
#include <gtkmm/window.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class BookmarkStore;
class HistoryStore;

class THistoryWindow : public Gtk::Window {
 public:
  using Open = std::function<void(const std::string& url)>;
  // Either store may be null (not kept, or not to be opened).
  THistoryWindow(Gtk::Window& asker, HistoryStore* history, BookmarkStore* bookmarks, Open open);

  // What 「設定…」 does, given this window; set once by the program, which
  // knows the settings window. Without it the button is not shown.
  using SettingsOpener = std::function<void(Gtk::Window& history)>;
  static void SetSettingsOpener(SettingsOpener opener);

  // Reads both lists again, keeping the search.
  void Refresh();

  // Where buttons about other things the program keeps go, beside the one
  // that clears browsing data.
  Gtk::ButtonBox& Actions() { return actions_; }

  Gtk::Notebook& Tabs() { return tabs_; }
  Gtk::SearchEntry& Search() { return search_; }
  Gtk::TreeView& Pages() { return pages_; }
  Gtk::TreeView& Marks() { return marks_; }
  Gtk::Button& ClearButton() { return clear_; }
  Gtk::Button& LoginsButton() { return logins_; }
  Gtk::Button& SettingsButton() { return settings_; }
  Gtk::Button& OpenMarkButton() { return open_mark_; }
  Gtk::Button& RenameMarkButton() { return rename_mark_; }
  Gtk::Button& RemoveMarkButton() { return remove_mark_; }
  Gtk::Button& ImportMarksButton() { return import_marks_; }
  Gtk::Button& ExportMarksButton() { return export_marks_; }
  // The addresses the pages tab shows, in order; the days' own rows as
  // "#" and the day's heading.
  std::vector<std::string> ShownRows();

 private:
  struct PageColumns : Gtk::TreeModelColumnRecord {
    PageColumns() {
      add(time);
      add(title);
      add(url);
      add(id);
    }
    Gtk::TreeModelColumn<Glib::ustring> time, title, url;
    Gtk::TreeModelColumn<std::int64_t> id;  // 0 for a day's row
  };
  struct MarkColumns : Gtk::TreeModelColumnRecord {
    MarkColumns() {
      add(name);
      add(url);
      add(id);
    }
    Gtk::TreeModelColumn<Glib::ustring> name, url;
    Gtk::TreeModelColumn<std::int64_t> id;
  };

  Gtk::Widget& BuildPagesTab();
  Gtk::Widget& BuildMarksTab();
  void FillPages();
  void FillMarks();
  bool AppendMarks();
  void OpenPage(const Gtk::TreeModel::Path& path);
  void OpenMark(const Gtk::TreeModel::Path& path);
  void DeleteSelectedPages();
  void DeleteSelectedMarks();
  void RenameSelectedMark();
  void MarkRenamed(const Glib::ustring& path, const Glib::ustring& name);
  void AskToClear();
  void AddTransferButtons();

  HistoryStore* history_;
  BookmarkStore* bookmarks_;
  Open open_;
  PageColumns page_columns_;
  MarkColumns mark_columns_;
  Glib::RefPtr<Gtk::TreeStore> page_rows_;
  Glib::RefPtr<Gtk::ListStore> mark_rows_;
  sigc::connection filling_marks_;
  Gtk::Box column_{Gtk::ORIENTATION_VERTICAL, 6};
  Gtk::Notebook tabs_;
  Gtk::Box pages_tab_{Gtk::ORIENTATION_VERTICAL, 6};
  Gtk::SearchEntry search_;
  Gtk::ScrolledWindow pages_scroll_;
  Gtk::TreeView pages_;
  Gtk::Box marks_tab_{Gtk::ORIENTATION_VERTICAL, 6};
  Gtk::ScrolledWindow marks_scroll_;
  Gtk::TreeView marks_;
  Gtk::ButtonBox mark_buttons_{Gtk::ORIENTATION_HORIZONTAL};
  Gtk::Button open_mark_{"開く(_O)", true};
  Gtk::Button rename_mark_{"名前を変更(_R)", true};
  Gtk::Button remove_mark_{"削除(_D)", true};
  Gtk::Button import_marks_{"インポート(_I)…", true};
  Gtk::Button export_marks_{"エクスポート(_E)…", true};
  Gtk::ButtonBox actions_{Gtk::ORIENTATION_HORIZONTAL};
  Gtk::Button clear_{"閲覧データを消去(_C)…", true};
  Gtk::Button logins_{"保存したパスワード(_P)…", true};
  Gtk::Button settings_{"設定…"};
};

// Opens the history window of `asker`, or brings back the one it has.
THistoryWindow& OpenHistoryWindow(Gtk::Window& asker, HistoryStore* history,
                                  BookmarkStore* bookmarks, THistoryWindow::Open open);
