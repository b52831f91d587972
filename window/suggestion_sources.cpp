#include "window/suggestion_sources.h"

#include "history/bookmarks.h"
#include "history/history.h"
#include "search/search_suggestion.h"
#include "store/suggestion_source.h"
#include "window/shortcut_pages.h"

namespace {

std::vector<SuggestionSource*>& Added() {
  static std::vector<SuggestionSource*> added;
  return added;
}

SuggestionSource& ButtonPages() {
  static ListSuggestions pages([] {
    std::vector<Suggestion> list;
    for (const ShortcutPage& page : kShortcutPages) list.push_back({page.url, page.title});
    return list;
  }());
  return pages;
}

}  // namespace

void AddSuggestionSource(SuggestionSource* source) { Added().push_back(source); }

std::vector<SuggestionSource*> SuggestionSources() {
  // The search of words typed comes first, then the user's own bookmarks.
  std::vector<SuggestionSource*> sources = {&SearchSuggestionSource(), &BookmarkSuggestionSource()};
  sources.insert(sources.end(), Added().begin(), Added().end());
  if (SuggestionSource* history = HistorySuggestionSource()) sources.push_back(history);
  sources.push_back(&ButtonPages());
  return sources;
}
