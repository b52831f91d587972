#include "settings/message_text.h"

#include <glib.h>

#include <cstdio>

namespace {

std::string Hex(unsigned char byte) {
  char text[5];
  std::snprintf(text, sizeof text, "\\x%02X", byte);
  return text;
}

// The escaped form of the character at the front of `rest`, which it consumes.
std::string Escaped(std::string_view& rest) {
  const auto byte = static_cast<unsigned char>(rest.front());
  const gunichar c = g_utf8_get_char_validated(rest.data(), gssize(rest.size()));
  if (c == gunichar(-1) || c == gunichar(-2)) {  // not UTF-8: one byte at a time
    rest.remove_prefix(1);
    return Hex(byte);
  }
  const std::size_t length = std::size_t(g_utf8_skip[byte]);
  std::string_view character = rest.substr(0, length);
  rest.remove_prefix(length);
  switch (c) {
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '\t':
      return "\\t";
    case '"':
      return "\\\"";
    case '\\':
      return "\\\\";
  }
  if (g_unichar_iscntrl(c)) return Hex(static_cast<unsigned char>(c));
  // Invisible characters that turn or hide the text around them.
  const GUnicodeType type = g_unichar_type(c);
  if (type == G_UNICODE_FORMAT || type == G_UNICODE_LINE_SEPARATOR ||
      type == G_UNICODE_PARAGRAPH_SEPARATOR) {
    char text[16];
    std::snprintf(text, sizeof text, "\\u{%04X}", unsigned(c));
    return text;
  }
  return std::string(character);
}

// `text` escaped, at most `limit` characters of it; what is left stays in `text`.
std::string Escape(std::string_view& text, std::size_t limit) {
  std::string out;
  for (std::size_t shown = 0; !text.empty() && shown < limit; ++shown) out += Escaped(text);
  return out;
}

}  // namespace

std::string Quoted(std::string_view value) {
  std::string out = "\"" + Escape(value, kLongestQuote) + "\"";
  if (!value.empty()) out += "…";
  return out;
}

std::string Tamed(std::string_view message) {
  constexpr std::string_view kOpen = "“", kClose = "”";
  std::string out;
  while (!message.empty()) {
    const std::size_t open = message.find(kOpen);
    std::string_view plain = message.substr(0, open);
    out += Escape(plain, plain.size());
    if (open == std::string_view::npos) break;
    message.remove_prefix(open + kOpen.size());
    const std::size_t close = message.find(kClose);
    out += Quoted(message.substr(0, close));
    message.remove_prefix(close == std::string_view::npos ? message.size() : close + kClose.size());
  }
  return out;
}
