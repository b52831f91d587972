#include "browser/script_dialog_bar.h"

#include <webkit2/webkit2.h>

#include <algorithm>

#include "browser/strip_accessibility.h"

namespace {

// A hostile message must not push the page out of the window.
constexpr int kDialogMessageLines = 6;
constexpr long kDialogMessageChars = 2000;

}  // namespace

TScriptDialogBar::TScriptDialogBar(WebKitWebView* view, Answer answer, std::function<void()> block)
    : view_(view), answer_(std::move(answer)) {
  set_name("ScriptDialog");
  set_spacing(6);
  set_border_width(4);
  set_no_show_all(true);  // shown only with a dialog
  message_.set_line_wrap(true);
  message_.set_lines(kDialogMessageLines);
  message_.set_ellipsize(Pango::ELLIPSIZE_END);
  message_.set_xalign(0);
  message_.set_name("ScriptDialogMessage");
  pack_start(message_, true, true);
  const std::pair<Gtk::Widget*, const char*> named[] = {{&entry_, "ScriptDialogEntry"},
                                                        {&ok_, "ScriptDialogOK"},
                                                        {&cancel_, "ScriptDialogCancel"},
                                                        {&block_, "ScriptDialogBlock"}};
  for (auto [widget, name] : named) {
    widget->set_name(name);
    pack_start(*widget, false, false);
  }
  ok_.signal_clicked().connect([this] { answer_(true, entry_.get_text()); });
  entry_.signal_activate().connect([this] { answer_(true, entry_.get_text()); });
  cancel_.signal_clicked().connect([this] { answer_(false, ""); });
  block_.signal_clicked().connect([block = std::move(block)] { block(); });
  // Escape dismisses: an alert has nothing else to answer, the others are refused.
  MakeAnnouncedStrip(*this, Atk::ROLE_ALERT, [this] { answer_(alert_, ""); });
  entry_.get_accessible()->add_relationship(Atk::RELATION_LABELLED_BY, message_.get_accessible());
}

void TScriptDialogBar::Show(WebKitScriptDialog* dialog, bool offer_block) {
  const WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
  const gchar* text = webkit_script_dialog_get_message(dialog);
  // g_utf8_substring reads as far as it is told, past a shorter text too.
  gchar* message =
      g_utf8_substring(text, 0, std::min(g_utf8_strlen(text, -1), kDialogMessageChars));
  message_.set_text(message);
  SetStripText(*this, message);
  entry_.get_accessible()->set_name(message);
  g_free(message);
  alert_ = type == WEBKIT_SCRIPT_DIALOG_ALERT;
  const bool prompt = type == WEBKIT_SCRIPT_DIALOG_PROMPT;
  const gchar* initial = prompt ? webkit_script_dialog_prompt_get_default_text(dialog) : nullptr;
  entry_.set_text(initial != nullptr ? initial : "");
  message_.show();
  ok_.show();
  entry_.set_visible(prompt);
  cancel_.set_visible(!alert_);
  block_.set_visible(offer_block);
  show();
  Gtk::Widget& first = prompt ? static_cast<Gtk::Widget&>(entry_) : ok_;
  if (gtk_widget_has_focus(GTK_WIDGET(view_))) first.grab_focus();
}

void TScriptDialogBar::Close() {
  if (get_focus_child() != nullptr) gtk_widget_grab_focus(GTK_WIDGET(view_));
  hide();
}
