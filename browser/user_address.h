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
