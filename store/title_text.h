// A page's title as the program keeps and shows it: a page or a damaged
// profile may give one of a megabyte, or with characters that hide or
// reverse what is shown after them (U+202E makes an address read backwards).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Characters a kept title has at most: a list row shows far fewer, and
// matching what the user types stays fast over every title kept.
constexpr std::size_t kTitleChars = 256;

// Whether `c` changes how the text after it reads without showing itself:
// bidirectional embeddings, overrides, isolates and marks, and the zero-width
// no-break space.
bool HidesOrReorders(char32_t c);

// `title` as valid UTF-8 without control or bidirectional-formatting
// characters (line breaks and tabs become spaces), cut after kTitleChars.
std::string ShownTitle(std::string_view title);
