// Which downloads start at once: the first one of a page of another site than
// the last download's, and each one after the user clicked or typed in the
// page or asked the window for a load. Further
// downloads that the page (or a frame of it) starts on its own are held and
// put to the user in the permission strip; the answer holds for the site
// until the program ends, or in private windows until the last of them closes.
#pragma once

#include <gtkmm/box.h>

#include <optional>
#include <string>

typedef struct _WebKitDownload WebKitDownload;
typedef struct _WebKitWebView WebKitWebView;

// Notes the user's clicks and keys in `view` and the pages it shows.
void WatchDownloadGestures(WebKitWebView* view);
// Lets the next download of `view` start at once: the user asked for a load.
void AllowNextDownload(WebKitWebView* view);
// Shows `download` in the strip of `browser`, whose page is in `view`, or
// holds it until the user allows it there.
void ShowOrHold(WebKitDownload* download, Gtk::Box& browser, WebKitWebView* view);

// The answer kept, where `view` keeps it, for further downloads from the
// site `origin`, if any.
std::optional<bool> DownloadsAnswer(WebKitWebView* view, const std::string& origin);
// The site is asked again next time.
void ForgetDownloadsAnswer(WebKitWebView* view, const std::string& origin);
