#pragma once

// Start-up on an application object that exists and is installed as
// `Application`: initialise, title, main window, event loop. Errors that
// escape are shown in the error box; the result is always 0.
int RunApplication();
