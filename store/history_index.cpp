#include "store/history_index.h"

#include <glib.h>

#include <algorithm>

#include "store/text_fold.h"

namespace {

constexpr double kYear = 365.0 * 24 * 3600 * G_USEC_PER_SEC;
// A visit a year old counts a tenth of one made now.
constexpr double kYearlyFade = 9.0;

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

double HistoryRank(int visit_count, std::int64_t last_visit, std::int64_t now) {
  const double age = static_cast<double>(std::max<std::int64_t>(0, now - last_visit));
  return visit_count / (1.0 + kYearlyFade * age / kYear);
}

std::string HistoryIndex::FoldedText(std::string_view url, std::string_view title) {
  return FoldForMatch(title) + '\n' + FoldForMatch(Unescaped(url));
}

void HistoryIndex::Put(Item item) {
  // A NUL ends each text, so that no match runs from one into the next.
  item.folded.erase(std::remove(item.folded.begin(), item.folded.end(), '\0'), item.folded.end());
  const auto found = slots_.find(item.id);
  const std::size_t slot = found != slots_.end() ? found->second : entries_.size();
  if (found != slots_.end()) {
    Drop(entries_[slot].span);
  } else {
    slots_.emplace(item.id, slot);
    entries_.push_back({});
  }
  entries_[slot] = {item.id, item.visit_count, item.last_visit, spans_.size()};
  spans_.push_back({text_.size(), item.folded.size(), slot});
  text_ += item.folded;
  text_ += '\0';
  if (dead_ > text_.size() / 2) Compact();
}

void HistoryIndex::Remove(std::int64_t id) {
  const auto found = slots_.find(id);
  if (found == slots_.end()) return;
  const std::size_t slot = found->second;
  Drop(entries_[slot].span);
  slots_.erase(found);
  if (slot + 1 != entries_.size()) {
    entries_[slot] = entries_.back();
    slots_[entries_[slot].id] = slot;
    spans_[entries_[slot].span].slot = slot;
  }
  entries_.pop_back();
  if (dead_ > text_.size() / 2) Compact();
}

void HistoryIndex::Drop(std::size_t span) {
  spans_[span].slot = kGone;
  dead_ += spans_[span].length + 1;
}

void HistoryIndex::Clear() { *this = HistoryIndex(); }

// Copies the live texts into a new buffer, in their order.
void HistoryIndex::Compact() {
  std::string text;
  std::vector<Span> spans;
  for (const Span& span : spans_) {
    if (span.slot == kGone) continue;
    entries_[span.slot].span = spans.size();
    spans.push_back({text.size(), span.length, span.slot});
    text.append(text_, span.offset, span.length + 1);
  }
  text_ = std::move(text);
  spans_ = std::move(spans);
  dead_ = 0;
}

void HistoryIndex::Scan(std::string_view folded,
                        const std::function<void(const Entry&)>& found) const {
  if (folded.empty() || folded.find('\0') != std::string_view::npos) return;
  const std::string_view text(text_);
  std::size_t position = 0;
  std::size_t span = 0;
  const auto starts_after = [](std::size_t offset, const Span& s) { return offset < s.offset; };
  while (position < text.size()) {
    const std::size_t at = text.find(folded, position);
    if (at == std::string_view::npos) return;
    // The span holding the hit: most often the next, else found by halving.
    for (int step = 0; step < 8 && span + 1 < spans_.size() && spans_[span + 1].offset <= at;
         ++step) {
      ++span;
    }
    if (span + 1 < spans_.size() && spans_[span + 1].offset <= at) {
      span = std::upper_bound(spans_.begin() + span, spans_.end(), at, starts_after) -
             spans_.begin() - 1;
    }
    if (spans_[span].slot != kGone) found(entries_[spans_[span].slot]);
    position = spans_[span].offset + spans_[span].length + 1;  // on to the next text
  }
}

std::vector<std::int64_t> HistoryIndex::Best(std::string_view folded, std::size_t limit,
                                             std::int64_t now) const {
  std::vector<Ranked> best;  // a heap whose top is the worst kept
  if (limit == 0) return {};
  best.reserve(limit + 1);
  Scan(folded, [&](const Entry& entry) {
    // A rank never exceeds the visit count: most entries go without one.
    if (best.size() == limit && entry.visit_count < best.front().rank) return;
    const Ranked ranked{HistoryRank(entry.visit_count, entry.last_visit, now), entry.last_visit,
                        entry.id};
    if (best.size() == limit && !(ranked < best.front())) return;
    best.push_back(ranked);
    std::push_heap(best.begin(), best.end());
    if (best.size() > limit) {
      std::pop_heap(best.begin(), best.end());
      best.pop_back();
    }
  });
  std::sort_heap(best.begin(), best.end());
  std::vector<std::int64_t> ids;
  for (const Ranked& ranked : best) ids.push_back(ranked.id);
  return ids;
}

std::vector<std::int64_t> HistoryIndex::Newest(std::string_view folded) const {
  std::vector<const Entry*> found;
  Scan(folded, [&](const Entry& entry) { found.push_back(&entry); });
  std::sort(found.begin(), found.end(), [](const Entry* a, const Entry* b) {
    return a->last_visit != b->last_visit ? a->last_visit > b->last_visit : a->id > b->id;
  });
  std::vector<std::int64_t> ids;
  ids.reserve(found.size());
  for (const Entry* entry : found) ids.push_back(entry->id);
  return ids;
}
