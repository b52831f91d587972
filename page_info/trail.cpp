#include "page_info/trail.h"

#include <utility>

void TPageTrail::Start(const std::string& address) {
  hops_.clear();
  dropped_ = 0;
  failure_.clear();
  Push({"", address});
}

void TPageTrail::Add(const std::string& how, const std::string& address) {
  failure_.clear();
  Push({how, address});
}

void TPageTrail::Relabel(const std::string& address, const std::string& how) {
  for (auto hop = hops_.rbegin(); hop != hops_.rend(); ++hop) {
    if (hop->address != address) continue;
    hop->how = how;
    return;
  }
}

void TPageTrail::Push(Hop hop) {
  hops_.push_back(std::move(hop));
  if (hops_.size() <= kKeptHops) return;
  hops_.pop_front();
  ++dropped_;
}

std::string TPageTrail::Text() const {
  std::string text;
  if (dropped_ > 0) text += "（古い " + std::to_string(dropped_) + " 件は省略しました）\n";
  for (const Hop& hop : hops_) {
    text += (hop.how.empty() ? std::string("開始") : hop.how) + "\t" + hop.address + "\n";
  }
  if (!failure_.empty()) text += "失敗\t" + failure_ + "\n";
  return text;
}
