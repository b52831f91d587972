#include "store/bookmark_filter.h"

#include <glib.h>

#include <cstring>

#include "store/foreign_bookmarks.h"
#include "store/shown_address.h"
#include "store/title_text.h"

// The readers cut an address one byte past the longest taken.
static_assert(kMaxHeldAddressBytes == kMaxAddressBytes + 1);

namespace {

constexpr const char* kTakenSchemes[] = {"http", "https", "file"};

bool IsTakenScheme(const char* scheme) {
  for (const char* taken : kTakenSchemes) {
    if (g_ascii_strcasecmp(scheme, taken) == 0) return true;
  }
  return false;
}

// The part of `url` between "//" and the path: user, host and port.
std::string_view Authority(std::string_view url) {
  const std::size_t start = url.find("//");
  if (start == std::string_view::npos) return {};
  const std::size_t end = url.find_first_of("/?#", start + 2);
  return url.substr(start + 2, end == std::string_view::npos ? end : end - start - 2);
}

}  // namespace

AddressVerdict CheckAddress(std::string_view url, std::string& kept) {
  if (url.size() > kMaxAddressBytes) return AddressVerdict::kTooLong;
  // A NUL would cut the address short wherever it is copied as text.
  if (url.find('\0') != std::string_view::npos) return AddressVerdict::kUnreadable;
  gchar* stripped = g_strstrip(g_strndup(url.data(), url.size()));
  std::string text = stripped;
  g_free(stripped);
  // Nothing that would cut a line or a field in what is kept or written out.
  for (const char c : text) {
    if (g_ascii_iscntrl(c)) return AddressVerdict::kUnreadable;
  }
  // Kept escaped: an address that reads otherwise than it leads. In the
  // host, such a character is no part of any name: refused.
  const std::string escaped = EscapedAddress(text);
  if (Authority(escaped) != Authority(text)) return AddressVerdict::kUnreadable;
  text = escaped;
  if (text.size() > kMaxAddressBytes) return AddressVerdict::kTooLong;
  gchar* scheme = g_uri_parse_scheme(text.c_str());
  if (scheme == nullptr) return AddressVerdict::kUnreadable;
  const bool taken = IsTakenScheme(scheme);
  g_free(scheme);
  if (!taken) return AddressVerdict::kOtherScheme;
  GUri* uri = g_uri_parse(text.c_str(), G_URI_FLAGS_ENCODED, nullptr);
  if (uri == nullptr) return AddressVerdict::kUnreadable;
  gchar* down = g_ascii_strdown(g_uri_get_scheme(uri), -1);
  const bool web = g_strcmp0(down, "file") != 0;
  const char* host = g_uri_get_host(uri);
  const bool has_host = host != nullptr && *host != '\0' && strpbrk(host, " <>\"") == nullptr;
  const bool empty_path = *g_uri_get_path(uri) == '\0';
  g_uri_unref(uri);
  if (web && !has_host) {
    g_free(down);
    return AddressVerdict::kUnreadable;
  }
  kept = down + text.substr(std::char_traits<char>::length(down));
  g_free(down);
  if (web && empty_path) {
    const std::size_t rest = kept.find_first_of("?#", kept.find("//") + 2);
    kept.insert(rest == std::string::npos ? kept.size() : rest, "/");
  }
  return AddressVerdict::kTaken;
}

std::string CleanTitle(std::string_view title) {
  gchar* valid = g_utf8_make_valid(title.data(), static_cast<gssize>(title.size()));
  std::string clean;
  bool space = false;
  for (const gchar* p = valid; *p != '\0'; p = g_utf8_next_char(p)) {
    const gunichar c = g_utf8_get_char(p);
    if (g_unichar_isspace(c)) {
      space = !clean.empty();
    } else if (g_unichar_type(c) != G_UNICODE_CONTROL && !HidesOrReorders(c)) {
      if (space) clean += ' ';
      space = false;
      clean.append(p, g_utf8_next_char(p) - p);
    }
  }
  g_free(valid);
  if (g_utf8_strlen(clean.c_str(), -1) > static_cast<glong>(kTitleChars)) {
    const gchar* cut = g_utf8_offset_to_pointer(clean.c_str(), kTitleChars - 1);
    clean.replace(cut - clean.c_str(), std::string::npos, "…");
  }
  return clean;
}
