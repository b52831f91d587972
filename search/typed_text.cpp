#include "search/typed_text.h"

#include <glib.h>

#include <algorithm>
#include <string_view>

#include "browser/user_address.h"

namespace {

// GLib's character tests are macros.
bool Digit(char c) { return g_ascii_isdigit(c); }
bool Blank(char c) { return g_ascii_isspace(c); }

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](unsigned char c) { return g_ascii_isspace(c); };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), Digit);
}

bool HasBlank(std::string_view text) {
  // U+3000, the ideographic space, separates Japanese words.
  return std::any_of(text.begin(), text.end(), Blank) ||
         text.find("\u3000") != std::string_view::npos;
}

bool IsPath(std::string_view text) {
  return text.starts_with('/') || text.starts_with("./") || text.starts_with("../") ||
         text.starts_with("~/") ||
         (text.size() >= 5 && g_ascii_strncasecmp(text.data(), "file:", 5) == 0);
}

// ":port" with a port that can be one, or nothing.
bool IsPortOrNothing(std::string_view rest) {
  if (rest.empty()) return true;
  if (rest.front() != ':' || !AllDigits(rest.substr(1)) || rest.size() > 6) return false;
  return std::stoi(std::string(rest.substr(1))) <= 65535;
}

// A label of a host name: letters of any script, digits, '-' and '_'.
bool IsLabel(std::string_view label) {
  if (label.empty()) return false;
  return std::all_of(label.begin(), label.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x80 || g_ascii_isalnum(c) || c == '-' || c == '_';
  });
}

bool IsIpv4(std::string_view host) {
  int parts = 0;
  for (std::size_t start = 0; start <= host.size(); ++parts) {
    std::size_t dot = host.find('.', start);
    if (dot == std::string_view::npos) dot = host.size();
    const std::string_view part = host.substr(start, dot - start);
    if (!AllDigits(part) || part.size() > 3 || std::stoi(std::string(part)) > 255) return false;
    start = dot + 1;
  }
  return parts == 4;
}

// A name with a dot between labels; its last label is not a number, so that
// "3.14" is searched.
bool IsDottedName(std::string_view host) {
  if (host.find('.') == std::string_view::npos) return false;
  std::string_view last;
  for (std::size_t start = 0; start <= host.size();) {
    std::size_t dot = host.find('.', start);
    if (dot == std::string_view::npos) dot = host.size();
    last = host.substr(start, dot - start);
    if (!IsLabel(last)) return false;
    start = dot + 1;
  }
  return !AllDigits(last);
}

bool IsHost(std::string_view authority) {
  if (authority.starts_with('[')) {
    const std::size_t end = authority.find(']');
    if (end == std::string_view::npos || end < 3) return false;
    const std::string_view inside = authority.substr(1, end - 1);
    const bool ipv6 = std::all_of(inside.begin(), inside.end(), [](char c) {
      return g_ascii_isxdigit(c) || c == ':' || c == '.';
    });
    return ipv6 && IsPortOrNothing(authority.substr(end + 1));
  }
  const std::size_t colon = authority.find(':');
  const std::string_view host = authority.substr(0, colon);
  const std::string_view port = colon == std::string_view::npos ? "" : authority.substr(colon);
  const bool named =
      g_ascii_strncasecmp(host.data(), "localhost", host.size()) == 0 && host.size() == 9;
  return (named || IsIpv4(host) || IsDottedName(host)) && IsPortOrNothing(port);
}

}  // namespace

TypedKind KindOfTyped(const std::string& typed) {
  const std::string_view text = Trimmed(typed);
  if (text.empty() || text.starts_with('?')) return TypedKind::kWords;
  if (WrittenWithScheme(std::string(text)) || IsPath(text)) return TypedKind::kAddress;
  if (HasBlank(text)) return TypedKind::kWords;
  const std::string_view authority = text.substr(0, text.find_first_of("/?#"));
  return IsHost(authority) ? TypedKind::kAddress : TypedKind::kWords;
}

std::string SearchedWords(const std::string& typed) {
  std::string_view text = Trimmed(typed);
  if (text.starts_with('?')) text = Trimmed(text.substr(1));
  return std::string(text);
}

std::string SearchAddress(const std::string& engine, const std::string& words) {
  gchar* escaped = g_uri_escape_string(words.c_str(), nullptr, FALSE);
  std::string address = engine;
  const std::size_t at = address.find("%s");
  if (at != std::string::npos) address.replace(at, 2, escaped);
  g_free(escaped);
  return address;
}
