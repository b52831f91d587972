// Which of a page's script dialogs reach the user, and how: in a strip above
// the page, never one that keeps the user on the page, and the offer to block
// the rest of a run of them.
#pragma once

#include <gtkmm/box.h>

#include <memory>
#include <string>

typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitScriptDialog WebKitScriptDialog;
class TPageGuard;
class TScriptDialogBar;

class TScriptDialogPolicy {
 public:
  // The strip goes on top of `browser`, the box that holds `view`; a dialog
  // that stands in for the page the user asked for goes to `guard`.
  TScriptDialogPolicy(WebKitWebView* view, Gtk::Box& browser, TPageGuard& guard);
  ~TScriptDialogPolicy();
  TScriptDialogPolicy(const TScriptDialogPolicy&) = delete;
  TScriptDialogPolicy& operator=(const TScriptDialogPolicy&) = delete;

  // A dialog waits for the user's answer.
  bool Open() const { return dialog_ != nullptr; }
  // Gives the open dialog its default answer.
  void Close();
  // A new page starts with its dialogs allowed.
  void NewPage();

 private:
  static int Dialog(WebKitWebView*, WebKitScriptDialog* dialog, TScriptDialogPolicy* self);

  void Take(WebKitScriptDialog* dialog);
  void Answer(bool ok, const std::string& text);
  void Block();

  WebKitWebView* view_;
  Gtk::Box& browser_;
  TPageGuard& guard_;
  WebKitScriptDialog* dialog_ = nullptr;   // on screen, waiting for the user
  std::unique_ptr<TScriptDialogBar> bar_;  // made for the first dialog
  int run_ = 0;                            // dialogs in a row, each soon after the last
  long long closed_at_ = 0;
  bool blocked_ = false;
};
