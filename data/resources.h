#pragma once

#include <cstddef>
#include <span>
#include <string_view>

// Bytes of an embedded file by its name ("back", "forward", "home", "stop",
// "refresh", "yahoo", "google", and the window icons "tavorin-16", "-24",
// "-32", "-48", "-64" and "-128"), empty when unknown.
std::span<const unsigned char> ResourceBytes(std::string_view name);
