// The part of the history that matching what the user types needs, in
// memory: scanning 100 000 folded titles and addresses takes a few
// milliseconds, where the database takes a hundred.
#pragma once

#include <cstddef>
#include <cstdint>
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
  std::size_t Size() const { return items_.size(); }

  // The ids of the best `limit` items containing `folded`, best first, by
  // HistoryRank() at `now` and then by the last visit.
  std::vector<std::int64_t> Best(std::string_view folded, std::size_t limit,
                                 std::int64_t now) const;
  // The ids of every item containing `folded`, last visited first.
  std::vector<std::int64_t> Newest(std::string_view folded) const;

 private:
  std::vector<Item> items_;
  std::unordered_map<std::int64_t, std::size_t> slots_;  // id → place in items_
};
