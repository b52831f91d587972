// The user's bookmarks every window shares.
#pragma once

class BookmarkStore;
class SuggestionSource;

// The bookmarks in the profile's data folder, opened on first use; null when
// they cannot be opened.
BookmarkStore* Bookmarks();
// The bookmarks as suggestions under the address box; opens them on the
// first suggestion asked for, and offers nothing without them.
SuggestionSource& BookmarkSuggestionSource();
// Closes the bookmarks (at the end of the run).
void CloseBookmarks();
