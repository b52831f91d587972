// The site of the page in a view: what the user's answers about a page are
// kept for. A page's frames are answered for by the page.
#pragma once

#include <optional>
#include <string>

typedef struct _WebKitWebView WebKitWebView;

struct PageSite {
  std::string origin;  // what an answer is kept for
  std::string host;    // what the user is shown
};

// None for a page without a host (a file, a blank page).
std::optional<PageSite> PageSiteOf(WebKitWebView* view);
