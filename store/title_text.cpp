#include "store/title_text.h"

#include <glib.h>

namespace {

constexpr char32_t kHiding[][2] = {
    {0x061C, 0x061C}, {0x200E, 0x200F}, {0x202A, 0x202E}, {0x2066, 0x2069}, {0xFEFF, 0xFEFF}};

bool Breaks(gunichar c) {
  return c == '\t' || c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029;
}

}  // namespace

bool HidesOrReorders(char32_t c) {
  for (const auto& range : kHiding) {
    if (c >= range[0] && c <= range[1]) return true;
  }
  return false;
}

std::string ShownTitle(std::string_view title) {
  // Enough bytes for kTitleChars of any kind, so that a huge title costs little.
  const std::string_view head = title.substr(0, kTitleChars * 6);
  gchar* valid = g_utf8_make_valid(head.data(), static_cast<gssize>(head.size()));
  std::string shown;
  std::size_t chars = 0;
  for (const gchar* p = valid; *p != '\0' && chars < kTitleChars; p = g_utf8_next_char(p)) {
    const gunichar c = g_utf8_get_char(p);
    if (Breaks(c)) {
      shown += ' ';
    } else if (g_unichar_type(c) == G_UNICODE_CONTROL || HidesOrReorders(c)) {
      continue;
    } else {
      shown.append(p, static_cast<std::size_t>(g_utf8_next_char(p) - p));
    }
    ++chars;
  }
  g_free(valid);
  return shown;
}
