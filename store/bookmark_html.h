// The bookmarks file browsers export and import (<!DOCTYPE
// NETSCAPE-Bookmark-file-1>): an HTML list of links in nested folders.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/bookmark_store.h"
#include "store/foreign_bookmarks.h"

// The links of such a file, folders flattened into the titles. A file of
// another kind, in an encoding GLib cannot convert, or broken off gives an
// error. Reading gives up when `stop` is set.
ForeignBookmarks ReadBookmarksHtml(std::string_view bytes, const StopFlag& stop = kNeverStop);
// The file for `marks`, UTF-8, with titles and addresses escaped.
std::string WriteBookmarksHtml(const std::vector<Bookmark>& marks);
// Writes that file at `path`, whole or not at all, readable by its owner
// only; false with GLib's reason in `error` when it could not.
bool SaveBookmarksHtml(const std::string& path, const std::vector<Bookmark>& marks,
                       std::string& error);
