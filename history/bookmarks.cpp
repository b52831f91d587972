#include "history/bookmarks.h"

#include <glib.h>

#include <memory>

#include "browser/profile.h"
#include "store/bookmark_store.h"

namespace {

struct Kept {
  bool tried = false;
  std::unique_ptr<BookmarkStore> store;
};

// Start-up does not wait for the bookmarks: they are opened when the user
// first types in an address box.
class OnFirstUse : public SuggestionSource {
 public:
  std::vector<Suggestion> Suggest(std::string_view typed, std::size_t limit) override {
    BookmarkStore* store = Bookmarks();
    return store != nullptr ? BookmarkSuggestions(*store).Suggest(typed, limit)
                            : std::vector<Suggestion>{};
  }
};

Kept& State() {
  static Kept kept;
  return kept;
}

}  // namespace

BookmarkStore* Bookmarks() {
  Kept& kept = State();
  if (!kept.tried) {
    kept.tried = true;
    kept.store = BookmarkStore::Open(ProfileDataFolder());
    if (kept.store == nullptr) {
      g_printerr("tavorin: bookmarks cannot be kept in %s\n", ProfileDataFolder().c_str());
    }
  }
  return kept.store.get();
}

SuggestionSource& BookmarkSuggestionSource() {
  static OnFirstUse source;
  return source;
}

void CloseBookmarks() {
  Kept& kept = State();
  kept.store.reset();
  kept.tried = false;
}
