// How many windows the program opens. Each window has a web process of its
// own (with its sandbox helpers) and a connection to the X server, which
// serves a limited number of clients to the whole desktop: a flood of
// windows would take the desktop down with the program.
#pragma once

#include <cstddef>
#include <string>

// One request (a start, a hand-over, a restored session) opens at most this many.
constexpr std::size_t kMaxWindowsPerRequest = 20;
// The program keeps at most this many open at once, hidden ones included.
constexpr std::size_t kMaxWindows = 50;

// How many more windows may open now. A window the user closed is only
// hidden; such windows are destroyed here to make room, unless one still
// downloads.
std::size_t WindowRoom();

struct TWindowGrant {
  std::size_t open = 0;  // how many of the windows asked for to open now
  std::string notice;    // what the user is told of the rest; empty when none is left
};

// For a request of `wanted` windows, within both limits.
TWindowGrant GrantWindows(std::size_t wanted);

class TCppWebBrowser;
// Whether a download shown in `browser`'s strip still runs: its window is
// kept, hidden, when the user closes it.
bool StillDownloading(TCppWebBrowser& browser);

// Said when a page or the user asks for a window and there is no room.
std::string WindowLimitNotice();
