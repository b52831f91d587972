// What a later start sends the copy that runs: a fixed header naming the
// format and its version, then length-prefixed UTF-8 fields. All numbers are
// 32-bit big-endian.
//
//   "TAVORIN-HANDOVER" version(1)  left-over  field-count
//   field-count × (length, bytes): the startup id, then the addresses
//
// Version 2 adds a number of flags after left-over (bit 0: private windows).
// A request without flags goes as version 1, which every copy reads; a copy
// that reads only version 1 refuses a private request rather than opening
// ordinary windows for it.
//
// A message that breaks any rule is dropped whole: nothing in it is opened.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct THandOver {
  std::string startup_id;              // the desktop's startup notification; may be empty
  std::vector<std::string> addresses;  // none: the user asked for a new window
  std::size_t left_over = 0;           // addresses of the start that were not carried
  bool private_window = false;         // open them in private windows
};

constexpr std::size_t kLargestHandOver = 1 << 20;
// Longer addresses are not taken from the command line.
constexpr std::size_t kLongestAddress = 32 * 1024;

// The message for `addresses`: at most as many as one request may open; the
// rest are counted in left-over.
std::string EncodeHandOver(const std::string& startup_id, const std::vector<std::string>& addresses,
                           bool private_window = false);
// The hand-over in `message`; nothing when it breaks a rule, and `problem`
// says which.
std::optional<THandOver> DecodeHandOver(std::string_view message, std::string& problem);
