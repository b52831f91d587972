// A private window: its pages run in the context of private windows (see
// private/private_context.h), and it says so in its title, in the colour of
// its address row and in their accessible names.
#pragma once

class TFormHTML;

// Before the window's view is made. Closed, a private window other than the
// main one is destroyed, not hidden, unless a download still runs in it.
void MakePrivate(TFormHTML& window);

// A private window with the home page beside `from`, within the window
// limits (Ctrl+Shift+N).
void OpenPrivateWindow(TFormHTML& from);

// Before the first page a private window saves (Ctrl+S, Ctrl+Shift+S) in
// the download folder, says that it stays there; nothing in other windows.
void TellPageSaved(TFormHTML& window);

// The texts the user sees, for whoever checks them.
extern const char kPrivateTitle[];
extern const char kPrivateAddressName[];
extern const char kPrivateDownloadNotice[];
extern const char kPrivateSaveNotice[];
