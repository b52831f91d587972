#include "browser/address_gate.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <string>

namespace {

constexpr std::array<std::string_view, 3> kKeptSchemes{"http", "https", "file"};
constexpr std::array<std::string_view, 1> kNeverSchemes{"javascript"};

template <std::size_t N>
bool Among(const std::string& scheme, const std::array<std::string_view, N>& schemes) {
  return std::any_of(schemes.begin(), schemes.end(), [&](std::string_view known) {
    return g_ascii_strcasecmp(scheme.c_str(), std::string(known).c_str()) == 0;
  });
}

// The scheme as the engine reads it: an address parser drops leading controls
// and blanks, and tabs and line breaks anywhere.
std::string SchemeOf(std::string_view uri) {
  std::string address;
  for (char c : uri) {
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (address.empty() && static_cast<unsigned char>(c) <= ' ') continue;
    address += c;
  }
  gchar* parsed = g_uri_parse_scheme(address.c_str());
  std::string scheme = parsed != nullptr ? parsed : "";
  g_free(parsed);
  return scheme;
}

}  // namespace

bool MayOpen(std::string_view uri, AddressFrom from) {
  const std::string scheme = SchemeOf(uri);
  if (from == AddressFrom::kKept) return Among(scheme, kKeptSchemes);
  return !Among(scheme, kNeverSchemes);
}
