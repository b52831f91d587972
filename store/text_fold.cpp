#include "store/text_fold.h"

#include <glib.h>

#include <algorithm>

namespace {

constexpr gunichar kKatakanaFirst = 0x30A1;   // ァ
constexpr gunichar kKatakanaLast = 0x30F6;    // ヶ
constexpr gunichar kIterationFirst = 0x30FD;  // ヽ
constexpr gunichar kIterationLast = 0x30FE;   // ヾ
constexpr gunichar kToHiragana = 0x60;

gunichar Hiragana(gunichar c) {
  const bool kana =
      (c >= kKatakanaFirst && c <= kKatakanaLast) || (c >= kIterationFirst && c <= kIterationLast);
  return kana ? c - kToHiragana : c;
}

// Most addresses are plain ASCII, where folding is lowering the case.
bool Ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string Take(gchar* text) {
  std::string taken = text != nullptr ? text : "";
  g_free(text);
  return taken;
}

}  // namespace

std::string FoldForMatch(std::string_view text) {
  if (Ascii(text)) {
    std::string lowered(text);
    for (char& c : lowered) c = g_ascii_tolower(c);
    return lowered;
  }
  const std::string valid = Take(g_utf8_make_valid(text.data(), text.size()));
  const std::string composed = Take(g_utf8_normalize(valid.c_str(), -1, G_NORMALIZE_ALL_COMPOSE));
  const std::string folded = Take(g_utf8_casefold(composed.c_str(), -1));
  std::string result;
  result.reserve(folded.size());
  for (const char* p = folded.c_str(); *p != '\0'; p = g_utf8_next_char(p)) {
    char bytes[6];
    const int length = g_unichar_to_utf8(Hiragana(g_utf8_get_char(p)), bytes);
    result.append(bytes, length);
  }
  return result;
}
