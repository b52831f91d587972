// Hand-over messages as the copy that runs reads them: what a later start
// sends is read back whole; anything else is dropped whole, with the reason.
#include <glib.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "app/handover_message.h"
#include "app/window_limit.h"

namespace {

std::string Number(std::uint32_t n) {
  return {char(n >> 24), char((n >> 16) & 0xff), char((n >> 8) & 0xff), char(n & 0xff)};
}

std::string Field(const std::string& text) { return Number(std::uint32_t(text.size())) + text; }

// A message written by hand: `fields` are the startup id and the addresses.
std::string Frame(std::uint32_t version, std::uint32_t left_over,
                  const std::vector<std::string>& fields) {
  std::string message = "TAVORIN-HANDOVER" + Number(version) + Number(left_over) +
                        Number(std::uint32_t(fields.size()));
  for (const std::string& f : fields) message += Field(f);
  return message;
}

std::vector<std::string> Addresses(std::size_t count) {
  std::vector<std::string> addresses;
  for (std::size_t i = 0; i < count; ++i)
    addresses.push_back("http://127.0.0.1/" + std::to_string(i));
  return addresses;
}

std::string RandomBytes(std::size_t count) {
  std::string bytes;
  for (std::size_t i = 0; i < count; ++i) bytes.push_back(char(g_random_int_range(0, 256)));
  return bytes;
}

TEST(HandOverMessage, WhatAStartSendsIsTakenAndAnythingElseIsDroppedWhole) {
  const std::string one = EncodeHandOver("id_1", {"http://127.0.0.1/a"});
  std::vector<std::string> carried{""};
  for (const std::string& a : Addresses(kMaxWindowsPerRequest + 2)) carried.push_back(a);
  std::string oversized =
      Frame(1, 0, {"", "http://127.0.0.1/" + std::string(kLongestAddress - 20, 'a')});
  while (oversized.size() <= kLargestHandOver) oversized += oversized.substr(30);
  struct Case {
    const char* name;
    std::string message;
    std::size_t addresses;  // taken; when the message is dropped, the reason in `problem`
    std::size_t left_over;
    const char* problem;  // null: taken
  };
  const Case cases[] = {
      {"one address", one, 1, 0, nullptr},
      {"a new window", EncodeHandOver("", {}), 0, 0, nullptr},
      {"a start with 25 addresses", EncodeHandOver("", Addresses(25)), kMaxWindowsPerRequest,
       25 - kMaxWindowsPerRequest, nullptr},
      {"22 addresses carried", Frame(1, 0, carried), kMaxWindowsPerRequest + 2, 0, nullptr},
      {"random bytes", RandomBytes(4096), 0, 0, "見出しが違います"},
      {"old list of addresses", std::string("\0http://a/\0", 11), 0, 0, "見出しが違います"},
      {"another version", Frame(2, 0, {""}), 0, 0, "版 2 には対応していません"},
      {"cut short", one.substr(0, one.size() - 1), 0, 0, "途中で切れています"},
      {"a field longer than the rest", Frame(1, 0, {"", "http://a/"}).replace(32, 4, Number(1000)),
       0, 0, "途中で切れています"},
      {"more fields said than sent", Frame(1, 0, {""}).replace(24, 4, Number(~0u)), 0, 0,
       "途中で切れています"},
      {"bytes after the end", one + "x", 0, 0, "余分なバイトが続いています"},
      {"no startup id field", Frame(1, 0, {}), 0, 0, "起動通知の欄がありません"},
      {"address not UTF-8", Frame(1, 0, {"", "http://a/\xff"}), 0, 0,
       "アドレスがUTF-8 ではありません"},
      {"control character", Frame(1, 0, {"", "http://a/\x1b[2J"}), 0, 0,
       "アドレスが制御文字を含みます"},
      {"startup id with a newline", Frame(1, 0, {"a\nb"}), 0, 0, "起動通知が制御文字を含みます"},
      {"no scheme", Frame(1, 0, {"", "garbage"}), 0, 0, "スキームのないアドレスがあります"},
      {"empty address", Frame(1, 0, {"", ""}), 0, 0, "空のアドレスがあります"},
      {"address too long", Frame(1, 0, {"", "http://a/" + std::string(kLongestAddress, 'a')}), 0, 0,
       "長すぎるアドレスがあります"},
      {"left over without a full request", Frame(1, 5, {"", "http://a/"}), 0, 0,
       "残りの数が合いません"},
      {"oversized", oversized, 0, 0, "大きすぎます"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string problem = "not cleared";
    const std::optional<THandOver> handover = DecodeHandOver(c.message, problem);
    if (c.problem != nullptr) {
      EXPECT_FALSE(handover.has_value());
      EXPECT_EQ(problem, c.problem);
      continue;
    }
    ASSERT_TRUE(handover.has_value()) << problem;
    EXPECT_EQ(problem, "");
    EXPECT_EQ(handover->addresses.size(), c.addresses);
    EXPECT_EQ(handover->left_over, c.left_over);
  }
  std::string problem;
  const THandOver sent = *DecodeHandOver(one, problem);
  EXPECT_EQ(sent.startup_id, "id_1");
  EXPECT_EQ(sent.addresses, std::vector<std::string>{"http://127.0.0.1/a"});
}

}  // namespace
