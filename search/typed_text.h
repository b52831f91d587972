// What the user typed in the address box: an address to open, or words to
// search. Pure text work, no widget and no engine.
#pragma once

#include <string>

enum class TypedKind { kAddress, kWords };

// An address when `text` has a scheme, is a path (/, ./, ../, ~/, file:), or looks
// like a host (localhost, IPv4, bracketed IPv6, a name with a dot), each with
// an optional port and path; words otherwise. A leading '?' always searches.
TypedKind KindOfTyped(const std::string& text);

// The words `text` searches: without blanks at its ends and a leading '?'.
std::string SearchedWords(const std::string& text);

// `engine` with `words`, UTF-8 and percent-encoded, in place of its %s.
std::string SearchAddress(const std::string& engine, const std::string& words);
