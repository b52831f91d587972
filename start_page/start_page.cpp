#include "start_page/start_page.h"

#include "history/bookmarks.h"
#include "history/history.h"
#include "start_page/start_page_html.h"
#include "store/bookmark_store.h"
#include "store/history_store.h"

const char kStartPageAddress[] = "tavorin://start/";
// Not an address of the scheme: the page, of an origin of its own, may not go there.
const char kStartPageSearch[] = "about:blank";

bool IsStartPage(std::string_view uri) { return uri == kStartPageAddress; }

namespace {

std::vector<StartPageEntry> MostVisited() {
  std::vector<StartPageEntry> entries;
  HistoryStore* history = KeepHistory() ? History() : nullptr;
  if (history == nullptr) return entries;
  for (HistoryEntry& entry : history->MostVisited(kMostVisitedShown)) {
    entries.push_back({std::move(entry.title), std::move(entry.url)});
  }
  return entries;
}

std::vector<StartPageEntry> BookmarksShown() {
  std::vector<StartPageEntry> entries;
  BookmarkStore* bookmarks = Bookmarks();
  if (bookmarks == nullptr) return entries;
  for (const Bookmark& mark : bookmarks->All()) {
    if (entries.size() == kBookmarksShown) break;
    if (HistoryStore::Recordable(mark.url)) entries.push_back({mark.name, mark.url});
  }
  return entries;
}

}  // namespace

std::string StartPage(bool ephemeral) {
  StartPageContent content;
  content.private_window = ephemeral;
  if (!ephemeral) {
    content.most_visited = MostVisited();
    content.bookmarks = BookmarksShown();
  }
  return StartPageHtml(content);
}
