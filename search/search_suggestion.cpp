#include "search/search_suggestion.h"

#include <string>

#include "search/search_engine.h"
#include "search/typed_text.h"
#include "store/suggestion_source.h"

namespace {

class SearchRow : public SuggestionSource {
 public:
  std::vector<Suggestion> Suggest(std::string_view typed, std::size_t limit) override {
    const std::string text(typed);
    const std::string words = SearchedWords(text);
    if (limit == 0 || words.empty() || KindOfTyped(text) != TypedKind::kWords) return {};
    return {{SearchAddress(SearchEngine(), words), "“" + words + "” を検索", true}};
  }
};

}  // namespace

SuggestionSource& SearchSuggestionSource() {
  static SearchRow row;
  return row;
}
