// The way to a page: the address asked for, then each redirect the engine
// followed, with how it was sent on (an HTTP status, a <meta> refresh, a
// script). Only the latest hops are kept; a page that moves on without end
// must not grow it. No toolkit here.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

class TPageTrail {
 public:
  struct Hop {
    std::string how;  // "302", kMetaRefresh, ...; empty for the address asked for
    std::string address;
  };

  static constexpr std::size_t kKeptHops = 100;
  static constexpr char kMetaRefresh[] = "<meta> リフレッシュ";
  static constexpr char kRefreshHeader[] = "Refresh ヘッダー";
  static constexpr char kScript[] = "スクリプト";
  static constexpr char kSameDocument[] = "ページ内の移動";

  // A new way starts at `address`, the one asked for.
  void Start(const std::string& address);
  // The engine went on to `address`, sent there `how`.
  void Add(const std::string& how, const std::string& address);
  // The newest hop to `address` was sent on `how` after all.
  void Relabel(const std::string& address, const std::string& how);
  // The load ended without a page: `reason`, for the user.
  void Fail(const std::string& reason) { failure_ = reason; }

  const std::deque<Hop>& Hops() const { return hops_; }
  // Hops left out because newer ones came; the address asked for counts too.
  std::size_t Dropped() const { return dropped_; }
  const std::string& Failure() const { return failure_; }
  // Each address on its own line, after how it was reached.
  std::string Text() const;

 private:
  void Push(Hop hop);

  std::deque<Hop> hops_;
  std::size_t dropped_ = 0;
  std::string failure_;
};
