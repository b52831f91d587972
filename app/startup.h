#pragma once

#include <string>
#include <vector>

struct THandOver;
class TWindowSession;

// Start-up on an application object that exists and is installed as
// `Application`: initialise, title, main window, event loop. The main window
// loads the first of `addresses` in place of its home page, and each further
// one opens in a window of its own, as many as one request may open; the
// rest are said on standard error. Errors that escape are shown in the error
// box; the result is always 0. The windows are kept in `session`, if given,
// which may bring back those of the last run. With `private_window` the
// windows of `addresses` are private: the main window among them, and no
// window of the last run comes into it.
int RunApplication(const std::vector<std::string>& addresses = {},
                   TWindowSession* session = nullptr, bool private_window = false);

// For a later start of the program: a new window with its home page when it
// carries no address, else a new window for each address, within the window
// limits; the rest are said in a strip of the newest window. That window
// completes the desktop's startup notification, if given. They are private
// windows when the hand-over asks for them.
void OpenWindows(const THandOver& handover);
