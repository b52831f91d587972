// What the window's keys do with what the program keeps about its user:
// the bookmark popover (Ctrl+D), the history window (Ctrl+H) and clearing
// (Ctrl+Shift+Delete).
#pragma once

class TFormHTML;
class TBookmarkPopover;

// The popover under the window's address box, made on first use.
TBookmarkPopover& BookmarkPopover(TFormHTML& form);
// Opens the popover for the page the window shows.
void OfferBookmark(TFormHTML& form);
// Opens the window's history window; pages chosen there open in `form`.
void ShowHistory(TFormHTML& form);
// Asks what to clear, for `form`.
void AskToClearData(TFormHTML& form);
