// Bookmarks as another browser's file holds them, before they are checked
// and kept: what each reader of a foreign format gives back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ForeignBookmark {
  std::string url;
  std::string title;       // with its folders' names in front, " / " between
  std::int64_t added = 0;  // microseconds since the epoch; 0 when unknown
};

struct ForeignBookmarks {
  std::vector<ForeignBookmark> marks;
  // Empty when the file was read to its end; otherwise, for the user, why it
  // was not, and `marks` is to be ignored.
  std::string error;
};

// What reading a file of `kind` gives when it could not be read at all.
inline ForeignBookmarks ReadFailure(std::string error) { return {{}, std::move(error)}; }

// The separator between a folder's name and what it holds.
inline constexpr char kFolderSeparator[] = " / ";
