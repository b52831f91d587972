// An address as a person writes it, on the command line or in the settings
// file, made into one the engine can load.
#pragma once

#include <string>

// Whether `text` is written with a scheme: "scheme://..." or one of the
// schemes written without "//" (about:, data:, blob:, and javascript:,
// view-source: and mailto:, which are never a host's name).
bool WrittenWithScheme(const std::string& text);

// Addresses with a scheme are kept as written; a path (absolute, relative to
// the working folder, or naming a file that exists) becomes a file:// address;
// anything else is taken for a host name and gets http://.
std::string AddressFromUser(const std::string& text);

// The same for what was typed in the address box, from the text alone: a
// path is what is written as one (/, ./, ../ or file:); anything else, a
// dotted name among them, is a host whatever files exist.
std::string AddressFromTyped(const std::string& text);
