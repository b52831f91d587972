// The engine's back/forward list as kept in session.ini, without what a page
// sent or typed: the engine keeps each entry's request body (a login form's
// password among them) and its form fields' values. The list is a GVariant
// whose layout depends on its version.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// `state` with every request body and form field value taken out, so that an
// entry that was a POST comes back as its address, not sent again. Nothing
// when the layout is not one known here: only the address is then kept.
std::optional<std::string> StateWithoutFormData(std::string_view state);

// Whether an address kept in a list may be opened (the address gate's answer).
using KeptAddressCheck = std::function<bool(const char* uri)>;

// `state` without the entries whose page `may_open` refuses, and without the
// child frames it refuses within the others; Back and Forward then go past
// them. Nothing when the current entry is refused or the layout is not one
// known here: only the address is then kept, for the gate to judge.
std::optional<std::string> StateOfOpenable(std::string_view state,
                                           const KeptAddressCheck& may_open);
