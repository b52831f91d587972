#pragma once

#include <cstddef>
#include <span>
#include <string_view>

// Bytes of an embedded file by its name ("back", "forward", "home", "stop", "refresh", "yahoo", "google", and the window icon "tavorin"), empty when unknown.
std::span<const unsigned char> ResourceBytes(std::string_view name);
