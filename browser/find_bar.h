// Find in page: a strip under the page with a search entry that searches as
// the user types, steps through the matches and says where it stands.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>

#include <string>

typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitFindController WebKitFindController;

class TFindBar : public Gtk::Box {
 public:
  explicit TFindBar(WebKitWebView* view);
  ~TFindBar() override;

  // Shows the strip with the focus in its entry, the text selected.
  void Open();
  // Hides the strip, clears the highlights and gives the focus to the page.
  void Close();
  void Next();
  void Previous();
  // Whether the keyboard focus is in the strip.
  bool Focused();

  Gtk::Entry& Entry() { return entry_; }
  std::string StatusText() const { return status_.get_text(); }

 private:
  void Search();
  bool Opened();
  void Counted(unsigned count);
  static void OnCounted(WebKitFindController*, unsigned count, TFindBar* bar) {
    bar->Counted(count);
  }
  void ShowStatus();
  bool KeyPressed(GdkEventKey* key);

  WebKitWebView* view_;           // a reference of our own
  WebKitFindController* finder_;  // a reference of our own
  Gtk::Label caption_{"ページ内検索:"};
  Gtk::Entry entry_;
  Gtk::Label status_;
  Gtk::Button previous_{"前へ"};
  Gtk::Button next_{"次へ"};
  Gtk::Button close_{"閉じる"};
  unsigned count_ = 0;    // matches on the page
  unsigned current_ = 0;  // 1-based; the engine does not say, so it is kept here
};
