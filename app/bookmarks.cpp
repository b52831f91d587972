#include "app/bookmarks.h"

#include <glib.h>

#include <memory>

#include "browser/profile.h"
#include "store/bookmark_store.h"

namespace {

struct Kept {
  bool tried = false;
  std::unique_ptr<BookmarkStore> store;
  std::unique_ptr<BookmarkSuggestions> suggestions;
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
    } else {
      kept.suggestions = std::make_unique<BookmarkSuggestions>(*kept.store);
    }
  }
  return kept.store.get();
}

SuggestionSource* BookmarkSuggestionSource() {
  return Bookmarks() != nullptr ? State().suggestions.get() : nullptr;
}

void CloseBookmarks() {
  Kept& kept = State();
  kept.suggestions.reset();
  kept.store.reset();
  kept.tried = false;
}
