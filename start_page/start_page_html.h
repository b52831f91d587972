// What the start page shows, as HTML of its own: every text from the history
// or the bookmarks is escaped, and nothing is loaded from anywhere.
#pragma once

#include <string>
#include <vector>

struct StartPageEntry {
  std::string title;  // may be empty
  std::string url;
};

struct StartPageContent {
  bool private_window = false;
  std::vector<StartPageEntry> most_visited;  // most first
  std::vector<StartPageEntry> bookmarks;
};

// The page's policy: no script, no frame, nothing from the network.
extern const char kStartPagePolicy[];

// The host an entry is shown with; for a file, 「ファイル」.
std::string ShownHost(const std::string& url);
std::string StartPageHtml(const StartPageContent& content);
