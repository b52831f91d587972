#include "store/history_index.h"

#include <glib.h>

#include <algorithm>

#include "store/history_store.h"
#include "store/text_fold.h"

namespace {

struct Ranked {
  double rank;
  std::int64_t last_visit;
  std::int64_t id;
  // Better first.
  bool operator<(const Ranked& other) const {
    if (rank != other.rank) return rank > other.rank;
    if (last_visit != other.last_visit) return last_visit > other.last_visit;
    return id > other.id;
  }
};

std::string Unescaped(std::string_view url) {
  const std::string escaped(url);
  gchar* plain = g_uri_unescape_string(escaped.c_str(), nullptr);
  // An escape that decodes to no text is left as written.
  std::string result = plain != nullptr && g_utf8_validate(plain, -1, nullptr) ? plain : escaped;
  g_free(plain);
  return result;
}

}  // namespace

std::string HistoryIndex::FoldedText(std::string_view url, std::string_view title) {
  return FoldForMatch(title) + '\n' + FoldForMatch(Unescaped(url));
}

void HistoryIndex::Put(Item item) {
  const auto found = slots_.find(item.id);
  if (found != slots_.end()) {
    items_[found->second] = std::move(item);
    return;
  }
  slots_.emplace(item.id, items_.size());
  items_.push_back(std::move(item));
}

void HistoryIndex::Remove(std::int64_t id) {
  const auto found = slots_.find(id);
  if (found == slots_.end()) return;
  const std::size_t slot = found->second;
  slots_.erase(found);
  if (slot + 1 != items_.size()) {
    items_[slot] = std::move(items_.back());
    slots_[items_[slot].id] = slot;
  }
  items_.pop_back();
}

void HistoryIndex::Clear() {
  items_.clear();
  slots_.clear();
}

std::vector<std::int64_t> HistoryIndex::Best(std::string_view folded, std::size_t limit,
                                             std::int64_t now) const {
  std::vector<Ranked> best;  // a heap whose top is the worst kept
  if (folded.empty() || limit == 0) return {};
  best.reserve(limit + 1);
  for (const Item& item : items_) {
    if (item.folded.find(folded) == std::string::npos) continue;
    const Ranked ranked{HistoryRank(item.visit_count, item.last_visit, now), item.last_visit,
                        item.id};
    if (best.size() == limit && !(ranked < best.front())) continue;
    best.push_back(ranked);
    std::push_heap(best.begin(), best.end());
    if (best.size() > limit) {
      std::pop_heap(best.begin(), best.end());
      best.pop_back();
    }
  }
  std::sort_heap(best.begin(), best.end());
  std::vector<std::int64_t> ids;
  for (const Ranked& ranked : best) ids.push_back(ranked.id);
  return ids;
}

std::vector<std::int64_t> HistoryIndex::Newest(std::string_view folded) const {
  std::vector<const Item*> found;
  for (const Item& item : items_) {
    if (item.folded.find(folded) != std::string::npos) found.push_back(&item);
  }
  std::sort(found.begin(), found.end(), [](const Item* a, const Item* b) {
    return a->last_visit != b->last_visit ? a->last_visit > b->last_visit : a->id > b->id;
  });
  std::vector<std::int64_t> ids;
  ids.reserve(found.size());
  for (const Item* item : found) ids.push_back(item->id);
  return ids;
}
