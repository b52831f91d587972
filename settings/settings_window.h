// The settings window (「設定」): every key of tavorin.conf with a control of
// its own, one line of help and, when a value is refused or cannot be saved,
// the reason beside it; and whether Tavorin is the desktop's default browser.
// A change is written at once (see settings_writer.h) and put into effect
// where the engine allows.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/comboboxtext.h>
#include <gtkmm/entry.h>
#include <gtkmm/grid.h>
#include <gtkmm/label.h>
#include <gtkmm/switch.h>
#include <gtkmm/window.h>

#include <functional>
#include <map>
#include <string>

#include "settings/settings.h"

struct SettingRow;

class TSettingsWindow : public Gtk::Window {
 public:
  // The address of the page shown by the window that asked, for 「現在のページを使用」.
  using CurrentPage = std::function<std::string()>;
  TSettingsWindow(Gtk::Window& asker, std::string file, CurrentPage current_page);
  ~TSettingsWindow() override;

  // Shows what the file says now, and whether Tavorin is the default browser.
  void Refresh();
  // A folder chosen in the download folder's chooser.
  void FolderChosen(const std::string& folder);

  Gtk::Entry& HomePage() { return home_; }
  Gtk::Button& UseCurrentPage() { return use_current_; }
  // Shows the folder; a click opens the desktop's folder chooser.
  Gtk::Button& DownloadFolder() { return folder_; }
  Gtk::ComboBoxText& RestoreWindowsChoice() { return restore_; }
  Gtk::ComboBoxText& AccelerationChoice() { return acceleration_; }
  Gtk::ComboBoxText& SearchChoice() { return search_; }
  Gtk::Entry& CustomSearch() { return custom_search_; }
  Gtk::Switch& KeepHistorySwitch() { return keep_history_; }
  Gtk::Switch& DeveloperToolsSwitch() { return developer_tools_; }
  Gtk::Label& DefaultBrowserState() { return default_state_; }
  Gtk::Button& MakeDefaultButton() { return make_default_; }
  // What is said beside the control of `key` (a reason, or empty).
  std::string ProblemOf(const std::string& key);
  // Notes such as 「次回の起動から有効」 beside the control of `key`.
  std::string NoteOf(const std::string& key);

 private:
  void AddRow(int index, const SettingRow& row);
  // The row's control and what is named by its title.
  Gtk::Widget& Control(const SettingRow& row);
  Gtk::Widget& Named(const SettingRow& row);
  Gtk::Label& Problem(const std::string& key);
  void Say(Gtk::Label& label, const std::string& text);
  void Connect();
  // The controls as the file says.
  void FillFromFile();
  // Writes `value` for `key`; true when it was written and is in effect.
  // True also while the write waits for another copy's turn.
  bool Save(const char* key, const std::string& value);
  bool WritePending();
  // Saves `value` unless the file holds it already; either way a refusal
  // said before goes. False when it could not be written.
  bool Keep(const char* key, const std::string& value, const std::string& saved);
  void Refuse(const char* key, const std::string& reason);
  void HomePageEntered();
  void SearchChosen();
  void CustomSearchEntered();
  void ShowFolder(const std::string& folder);
  void ChooseFolder();
  void ShowDefaultBrowser();
  void MakeDefault();
  // Whether the user wants an entry of their own, for a program not installed.
  bool AskForUserEntry();
  static constexpr int kEntryWaitMs = 50;
  static constexpr int kEntryWaitTries = 60;

  std::string file_;
  CurrentPage current_page_;
  TSettings saved_;       // as the file says
  bool filling_ = false;  // controls being set from the file, not by the user
  sigc::connection hidden_, asked_, retry_;
  std::map<std::string, std::string> pending_;           // changes not yet written, by key
  int tries_ = 0;                                        // of the write waiting for its turn
  std::map<std::string, Gtk::Label*> problems_, notes_;  // by key; the grid owns them
  Gtk::Label file_problem_;
  Gtk::Box column_{Gtk::ORIENTATION_VERTICAL, 12};
  Gtk::Grid grid_;
  Gtk::Box home_box_{Gtk::ORIENTATION_HORIZONTAL, 6};
  Gtk::Entry home_;
  Gtk::Button use_current_{"現在のページを使用"};
  Gtk::Button folder_;
  Gtk::Label folder_label_;
  Gtk::ComboBoxText restore_;
  Gtk::ComboBoxText acceleration_;
  Gtk::Box search_box_{Gtk::ORIENTATION_VERTICAL, 6};
  Gtk::ComboBoxText search_;
  Gtk::Entry custom_search_;
  Gtk::Switch keep_history_;
  Gtk::Switch developer_tools_;
  Gtk::Box default_box_{Gtk::ORIENTATION_HORIZONTAL, 6};
  Gtk::Label default_state_;
  Gtk::Button make_default_{"既定のブラウザにする"};
  Gtk::Label default_problem_;
};

// Opens the settings window of `asker`, or brings back the one it has, showing
// the settings file as it is now.
TSettingsWindow& OpenSettingsWindow(Gtk::Window& asker, TSettingsWindow::CurrentPage current_page);
