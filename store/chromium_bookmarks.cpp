// The Bookmarks file of the Chromium family: JSON, read by our own bounded
// reader, as a file nested a million deep must neither crash nor take the
// memory. Nothing but the bookmarks and their folders' names is kept.
#include <glib.h>

#include <string>
#include <vector>

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
// A member's name or a type longer than this is none we read.
constexpr std::size_t kShortText = 16;

struct Folder {
  int parent = -1;
  std::string name;
  bool root = false;     // the browser's own (bookmark bar, other...): no name in titles
  bool dropped = false;  // children of a node that is no folder are not bookmarks
};

struct PendingMark {
  std::string url;
  std::string name;
  std::int64_t added = 0;
  int folder = -1;
};

// What the reader tells, made into bookmarks and folders: a node is an
// object in "roots" or in a node's "children"; its name comes after its
// children in Chromium's files, so titles are made once all is read.
class Collector : public JsonHandler {
 public:
  bool Open(bool object) override {
    Frame frame;
    frame.object = object;
    Frame* parent = frames_.empty() ? nullptr : &frames_.back();
    if (parent != nullptr && object) {
      frame.top = parent->roots;
      frame.node = parent->roots || parent->children;
      frame.within = parent->roots ? -1 : parent->folder;
      frame.roots = frames_.size() == 1 && parent->member == "roots";
      found_roots_ = found_roots_ || frame.roots;
    } else if (parent != nullptr && parent->node && parent->member == "children") {
      frame.children = true;
      frame.folder = parent->folder = static_cast<int>(folders_.size());
      folders_.push_back({parent->within, "", parent->top});
      if (!Hold(sizeof(Folder))) return false;
    }
    frames_.push_back(std::move(frame));
    return true;
  }

  bool Close() override {
    Frame frame = std::move(frames_.back());
    frames_.pop_back();
    if (!frame.node) return true;
    if (frame.folder >= 0) {
      Folder& folder = folders_[frame.folder];
      folder.dropped = !frame.top && frame.type != "folder";
      folder.name = CutText(frame.name, kMaxTitleBytes);
      if (!Hold(folder.name.size())) return false;
    }
    if (frame.type != "url") return true;
    const std::int64_t since_1601 = g_ascii_strtoll(frame.added.c_str(), nullptr, 10);
    marks_.push_back({std::string(frame.url.substr(0, kMaxHeldAddressBytes)),
                      std::string(CutText(frame.name, kMaxTitleBytes)),
                      since_1601 > kWindowsEpochOffset ? since_1601 - kWindowsEpochOffset : 0,
                      frame.within});
    return Hold(sizeof(PendingMark) + marks_.back().url.size() + marks_.back().name.size());
  }

  bool Name(std::string_view name) override {
    frames_.back().member = name.substr(0, kShortText);
    return true;
  }

  bool Scalar(JsonKind kind, std::string_view text) override {
    if (frames_.empty()) return true;  // a file of one string or number
    Frame& frame = frames_.back();
    if (!frame.node || kind != JsonKind::kString) return true;
    if (frame.member == "type") frame.type = text.substr(0, kShortText);
    if (frame.member == "name") frame.name = CutText(text, kMaxTitleBytes);
    if (frame.member == "url") frame.url = text.substr(0, kMaxHeldAddressBytes);
    if (frame.member == "date_added") frame.added = text.substr(0, kShortText * 2);
    return true;
  }

  // Whether the file had the object of the browser's folders.
  bool FoundRoots() const { return found_roots_; }

  // The bookmarks, each titled with its folders' names; false with an error
  // when they would take too much.
  bool Finish(ForeignBookmarks& read) {
    for (PendingMark& mark : marks_) {
      bool dropped = false;
      const std::string prefix = Prefix(mark.folder, dropped);
      if (!dropped && !read.Add(mark.url, prefix, mark.name, mark.added)) return false;
      mark = PendingMark{};  // its memory goes as the marks come
    }
    return true;
  }

 private:
  struct Frame {
    bool object = false;
    bool node = false;      // a bookmark or a folder
    bool top = false;       // one of the browser's own folders
    bool roots = false;     // the object of those folders
    bool children = false;  // an array of nodes
    int folder = -1;        // where the nodes in its children go
    int within = -1;        // for a node: the folder it is in
    std::string member;     // the member whose value comes next
    std::string type, name, url, added;
  };

  bool Hold(std::size_t bytes) {
    held_ += bytes;
    return held_ <= kMaxHeldBytes;
  }

  // The names of `folder` and those above it, outermost first, cut at
  // kMaxTitleBytes. The nesting is bounded by the reader's depth.
  std::string Prefix(int folder, bool& dropped) const {
    std::vector<const Folder*> path;  // innermost first
    for (int at = folder; at >= 0; at = folders_[at].parent) {
      dropped = dropped || folders_[at].dropped;
      if (!folders_[at].root) path.push_back(&folders_[at]);
    }
    std::string prefix;
    for (auto it = path.rbegin(); it != path.rend() && prefix.size() < kMaxTitleBytes; ++it) {
      prefix += CutText((*it)->name, kMaxTitleBytes - prefix.size());
      prefix += kFolderSeparator;
    }
    return prefix;
  }

  std::vector<Frame> frames_;
  std::vector<Folder> folders_;
  std::vector<PendingMark> marks_;
  std::size_t held_ = 0;
  bool found_roots_ = false;
};

std::string Failure(const JsonRead& json) {
  switch (json.failure) {
    case JsonFailure::kTooDeep:
      return kTooDeep;
    case JsonFailure::kRefused:
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
  Collector collector;
  {
    const RegularFileRead file = ReadRegularFile(path, kMaxBookmarkFile);
    if (!file.contents) return ReadFailure(FileRefused(file.reason, path));
    JsonLimits limits;
    limits.depth = kMaxDepth;
    limits.stop = &stop;
    const JsonRead json = ReadJson(*file.contents, collector, limits);
    if (json.failure != JsonFailure::kNone) return ReadFailure(Failure(json));
  }
  if (!collector.FoundRoots()) return ReadFailure(kNotChromium);
  ForeignBookmarks read;
  if (!collector.Finish(read)) return ReadFailure(read.error);
  return read;
}
