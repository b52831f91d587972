// Where the address box's suggestions come from, in the order they are asked.
#pragma once

#include <vector>

class SuggestionSource;

// Puts `source` before the history among the suggestions (sources added
// earlier come earlier). It must outlive every window.
void AddSuggestionSource(SuggestionSource* source);
// What the address box asks, in order: the search of words typed, the user's
// bookmarks, the sources added, the history when kept, then the shortcut
// buttons.
std::vector<SuggestionSource*> SuggestionSources();
