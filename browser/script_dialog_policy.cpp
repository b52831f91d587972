#include "browser/script_dialog_policy.h"

#include <webkit2/webkit2.h>

#include <utility>

#include "browser/page_guard.h"
#include "browser/script_dialog_bar.h"

namespace {

// A dialog that follows the last one's answer this soon is one of a run; from
// the second of a run on, the user is offered to block the page's dialogs.
constexpr gint64 kDialogRunGapUs = 1000000;

}  // namespace

TScriptDialogPolicy::TScriptDialogPolicy(WebKitWebView* view, Gtk::Box& browser, TPageGuard& guard)
    : view_(view), browser_(browser), guard_(guard) {
  g_signal_connect(view_, "script-dialog", G_CALLBACK(Dialog), this);
}

TScriptDialogPolicy::~TScriptDialogPolicy() {
  g_signal_handlers_disconnect_by_data(view_, this);
  if (dialog_ != nullptr) {  // answered while the view it answers through lives
    webkit_script_dialog_close(dialog_);
    webkit_script_dialog_unref(dialog_);
  }
}

// Every dialog is answered here; one not kept for the user gets its default
// answer as soon as this returns.
int TScriptDialogPolicy::Dialog(WebKitWebView*, WebKitScriptDialog* dialog,
                                TScriptDialogPolicy* self) {
  self->Take(dialog);
  return TRUE;
}

void TScriptDialogPolicy::Take(WebKitScriptDialog* dialog) {
  if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
    webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);  // a page cannot keep the user
    return;
  }
  if (guard_.Asking()) {  // a dialog instead of the page the user asked for
    guard_.ScheduleRetry();
    return;
  }
  if (blocked_) return;
  const bool follows = closed_at_ != 0 && g_get_monotonic_time() - closed_at_ < kDialogRunGapUs;
  run_ = follows ? run_ + 1 : 1;
  Close();
  dialog_ = webkit_script_dialog_ref(dialog);
  if (!bar_) {  // made for the first dialog: most windows never need it
    bar_ = std::make_unique<TScriptDialogBar>(
        view_, [this](bool ok, const std::string& text) { Answer(ok, text); }, [this] { Block(); });
    browser_.pack_start(*bar_, false, false);
    browser_.reorder_child(*bar_, 0);
  }
  bar_->Show(dialog, run_ > 1);
}

void TScriptDialogPolicy::Answer(bool ok, const std::string& text) {
  if (dialog_ == nullptr) return;
  switch (webkit_script_dialog_get_dialog_type(dialog_)) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
      webkit_script_dialog_confirm_set_confirmed(dialog_, ok);
      break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
      if (ok) webkit_script_dialog_prompt_set_text(dialog_, text.c_str());
      break;
    default:
      break;
  }
  Close();
}

void TScriptDialogPolicy::Block() {
  blocked_ = true;
  Answer(false, "");
}

void TScriptDialogPolicy::Close() {
  if (bar_) bar_->Close();
  if (dialog_ == nullptr) return;
  WebKitScriptDialog* dialog = std::exchange(dialog_, nullptr);
  webkit_script_dialog_close(dialog);  // the page's script goes on from here
  webkit_script_dialog_unref(dialog);
  closed_at_ = g_get_monotonic_time();
  // The engine may have found the page unresponsive while it waited.
  if (!webkit_web_view_get_is_web_process_responsive(view_)) guard_.WatchHungPage();
}

void TScriptDialogPolicy::NewPage() {
  blocked_ = false;
  run_ = 0;
}
