// The Bookmarks file of the Chromium family: JSON, read by our own bounded
// reader, as a file nested a million deep must neither crash nor take the
// memory.
#include <glib.h>

#include <array>

#include "store/bookmark_sources.h"
#include "store/json_reader.h"
#include "store/regular_file.h"

namespace {

constexpr char kNotChromium[] = "Chromium 系ブラウザーのブックマークのファイルではありません。";
constexpr char kTooDeep[] = "フォルダーの入れ子が深すぎます。";
// Deeper nesting is no bookmark file.
constexpr int kMaxDepth = 256;
// Chromium counts microseconds from 1601-01-01.
constexpr std::int64_t kWindowsEpochOffset = 11644473600LL * G_USEC_PER_SEC;
// The members a bookmark or folder is read from; the rest (ids, guids, meta
// data, sync data) are read past.
constexpr std::array<std::string_view, 6> kKeptMembers = {"roots", "children", "type",
                                                          "name",  "url",      "date_added"};

bool Kept(std::string_view name, int depth) {
  // The members of "roots" are the browser's top folders, whatever their names.
  if (depth == 2) return true;
  for (std::string_view kept : kKeptMembers) {
    if (name == kept) return true;
  }
  return false;
}

// Adds the links under `node` with `prefix` before their names; false once
// no more may be held.
bool Collect(const JsonValue& node, const std::string& prefix, ForeignBookmarks& read) {
  const std::string_view type = node.StringMember("type");
  if (type == "url") {
    const std::int64_t since_1601 =
        g_ascii_strtoll(std::string(node.StringMember("date_added")).c_str(), nullptr, 10);
    const std::int64_t added =
        since_1601 > kWindowsEpochOffset ? since_1601 - kWindowsEpochOffset : 0;
    return read.Add(node.StringMember("url"), prefix, node.StringMember("name"), added);
  }
  const JsonValue* children = node.Member("children");
  if (type != "folder" || children == nullptr || children->kind != JsonValue::Kind::kArray) {
    return true;
  }
  std::string inner = prefix;
  if (inner.size() < kMaxTitleBytes) {
    inner += CutText(node.StringMember("name"), kMaxTitleBytes - inner.size());
    inner += kFolderSeparator;
  }
  for (const JsonValue& child : children->items) {
    if (!Collect(child, inner, read)) return false;
  }
  return true;
}

std::string Failure(const JsonRead& json) {
  switch (json.failure) {
    case JsonFailure::kTooDeep:
      return kTooDeep;
    case JsonFailure::kTooLarge:
      return kTooManyMarks;
    case JsonFailure::kStopped:
      return "取り消しました。";
    default:
      return std::string(kNotChromium) + " (" + std::to_string(json.at) +
             " バイト目が JSON として読めません)";
  }
}

}  // namespace

ForeignBookmarks ReadChromiumBookmarks(const std::string& path, const StopFlag& stop) {
  JsonRead json;
  {
    const RegularFileRead file = ReadRegularFile(path, kMaxBookmarkFile);
    if (!file.contents) return ReadFailure(FileRefused(file.reason, path));
    JsonLimits limits;
    limits.depth = kMaxDepth;
    limits.held_bytes = kMaxHeldBytes;
    limits.string_bytes = kMaxHeldAddressBytes;
    limits.keep = Kept;
    limits.stop = &stop;
    json = ReadJson(*file.contents, limits);
  }
  if (json.failure != JsonFailure::kNone) return ReadFailure(Failure(json));
  const JsonValue* roots = json.root.Member("roots");
  if (roots == nullptr || roots->kind != JsonValue::Kind::kObject) {
    return ReadFailure(kNotChromium);
  }
  ForeignBookmarks read;
  // The roots (bookmark bar, other, synced) are the browser's, not the user's folders.
  for (const JsonValue& top : roots->items) {
    const JsonValue* children = top.Member("children");
    if (children == nullptr || children->kind != JsonValue::Kind::kArray) continue;
    for (const JsonValue& child : children->items) {
      if (!Collect(child, "", read)) return ReadFailure(read.error);
    }
  }
  return read;
}
