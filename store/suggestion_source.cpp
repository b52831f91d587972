#include "store/suggestion_source.h"

#include <algorithm>

#include "store/history_index.h"
#include "store/history_store.h"
#include "store/text_fold.h"

std::vector<Suggestion> GatherSuggestions(const std::vector<SuggestionSource*>& sources,
                                          std::string_view typed, std::size_t limit,
                                          const OfferedIf& offered_if) {
  std::vector<Suggestion> gathered;
  for (SuggestionSource* source : sources) {
    if (gathered.size() >= limit) break;
    // Ask for the whole limit: some may repeat what is already offered.
    for (Suggestion& offered : source->Suggest(typed, limit)) {
      const bool repeated = std::any_of(gathered.begin(), gathered.end(),
                                        [&](const Suggestion& s) { return s.url == offered.url; });
      const bool refused = offered_if && !offered_if(offered.url);
      if (!repeated && !refused && gathered.size() < limit) gathered.push_back(std::move(offered));
    }
  }
  return gathered;
}

std::vector<Suggestion> HistorySuggestions::Suggest(std::string_view typed, std::size_t limit) {
  std::vector<Suggestion> found;
  for (HistoryEntry& entry : store_.Match(typed, limit)) {
    found.push_back({std::move(entry.url), std::move(entry.title)});
  }
  return found;
}

ListSuggestions::ListSuggestions(std::vector<Suggestion> pages) : pages_(std::move(pages)) {
  for (const Suggestion& page : pages_) {
    folded_.push_back(HistoryIndex::FoldedText(page.url, page.title));
  }
}

std::vector<Suggestion> ListSuggestions::Suggest(std::string_view typed, std::size_t limit) {
  const std::string folded = FoldForMatch(typed);
  std::vector<Suggestion> found;
  for (std::size_t i = 0; i < pages_.size() && found.size() < limit; ++i) {
    if (!folded.empty() && folded_[i].find(folded) != std::string::npos) {
      found.push_back(pages_[i]);
    }
  }
  return found;
}
