// The dialog that asks what to clear (閲覧履歴, Cookie とサイトデータ,
// キャッシュ) and for which period, and clears it once confirmed.
#pragma once

#include <gtkmm/checkbutton.h>
#include <gtkmm/comboboxtext.h>
#include <gtkmm/dialog.h>
#include <gtkmm/label.h>

#include <functional>
#include <memory>

#include "history/clear_data.h"

class HistoryStore;

class TClearDataDialog : public Gtk::Dialog {
 public:
  using Cleared = std::function<void()>;
  // `cleared` is called once what was chosen is gone.
  TClearDataDialog(Gtk::Window& parent, HistoryStore* history, Cleared cleared = {});

  ClearChoice Choice() const;
  bool Clearing() const { return clearing_; }

  Gtk::CheckButton& History() { return history_box_; }
  Gtk::CheckButton& SiteData() { return site_data_box_; }
  Gtk::CheckButton& Cache() { return cache_box_; }
  Gtk::ComboBoxText& Period() { return period_; }
  Gtk::Button& ClearButton() { return *clear_; }

 private:
  void Answered(int response);
  void ChoiceChanged();

  HistoryStore* history_;
  Cleared cleared_;
  bool clearing_ = false;
  // Gone with the dialog, so that a clearing that ends later finds no dialog.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  Gtk::Label period_label_{"消去する期間(_P):", true};
  Gtk::ComboBoxText period_;
  Gtk::CheckButton history_box_{"閲覧履歴(_H)", true};
  Gtk::CheckButton site_data_box_{"Cookie とサイトデータ(_C)", true};
  Gtk::CheckButton cache_box_{"キャッシュ(_A)", true};
  Gtk::Button* clear_ = nullptr;
};

// Opens the dialog for `parent`, or shows the one it already has.
void OpenClearDataDialog(Gtk::Window& parent, HistoryStore* history,
                         TClearDataDialog::Cleared cleared = {});
