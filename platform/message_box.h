// A modal message box with one OK button: the caption is the window title and
// every window of the application is insensitive while it is up. When it is
// dismissed the window that was active before gets the focus back.
#pragma once

#include <string>

enum class MessageIcon { None, Stop, Information };

void ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon icon);
