// The engine hands a key the page did not use back to the toolkit, to go to
// the view once more and on to the window from there. When the focus has left
// the view meanwhile (a window shortcut typed right after a modifier), that
// key lands elsewhere and the view hands on the next key the user types in
// the page instead of giving it to the page: that key is lost. Such a
// returning key is given to the view after all.
#pragma once

#include <gtk/gtk.h>

typedef struct _WebKitWebView WebKitWebView;

class TReturnedKey {
 public:
  explicit TReturnedKey(WebKitWebView* view);
  ~TReturnedKey();
  TReturnedKey(const TReturnedKey&) = delete;
  TReturnedKey& operator=(const TReturnedKey&) = delete;

  // True when `key` came back from the engine while the view lost the focus;
  // it has then been delivered to the view.
  bool Redeliver(GdkEventKey* key);

 private:
  static gboolean Seen(GtkWidget*, GdkEventKey* key, TReturnedKey* self);

  WebKitWebView* view_;  // a reference of our own
  guint32 time_ = 0;     // of the last press the view had
  guint16 keycode_ = 0;
  bool seen_ = false;
};
