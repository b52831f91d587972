// Bringing another browser's bookmarks into the store: the file is read,
// checked and written in one transaction on a thread of its own, so that the
// window keeps drawing and a file that breaks off adds nothing.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

#include "store/bookmark_sources.h"
#include "store/bookmark_store.h"

struct ImportSummary {
  std::size_t added = 0;
  std::size_t already_kept = 0;  // kept before, or twice in the file
  std::size_t other_scheme = 0;  // javascript:, place:, data: and the like
  std::size_t unreadable = 0;
  std::size_t too_long = 0;
  std::string error;  // when set, nothing was added

  std::size_t Skipped() const { return already_kept + other_scheme + unreadable + too_long; }
};

// What the user is told: how many were added, how many skipped and why.
std::string DescribeImport(const ImportSummary& summary);

class BookmarkImport {
 public:
  // Starts reading `path` as `format` into `store`, which must outlive this.
  BookmarkImport(BookmarkStore& store, BookmarkFormat format, std::string path);
  // Gives up an import still running: its thread adds nothing, stops
  // reading at once and is waited for (a second at most; a write waiting for
  // another program's lock is left to end on its own).
  ~BookmarkImport();
  BookmarkImport(const BookmarkImport&) = delete;
  BookmarkImport& operator=(const BookmarkImport&) = delete;

  // The share of the bookmarks written, 0 to 1; negative while the file is read.
  double Progress() const;
  // Whether it has ended; the first time it has, the store is brought up to
  // date. Called from the store's thread.
  bool Finish();
  // Once Finish() is true.
  const ImportSummary& Summary() const;

  // What the thread works on, shared with it.
  struct Work;

 private:
  BookmarkStore& store_;
  const std::uint64_t writes_before_;
  std::shared_ptr<Work> work_;
  bool finished_ = false;
  std::thread worker_;
};
