// The history every window of the program records into, and the history as
// a source of the address box's suggestions.
#pragma once

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

// Records the pages `browser` shows into History(); none of a view that
// keeps nothing on disk (a private window's).
void RecordHistory(TCppWebBrowser& browser);

// The history as suggestions under the address box; null when it is not kept
// or cannot be opened.
SuggestionSource* HistorySuggestionSource();
