// An address as a person writes it, on the command line or in the settings
// file, made into one the engine can load.
#pragma once

#include <string>

// Addresses with a scheme are kept as written; a path (absolute, relative to
// the working folder, or naming a file that exists) becomes a file:// address;
// anything else is taken for a host name and gets http://.
std::string AddressFromUser(const std::string& text);
