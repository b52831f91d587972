// Bookmarks as another browser's file holds them, before they are checked
// and kept: what each reader of a foreign format gives back. Whatever the
// file, what is held of it is bounded: each title and address is cut before
// it is copied, and all of them together may take kMaxHeldBytes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Bytes a title keeps at most, its folders' names included: far more than
// the characters a kept title has, so that cutting here changes nothing the
// user sees, and a folder name of megabytes is never copied for each link.
inline constexpr std::size_t kMaxTitleBytes = 4096;
// Bytes of an address kept at most: one longer is refused later as too long,
// so one more byte than the longest taken is enough to tell.
inline constexpr std::size_t kMaxHeldAddressBytes = 64 * 1024 + 1;
// What the marks of one file may take in memory together.
inline constexpr std::size_t kMaxHeldBytes = 64 * 1024 * 1024;

// Set by the window's thread when the user gives the import up; the readers
// look at it often enough to stop within a fraction of a second.
using StopFlag = std::atomic<bool>;
inline const StopFlag kNeverStop{false};

struct ForeignBookmark {
  std::string url;
  std::string title;       // with its folders' names in front, " / " between
  std::int64_t added = 0;  // microseconds since the epoch; 0 when unknown
};

// A Bookmarks or HTML file larger than this is refused before it is read.
inline constexpr std::size_t kMaxBookmarkFile = 128 * 1024 * 1024;
// places.sqlite holds the history too, and is copied whole through memory;
// Firefox itself keeps it far smaller.
inline constexpr std::size_t kMaxPlacesFile = 256 * 1024 * 1024;

// Why `path` was not read, for the user.
std::string FileRefused(const std::string& reason, const std::string& path);

inline constexpr char kTooManyMarks[] = "ブックマークが多すぎるため読みませんでした。";

struct ForeignBookmarks {
  std::vector<ForeignBookmark> marks;
  // Empty when the file was read to its end; otherwise, for the user, why it
  // was not, and `marks` is to be ignored.
  std::string error;
  // Bytes the marks take, counted against kMaxHeldBytes.
  std::size_t held = 0;

  // Adds a mark titled `prefix` then `name`, each cut to the bytes above;
  // false, with `error` set, once the marks would take too much.
  bool Add(std::string_view url, std::string_view prefix, std::string_view name,
           std::int64_t added);
};

// What reading a file of `kind` gives when it could not be read at all.
inline ForeignBookmarks ReadFailure(std::string error) { return {{}, std::move(error), 0}; }

// The separator between a folder's name and what it holds.
inline constexpr char kFolderSeparator[] = " / ";

// `text` cut to at most `bytes` bytes, not inside a UTF-8 character.
std::string_view CutText(std::string_view text, std::size_t bytes);
