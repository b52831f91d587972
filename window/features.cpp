#include "window/features.h"

#include "browser/page_hooks.h"
#include "browser/web_context.h"
#include "downloads/gate.h"
#include "downloads/routing.h"
#include "history/clear_data.h"
#include "logins/watch.h"
#include "window/page_menu.h"
#include "window/store_trouble_notice.h"
#include "window/window_session.h"

void AttachFeatures() {
  static bool attached = false;
  if (attached) return;
  attached = true;
  AddContextHook(WatchDownloads);
  AddViewHook([](WebKitWebView* view, Gtk::Box& browser) {
    WatchResponses(view);
    WatchLogins(view, &browser);
  });
  // The user's own load may be a download.
  AddUserLoadHook(AllowNextDownload);
  WhenHistoryCleared(&TWindowSession::ForgetBackForwardLists);
  AttachPageMenu();
  ShowStoreTroubles();
}
