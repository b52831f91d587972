// A page's alert, confirm or prompt, in a strip above the page: the rest of
// the window stays usable, so the user can always leave the page instead.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>

#include <functional>
#include <string>

typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitScriptDialog WebKitScriptDialog;

class TScriptDialogBar : public Gtk::Box {
 public:
  // Called with OK (true) or Cancel, and the text of a prompt.
  using Answer = std::function<void(bool ok, const std::string& text)>;

  TScriptDialogBar(WebKitWebView* view, Answer answer, std::function<void()> block);

  // Shows `dialog`; `offer_block` adds the button that blocks the page's dialogs.
  // Escape inside the strip answers as OK for an alert and as Cancel otherwise.
  void Show(WebKitScriptDialog* dialog, bool offer_block);
  void Close();

 private:
  WebKitWebView* view_;  // the page, which gets the focus back
  Answer answer_;
  bool alert_ = false;  // the dialog on show has OK only
  Gtk::Label message_;
  Gtk::Entry entry_;
  Gtk::Button ok_{"OK"};
  Gtk::Button cancel_{"キャンセル"};
  Gtk::Button block_{"このページのダイアログを今後表示しない"};
};
