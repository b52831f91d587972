// Where the suggestions under the address box come from. The list asks its
// sources in order, so a source put first (the user's bookmarks) is offered
// first; an address already offered is not offered again.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class HistoryStore;

struct Suggestion {
  std::string url;
  std::string title;  // may be empty
  // Opens what Enter in the address box opens with the typed text.
  bool as_typed = false;
};

class SuggestionSource {
 public:
  virtual ~SuggestionSource() = default;
  // At most `limit` suggestions for `typed` (as the user typed it, not
  // folded), best first.
  virtual std::vector<Suggestion> Suggest(std::string_view typed, std::size_t limit) = 0;
};

// Asks each source in turn for what is still missing, up to `limit` in all,
// leaving out addresses already offered and those `offered_if` refuses.
using OfferedIf = std::function<bool(const std::string& url)>;
std::vector<Suggestion> GatherSuggestions(const std::vector<SuggestionSource*>& sources,
                                          std::string_view typed, std::size_t limit,
                                          const OfferedIf& offered_if = nullptr);

// The pages of the history, ranked by how often and how recently each was
// visited.
class HistorySuggestions : public SuggestionSource {
 public:
  explicit HistorySuggestions(HistoryStore& store) : store_(store) {}
  std::vector<Suggestion> Suggest(std::string_view typed, std::size_t limit) override;

 private:
  HistoryStore& store_;
};

// A fixed list of pages (the shortcut buttons), in its own order.
class ListSuggestions : public SuggestionSource {
 public:
  explicit ListSuggestions(std::vector<Suggestion> pages);
  std::vector<Suggestion> Suggest(std::string_view typed, std::size_t limit) override;

 private:
  std::vector<Suggestion> pages_;
  std::vector<std::string> folded_;  // each page's title and address, folded once
};
