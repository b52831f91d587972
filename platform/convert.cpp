#include "platform/convert.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/exception.h"

namespace {

constexpr std::uint64_t kMaxMagnitude = 0x80000000u;  // |INT32_MIN|

std::optional<unsigned> DigitValue(char ch, unsigned base) {
  unsigned value = 0;
  if (ch >= '0' && ch <= '9') {
    value = static_cast<unsigned>(ch - '0');
  } else if (ch >= 'A' && ch <= 'F') {
    value = static_cast<unsigned>(ch - 'A' + 10);
  } else if (ch >= 'a' && ch <= 'f') {
    value = static_cast<unsigned>(ch - 'a' + 10);
  } else {
    return std::nullopt;
  }
  if (value >= base) return std::nullopt;
  return value;
}

// Consumes a hexadecimal prefix, if any, and returns the base it announces.
unsigned TakeBase(std::string_view& rest) {
  if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
    rest.remove_prefix(1);
    return 16;
  }
  if (rest.starts_with("0x") || rest.starts_with("0X")) {
    rest.remove_prefix(2);
    return 16;
  }
  return 10;
}

// The magnitude of a non-empty run of digits that makes up all of `digits`,
// capped just above what a 32-bit signed integer can hold.
std::optional<std::uint64_t> Magnitude(std::string_view digits, unsigned base) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t magnitude = 0;
  for (char ch : digits) {
    const std::optional<unsigned> digit = DigitValue(ch, base);
    if (!digit) return std::nullopt;
    magnitude = magnitude * base + *digit;
    if (magnitude > kMaxMagnitude) return std::nullopt;
  }
  return magnitude;
}

std::optional<int> Parse(std::string_view rest) {
  while (rest.starts_with(' ')) rest.remove_prefix(1);
  bool negative = false;
  if (rest.starts_with('+') || rest.starts_with('-')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  const unsigned base = TakeBase(rest);
  const std::optional<std::uint64_t> magnitude = Magnitude(rest, base);
  if (!magnitude || (!negative && *magnitude == kMaxMagnitude)) return std::nullopt;
  const auto value = static_cast<std::int64_t>(*magnitude);
  return static_cast<int>(negative ? -value : value);
}

}  // namespace

int StrToInt(const std::string& text) {
  const std::optional<int> value = Parse(text);
  if (!value) throw EConvertError("'" + text + "' は整数ではありません");
  return *value;
}
