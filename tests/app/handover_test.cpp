// Hand-over messages as the copy that runs reads them: what a later start
// sends is read back whole; anything else is dropped whole, with the reason.
#include <glib.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "app/handover_message.h"
#include "window/window_limit.h"

namespace {

std::string Number(std::uint32_t n) {
  return {char(n >> 24), char((n >> 16) & 0xff), char((n >> 8) & 0xff), char(n & 0xff)};
}

// A message written by hand: `fields` are the startup id and the addresses;
// `flags` go in from version 2 on.
std::string Frame(std::uint32_t version, std::uint32_t left_over,
                  const std::vector<std::string>& fields, std::uint32_t flags = 0) {
  std::string message = "TAVORIN-HANDOVER" + Number(version) + Number(left_over) +
                        (version >= 2 ? Number(flags) : "") + Number(std::uint32_t(fields.size()));
  for (const std::string& f : fields) message += Number(std::uint32_t(f.size())) + f;
  return message;
}

std::vector<std::string> Addresses(std::size_t count) {
  std::vector<std::string> fields;
  for (std::size_t i = 0; i < count; ++i) fields.push_back("http://127.0.0.1/" + std::to_string(i));
  return fields;
}

TEST(HandOverMessage, WhatAStartSendsIsTakenAndAnythingElseIsDroppedWhole) {
  const std::string one = EncodeHandOver("id_1", {"http://127.0.0.1/a"});
  std::vector<std::string> carried = Addresses(kMaxWindowsPerRequest + 2);
  carried.insert(carried.begin(), "");
  std::string random(4096, '\0');
  for (char& c : random) c = char(g_random_int_range(0, 256));
  std::string oversized =
      Frame(1, 0, {"", "http://127.0.0.1/" + std::string(kLongestAddress - 20, 'a')});
  while (oversized.size() <= kLargestHandOver) oversized += oversized.substr(30);
  const std::pair<std::string, const char*> dropped[] = {
      {random, "見出しが違います"},
      {std::string("\0http://a/\0", 11), "見出しが違います"},  // the old list of addresses
      {Frame(3, 0, {""}), "版 3 には対応していません"},
      {Frame(2, 0, {""}, 2), "不明なフラグがあります"},
      {one.substr(0, one.size() - 1), "途中で切れています"},
      {Frame(1, 0, {"", "http://a/"}).replace(32, 4, Number(1000)), "途中で切れています"},
      {Frame(1, 0, {""}).replace(24, 4, Number(~0u)), "途中で切れています"},
      {one + "x", "余分なバイトが続いています"},
      {Frame(1, 0, {}), "起動通知の欄がありません"},
      {Frame(1, 0, {"", "http://a/\xff"}), "アドレスがUTF-8 ではありません"},
      {Frame(1, 0, {"", "http://a/\x1b[2J"}), "アドレスが制御文字を含みます"},
      {Frame(1, 0, {"a\nb"}), "起動通知が制御文字を含みます"},
      {Frame(1, 0, {"", "garbage"}), "スキームのないアドレスがあります"},
      {Frame(1, 0, {"", ""}), "空のアドレスがあります"},
      {Frame(1, 0, {"", "http://a/" + std::string(kLongestAddress, 'a')}),
       "長すぎるアドレスがあります"},
      {Frame(1, 5, {"", "http://a/"}), "残りの数が合いません"},
      {oversized, "大きすぎます"},
  };
  for (std::size_t i = 0; i < std::size(dropped); ++i) {
    SCOPED_TRACE(i);
    std::string problem = "not cleared";
    EXPECT_FALSE(DecodeHandOver(dropped[i].first, problem).has_value());
    EXPECT_EQ(problem, dropped[i].second);
  }
  // Taken: the message, then how many addresses are opened and how many are
  // left over, and whether in private windows. Only a private request needs
  // version 2: a copy that reads version 1 alone takes the rest.
  EXPECT_EQ(one.substr(16, 4), Number(1));
  const std::tuple<std::string, std::size_t, std::size_t, bool> taken[] = {
      {one, 1, 0, false},
      {EncodeHandOver("", {}), 0, 0, false},
      {EncodeHandOver("", Addresses(25)), kMaxWindowsPerRequest, 25 - kMaxWindowsPerRequest, false},
      {Frame(1, 0, carried), kMaxWindowsPerRequest + 2, 0, false},
      {EncodeHandOver("", Addresses(2), true), 2, 0, true},
      {Frame(2, 0, {"", "http://a/"}), 1, 0, false},
  };
  for (const auto& [message, addresses, left_over, private_window] : taken) {
    std::string problem = "not cleared";
    const std::optional<THandOver> handover = DecodeHandOver(message, problem);
    ASSERT_TRUE(handover.has_value()) << problem;
    EXPECT_EQ(problem, "");
    EXPECT_EQ(handover->addresses.size(), addresses);
    EXPECT_EQ(handover->left_over, left_over);
    EXPECT_EQ(handover->private_window, private_window);
    if (message != one) continue;
    EXPECT_EQ(handover->startup_id, "id_1");
    EXPECT_EQ(handover->addresses, std::vector<std::string>{"http://127.0.0.1/a"});
  }
}

}  // namespace
