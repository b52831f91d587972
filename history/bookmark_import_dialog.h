// ブックマークのインポート: the other browsers' profiles found under the home
// folder, offered by name, or a bookmarks HTML file; a progress bar while the
// import runs on its own thread, then what was added and skipped and why.
// キャンセル, closing it or closing the window under it gives the import up.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/comboboxtext.h>
#include <gtkmm/dialog.h>
#include <gtkmm/filechooserbutton.h>
#include <gtkmm/label.h>
#include <gtkmm/progressbar.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/bookmark_import.h"

class TBookmarkImportDialog : public Gtk::Dialog {
 public:
  // `imported` is called when bookmarks were added, to show them.
  TBookmarkImportDialog(Gtk::Window& parent, BookmarkStore& store, const std::string& home,
                        std::function<void()> imported);
  ~TBookmarkImportDialog() override;

  Gtk::ComboBoxText& Source() { return source_; }
  Gtk::FileChooserButton& HtmlFile() { return html_file_; }
  Gtk::Button& ImportButton() { return *import_; }
  Gtk::ProgressBar& Progress() { return progress_; }
  Gtk::Label& Outcome() { return outcome_; }
  bool Running() const { return running_ != nullptr; }

 private:
  static constexpr char kHtmlId[] = "html";

  void Start();
  bool Poll();
  void Stop();
  void ChoiceChanged();

  BookmarkStore& store_;
  std::function<void()> imported_;
  std::vector<BookmarkSource> found_;
  std::unique_ptr<BookmarkImport> running_;
  sigc::connection poll_;
  sigc::connection parent_hidden_;
  Gtk::Box column_{Gtk::ORIENTATION_VERTICAL, 8};
  Gtk::Label source_label_{"インポート元(_S):", true};
  Gtk::ComboBoxText source_;
  Gtk::FileChooserButton html_file_{"ブックマークの HTML ファイル", Gtk::FILE_CHOOSER_ACTION_OPEN};
  Gtk::ProgressBar progress_;
  Gtk::Label outcome_;
  Gtk::Button* import_ = nullptr;
  Gtk::Button* close_ = nullptr;
};

// Opens the import dialog over `parent`, or brings back the one it has.
TBookmarkImportDialog& OpenBookmarkImport(Gtk::Window& parent, BookmarkStore& store,
                                          const std::string& home, std::function<void()> imported);
