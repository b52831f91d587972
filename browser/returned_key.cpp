#include "browser/returned_key.h"

#include <webkit2/webkit2.h>

#include "browser/cpp_web_browser.h"

TReturnedKey::TReturnedKey(WebKitWebView* view) : view_(WEBKIT_WEB_VIEW(g_object_ref(view))) {
  g_signal_connect(view_, "key-press-event", G_CALLBACK(Seen), this);
}

TReturnedKey::~TReturnedKey() {
  g_signal_handlers_disconnect_by_data(view_, this);
  g_object_unref(view_);
}

gboolean TReturnedKey::Seen(GtkWidget*, GdkEventKey* key, TReturnedKey* self) {
  self->seen_ = true;
  self->time_ = key->time;
  self->keycode_ = key->hardware_keycode;
  return FALSE;
}

bool TReturnedKey::Redeliver(GdkEventKey* key) {
  GtkWidget* view = GTK_WIDGET(view_);
  if (!seen_ || key->type != GDK_KEY_PRESS || gtk_widget_has_focus(view)) return false;
  if (key->time != time_ || key->hardware_keycode != keycode_) return false;
  seen_ = false;
  gtk_widget_event(view, reinterpret_cast<GdkEvent*>(key));
  return true;
}

bool TCppWebBrowser::RedeliverReturnedKey(GdkEventKey* key) {
  return returned_key_ && returned_key_->Redeliver(key);
}
