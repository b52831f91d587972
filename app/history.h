// The history every window of the program records into, and the sources the
// address box's suggestions come from.
#pragma once

#include <vector>

class HistoryStore;
class SuggestionSource;
class TCppWebBrowser;

// Whether pages are recorded (the keep-history setting); true unless set
// otherwise. Takes effect for the next page shown.
void SetKeepHistory(bool keep);
bool KeepHistory();
// The history in the profile's data folder, opened on first use; null when
// it is not kept or cannot be opened.
HistoryStore* History();
// Writes what is queued and closes the history (at the end of the run).
void CloseHistory();

// Records the pages `browser` shows into History().
void RecordHistory(TCppWebBrowser& browser);

// Puts `source` before the history among the suggestions (sources added
// earlier come earlier). It must outlive every window.
void AddSuggestionSource(SuggestionSource* source);
// What the address box asks, in order: the user's bookmarks, the sources added, the history when
// kept, then the shortcut buttons.
std::vector<SuggestionSource*> SuggestionSources();
