// The part of the history that matching what the user types needs, in
// memory: the folded texts lie end to end in one buffer, scanned in one pass
// (100 000 entries in a few milliseconds, where the database takes a hundred).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class HistoryIndex {
 public:
  struct Item {
    std::int64_t id = 0;
    int visit_count = 0;
    std::int64_t last_visit = 0;
    std::string folded;  // FoldedText() of the title and address
  };

  // What an entry is matched against.
  static std::string FoldedText(std::string_view url, std::string_view title);

  // Adds the item, or replaces the one with its id.
  void Put(Item item);
  void Remove(std::int64_t id);
  void Clear();
  std::size_t Size() const { return entries_.size(); }

  // The ids of the best `limit` items containing `folded`, best first, by
  // HistoryRank() at `now` and then by the last visit.
  std::vector<std::int64_t> Best(std::string_view folded, std::size_t limit,
                                 std::int64_t now) const;
  // The ids of every item containing `folded`, last visited first.
  std::vector<std::int64_t> Newest(std::string_view folded) const;

 private:
  static constexpr std::size_t kGone = static_cast<std::size_t>(-1);
  struct Entry {
    std::int64_t id;
    int visit_count;
    std::int64_t last_visit;
    std::size_t span;  // its place in spans_
  };
  // Where an entry's text lies in text_, and which entry it is (kGone once
  // the entry is replaced or removed).
  struct Span {
    std::size_t offset, length;
    std::size_t slot;  // in entries_
  };

  // Calls `found` once for each live entry whose text contains `folded`.
  void Scan(std::string_view folded, const std::function<void(const Entry&)>& found) const;
  void Drop(std::size_t span);
  void Compact();

  std::vector<Entry> entries_;
  std::unordered_map<std::int64_t, std::size_t> slots_;  // id → place in entries_
  std::string text_;                                     // every text, each ended by a NUL
  std::vector<Span> spans_;                              // in the order of text_
  std::size_t dead_ = 0;                                 // bytes of text_ no entry uses any more
};

// How much an entry counts in the ranking: its visits, weighted by how
// recently it was last visited (a visit today counts ten times one from a
// year ago).
double HistoryRank(int visit_count, std::int64_t last_visit, std::int64_t now);
