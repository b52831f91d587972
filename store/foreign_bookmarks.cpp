#include "store/foreign_bookmarks.h"

std::string_view CutText(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t end = bytes;
  // Back over continuation bytes (10xxxxxx) to the start of a character.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

bool ForeignBookmarks::Add(std::string_view url, std::string_view prefix, std::string_view name,
                           std::int64_t added) {
  ForeignBookmark mark;
  mark.url = url.substr(0, kMaxHeldAddressBytes);  // bytes: a cut address must stay too long
  mark.title = CutText(prefix, kMaxTitleBytes);
  mark.title += CutText(name, kMaxTitleBytes - mark.title.size());
  mark.added = added;
  held += sizeof(ForeignBookmark) + mark.url.size() + mark.title.size();
  if (held > kMaxHeldBytes) {
    error = kTooManyMarks;
    return false;
  }
  marks.push_back(std::move(mark));
  return true;
}

std::string FileRefused(const std::string& reason, const std::string& path) {
  return reason + ": " + path;
}
