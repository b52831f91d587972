#include "downloads/routing.h"

#include <gtkmm/window.h>
#include <webkit2/webkit2.h>

#include "browser/cpp_web_browser.h"
#include "downloads/gate.h"

namespace {

// The component whose view `view` is: the nearest component around it.
TCppWebBrowser* BrowserOf(WebKitWebView* view) {
  for (GtkWidget* w = view != nullptr ? GTK_WIDGET(view) : nullptr; w != nullptr;
       w = gtk_widget_get_parent(w)) {
    auto* browser =
        dynamic_cast<TCppWebBrowser*>(Glib::ObjectBase::_get_current_wrapper(G_OBJECT(w)));
    if (browser != nullptr) return browser;
  }
  return nullptr;
}

bool NeverShowedPage(WebKitWebView* view) {
  return webkit_back_forward_list_get_current_item(webkit_web_view_get_back_forward_list(view)) ==
         nullptr;
}

// The window a download shows in; an empty window opened for it is closed
// the way the user closes it.
TCppWebBrowser* ShowIn(TCppWebBrowser* browser) {
  TCppWebBrowser* opener = BrowserOf(browser->Opener());
  if (opener == nullptr || !NeverShowedPage(browser->View())) return browser;
  if (auto* window = dynamic_cast<Gtk::Window*>(browser->get_toplevel())) {
    gtk_window_close(window->gobj());
  }
  return opener;
}

void Started(WebKitWebContext*, WebKitDownload* download, gpointer) {
  TCppWebBrowser* browser = BrowserOf(webkit_download_get_web_view(download));
  if (browser == nullptr) {  // nowhere to show it: the user would never know
    webkit_download_cancel(download);
    return;
  }
  TCppWebBrowser* shown_in = ShowIn(browser);
  ShowOrHold(download, *shown_in, shown_in->View());
}

gboolean DecideResponse(WebKitWebView*, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, gpointer) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
  auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
  if (webkit_response_policy_decision_is_mime_type_supported(response)) return FALSE;
  webkit_policy_decision_download(decision);
  return TRUE;
}

}  // namespace

void WatchDownloads(WebKitWebContext* context) {
  g_signal_connect(context, "download-started", G_CALLBACK(Started), nullptr);
}

void WatchResponses(WebKitWebView* view) {
  g_signal_connect(view, "decide-policy", G_CALLBACK(DecideResponse), nullptr);
  WatchDownloadGestures(view);
}
