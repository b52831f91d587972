// The one check every address passes before a window opens it. What the
// program keeps (history, bookmarks, the kept session) or offers in a list
// may come from a copied or damaged profile, so it opens only as a web or
// file address; what the user types or gives at start opens as typed, but a
// script address never runs from the address box.
#pragma once

#include <string_view>

enum class AddressFrom {
  kUser,  // typed in the address box, given at start, the home page
  kKept,  // from a store of the program, or a list offering what it keeps
};

// Whether a window may open `uri` that came from `from`: kept addresses are
// http, https and file only; the user's are anything but javascript:.
bool MayOpen(std::string_view uri, AddressFrom from = AddressFrom::kKept);
