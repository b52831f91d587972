// Folding text for matching what the user types against what the program
// keeps: case, full and half width, and hiragana and katakana all compare
// equal, as they do in the find strip.
#pragma once

#include <string>
#include <string_view>

// `text` in compatibility-composed form (full-width Latin and half-width
// kana become their usual forms), case-folded, katakana as hiragana. Bytes
// that are not UTF-8 are replaced first.
std::string FoldForMatch(std::string_view text);
