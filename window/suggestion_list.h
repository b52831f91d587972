// The list under the address box that offers pages while the user types:
// Down and Up move through it, Enter or a click opens the chosen page,
// Escape closes it and keeps what was typed. A row that opens what Enter
// opens anyway (the search of typed words) is shown as chosen while nothing
// is, and Down and Up pass it by: the first Down goes to the first page. Nothing is offered while
// an input method is composing, nor for text the program put in the box.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>
#include <gtkmm/listbox.h>
#include <gtkmm/window.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "store/suggestion_source.h"

class TSuggestionList {
 public:
  static constexpr std::size_t kLimit = 8;
  using Sources = std::function<std::vector<SuggestionSource*>()>;
  using Open = std::function<void(const std::string& url)>;

  // Offers what `sources` suggest for the text of `entry`, in `window`;
  // `open` loads a chosen page, which is put in the box first.
  TSuggestionList(Gtk::Window& window, Gtk::Entry& entry, Sources sources, Open open);
  ~TSuggestionList();
  TSuggestionList(const TSuggestionList&) = delete;
  TSuggestionList& operator=(const TSuggestionList&) = delete;

  // Puts `text` in the box as the program's, not the user's: nothing is
  // offered for it, and what was offered goes.
  void ShowAddress(const std::string& text);
  void Close();
  bool Shown() const { return popup_.get_visible(); }
  // The row chosen with Down and Up; -1 for none.
  int Chosen() const { return chosen_; }
  // The row shown as chosen while none is; -1 for none.
  int Default() const { return default_; }
  const std::vector<Suggestion>& Offered() const { return offered_; }
  Gtk::Window& Popup() { return popup_; }
  Gtk::ListBox& List() { return list_; }

 private:
  struct Row {
    Gtk::ListBoxRow row;
    Gtk::Box line{Gtk::ORIENTATION_HORIZONTAL, 12};
    Gtk::Label title, url;
  };

  void BuildRows();
  void CloseUnlessFocusReturns();
  void Changed();
  void PreeditChanged(const char* preedit);
  void Update();
  void Place();
  void Choose(int row);
  int Next(int row, int step) const;
  void OpenRow(int row);
  bool KeyPressed(const GdkEventKey& key);
  static void OnPreedit(GtkEntry*, const char* preedit, TSuggestionList* self) {
    self->PreeditChanged(preedit);
  }

  Gtk::Window& window_;
  Gtk::Entry& entry_;
  Sources sources_;
  Open open_;
  Gtk::Window popup_{Gtk::WINDOW_POPUP};
  Gtk::ListBox list_;
  std::array<Row, kLimit> rows_;
  std::vector<Suggestion> offered_;
  std::size_t shown_rows_ = 0;
  int chosen_ = -1;
  int default_ = -1;
  bool quiet_ = false;      // the program is setting the box's text
  bool composing_ = false;  // an input method shows text not yet committed
  bool pending_ = false;    // the text changed while composing
  std::vector<sigc::connection> connections_;
  sigc::connection focus_check_;
};
