#pragma once

#include <string>
#include <vector>

class TWindowSession;

// Start-up on an application object that exists and is installed as
// `Application`: initialise, title, main window, event loop. The main window
// loads the first of `addresses` in place of its home page, and each further
// one opens in a window of its own. Errors that escape are shown in the error
// box; the result is always 0. The windows are kept in `session`, if given,
// which may bring back those of the last run.
int RunApplication(const std::vector<std::string>& addresses = {},
                   TWindowSession* session = nullptr);

// For a later start of the program: a new window with its home page when
// `addresses` is empty, else a new window for each address. The last one
// completes the desktop's startup notification `startup_id`, if given.
void OpenWindows(const std::vector<std::string>& addresses, const std::string& startup_id);
