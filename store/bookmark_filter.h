// What is taken from another browser's bookmarks: only addresses a page can
// be opened from here (http, https, file), and titles without characters
// that hide or reorder what the list shows.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class AddressVerdict { kTaken, kOtherScheme, kUnreadable, kTooLong };

// Longer addresses are refused.
inline constexpr std::size_t kMaxAddressBytes = 64 * 1024;

// Whether `url` is taken; when it is, `kept` is the address as kept: the
// scheme in lower case, "/" for an empty path on the web, and characters
// that hide or reorder escaped (store/shown_address.h); a host with one is
// refused.
AddressVerdict CheckAddress(std::string_view url, std::string& kept);
// `title` as valid UTF-8 with no control, bidirectional-override or
// zero-width-no-break characters, runs of white space made one space, trimmed and cut
// at kTitleChars (store/title_text.h) characters, with "…".
std::string CleanTitle(std::string_view title);
