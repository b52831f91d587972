#include "store/shown_address.h"

#include <glib.h>

#include "store/title_text.h"

namespace {

// Letters and marks that draw nothing: fillers, blank braille, variation
// selectors and the combining grapheme joiner.
constexpr char32_t kBlank[][2] = {{0x034F, 0x034F}, {0x115F, 0x1160}, {0x17B4, 0x17B5},
                                  {0x180B, 0x180F}, {0x2800, 0x2800}, {0x3164, 0x3164},
                                  {0xFE00, 0xFE0F}, {0xFFA0, 0xFFA0}, {0xE0100, 0xE01EF}};

constexpr GUnicodeType kHiddenTypes[] = {G_UNICODE_CONTROL,
                                         G_UNICODE_FORMAT,
                                         G_UNICODE_UNASSIGNED,
                                         G_UNICODE_PRIVATE_USE,
                                         G_UNICODE_SURROGATE,
                                         G_UNICODE_LINE_SEPARATOR,
                                         G_UNICODE_PARAGRAPH_SEPARATOR,
                                         G_UNICODE_SPACE_SEPARATOR};

void AppendEscaped(std::string& out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char byte : bytes) {
    const auto b = static_cast<unsigned char>(byte);
    out += '%';
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
}

}  // namespace

bool HiddenInAddress(char32_t c) {
  if (c == ' ') return false;
  if (HidesOrReorders(c)) return true;
  for (const auto& range : kBlank) {
    if (c >= range[0] && c <= range[1]) return true;
  }
  const GUnicodeType type = g_unichar_type(static_cast<gunichar>(c));
  for (const GUnicodeType hidden : kHiddenTypes) {
    if (type == hidden) return true;
  }
  return false;
}

std::string EscapedAddress(std::string_view url) {
  std::string out;
  out.reserve(url.size());
  std::size_t at = 0;
  while (at < url.size()) {
    const auto first = static_cast<unsigned char>(url[at]);
    if (first < 0x80) {
      // ASCII: only the controls are hidden.
      if (first < 0x20 || first == 0x7F) {
        AppendEscaped(out, url.substr(at, 1));
      } else {
        out += url[at];
      }
      ++at;
      continue;
    }
    const gchar* p = url.data() + at;
    const gunichar c = g_utf8_get_char_validated(p, static_cast<gssize>(url.size() - at));
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
      AppendEscaped(out, url.substr(at, 1));
      ++at;
      continue;
    }
    const std::size_t length = static_cast<std::size_t>(g_utf8_next_char(p) - p);
    if (HiddenInAddress(c)) {
      AppendEscaped(out, url.substr(at, length));
    } else {
      out.append(url.substr(at, length));
    }
    at += length;
  }
  return out;
}
