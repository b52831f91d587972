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

constexpr guint kRetrySeconds = 5;

Kept& State() {
  static Kept kept;
  return kept;
}

}  // namespace

BookmarkStore* Bookmarks() {
  Kept& kept = State();
  if (!kept.tried) {
    kept.tried = true;
    OpenProblem problem = OpenProblem::kNone;
    kept.store = BookmarkStore::Open(ProfileDataFolder(), &problem);
    // Said when it happened; one another program holds is tried again at the next use.
    if (problem == OpenProblem::kLocked) {
      g_timeout_add_seconds(
          kRetrySeconds,
          [](gpointer) {
            State().tried = false;
            return G_SOURCE_REMOVE;
          },
          nullptr);
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
