// The start page: the default home page, the program's own page under the
// scheme tavorin:, which only the program's windows can show. It lists the
// sites visited most (none when history is not kept, and none in a private
// window), the bookmarks and a search box; what it opens passes the address
// gate as any load the user asks for.
#pragma once

#include <string>
#include <string_view>

typedef struct _WebKitWebContext WebKitWebContext;
typedef struct _WebKitWebView WebKitWebView;
namespace Gtk {
class Box;
}

extern const char kStartPageAddress[];  // tavorin://start/
extern const char kStartPageSearch[];   // where its search box sends the words
// How many of the sites visited most it shows, and of the bookmarks.
constexpr std::size_t kMostVisitedShown = 8;
constexpr std::size_t kBookmarksShown = 50;

bool IsStartPage(std::string_view uri);

// The page as a window `ephemeral` or not shows it now.
std::string StartPage(bool ephemeral);

// Serves the program's scheme in `context`, where no web page can reach it:
// a context hook (browser/web_context.h).
void ServeProgramPages(WebKitWebContext* context);
// What the start page in `view` opens goes through `browser`'s gate: a view
// hook (browser/page_hooks.h).
void WatchStartPage(WebKitWebView* view, Gtk::Box& browser);
// Shows every start page shown now again (after the history was cleared).
void ReloadStartPages();
