// The site the address box searches words on, and what it opens for a typed
// text. Nothing typed leaves the machine before the user opens it.
#pragma once

#include <string>

// The search site from now on: an http or https address with %s where the
// words go, checked by the settings before it comes here.
void SetSearchEngine(const std::string& engine);
const std::string& SearchEngine();

// What the address box opens for `typed`: the address it names, or the
// search of its words; empty when there is nothing to open.
std::string AddressForTyped(const std::string& typed);
