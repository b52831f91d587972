// An address as the program keeps and shows it: characters that would read
// as nothing, or reorder what follows (U+202E makes "gpj.exe" read "exe.jpg"),
// are percent-escaped, as a page address bar shows them, never kept or drawn raw.
#pragma once

#include <string>
#include <string_view>

// Whether `c`, in an address, would pass unseen or change how the text reads:
// controls, bidirectional and other format characters, spaces other than the
// ASCII one, blank letters and fillers, unassigned and private-use code points.
bool HiddenInAddress(char32_t c);

// `url` with each such character, and each byte that is not UTF-8, written
// as %XX of its bytes; other characters as they were.
std::string EscapedAddress(std::string_view url);
