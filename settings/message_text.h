// Text from outside (a file, the command line) in a message to the terminal:
// control characters cannot reach the terminal, and a long value does not
// flood it.
#pragma once

#include <string>
#include <string_view>

// How many characters of a value a message quotes.
constexpr std::size_t kLongestQuote = 80;

// `value` in double quotes, with control and invisible formatting characters
// and bytes that are not UTF-8 escaped (\n, \x1B, \u{202E}); cut after
// kLongestQuote characters, marked by "…" after the closing quote.
std::string Quoted(std::string_view value);

// A library's message that may quote what it read between “ and ”: each
// quote as Quoted gives it, and the rest escaped the same way.
std::string Tamed(std::string_view message);
