#include "window/features.h"

#include "browser/developer_tools.h"
#include "browser/page_hooks.h"
#include "browser/site_zoom.h"
#include "browser/web_context.h"
#include "downloads/gate.h"
#include "downloads/routing.h"
#include "encoding/page_encoding.h"
#include "error_pages/error_pages.h"
#include "history/clear_data.h"
#include "logins/watch.h"
#include "page_info/security.h"
#include "page_info/trail_watch.h"
#include "private/authentication.h"
#include "private/file_chooser.h"
#include "start_page/start_page.h"
#include "window/page_menu.h"
#include "window/settings_command.h"
#include "window/store_trouble_notice.h"
#include "window/window_session.h"

void AttachFeatures() {
  static bool attached = false;
  if (attached) return;
  attached = true;
  AddContextHook(WatchDownloads);
  AddContextHook(ServeProgramPages);
  AddViewHook([](WebKitWebView* view, Gtk::Box& browser) {
    WatchResponses(view);
    WatchLogins(view, &browser);
    WatchPageEncoding(view);
    KeepAuthenticationInMemory(view);
    KeepUploadsOutOfRecentFiles(view);
    WatchTrail(view);
    WatchSecurity(view);
    AllowInspecting(view);
    WatchStartPage(view, browser);
    ShowErrorPages(view, browser);
  });
  // The user's own load may be a download.
  AddUserLoadHook(AllowNextDownload);
  AddUserLoadHook(NoteUserLoad);
  WhenHistoryCleared(&TWindowSession::ForgetBackForwardLists);
  AddSettingsHook(
      [](const TSettings& settings) { TWindowSession::SettingChanged(settings.restore_windows); });
  // The sites a zoom is kept for tell which were visited.
  WhenHistoryCleared([] { ForgetSiteZooms(); });
  // A start page shown now lists the sites just cleared.
  WhenHistoryCleared(&ReloadStartPages);
  AttachPageMenu();
  OfferSettingsInHistory();
  ShowStoreTroubles();
}
