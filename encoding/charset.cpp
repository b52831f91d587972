#include "encoding/charset.h"

#include <glib.h>
#include <unicode/ucsdet.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <utility>

const char kFallbackCharset[] = "Shift_JIS";

namespace {

constexpr char kWestern[] = "windows-1252";

// What the detector may answer, and what the page is then decoded as.
// ISO-8859-1 is decoded as windows-1252 by every browser.
constexpr std::array<std::pair<const char*, const char*>, 6> kDetectable{{
    {"UTF-8", "UTF-8"},
    {"Shift_JIS", "Shift_JIS"},
    {"EUC-JP", "EUC-JP"},
    {"ISO-2022-JP", "ISO-2022-JP"},
    {"windows-1252", kWestern},
    {"ISO-8859-1", kWestern},
}};

// Below this the detector is guessing (its scale is 0 to 100).
constexpr int32_t kLeastConfidence = 10;
constexpr std::size_t kPrescanLength = 1024;
// What is read of a page: enough to tell, and a page of any size costs the
// same.
constexpr std::size_t kSampleLength = 64 * 1024;

// `bytes` as UTF-32 in `charset` for the system's converter; empty when
// they are not a valid text in it. A character cut off at the end of a
// sample is left out.
std::u32string Decoded(std::string_view bytes, const char* charset) {
  gsize read = 0, length = 0;
  GError* error = nullptr;
  gchar* text = g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-32LE", charset,
                          &read, &length, &error);
  const bool cut = text == nullptr && bytes.size() == kSampleLength &&
                   g_error_matches(error, G_CONVERT_ERROR, G_CONVERT_ERROR_PARTIAL_INPUT);
  g_clear_error(&error);
  if (cut && read > 0) return Decoded(bytes.substr(0, read), charset);
  std::u32string decoded(text != nullptr ? length / 4 : 0, U'\0');
  if (!decoded.empty()) std::memcpy(decoded.data(), text, decoded.size() * sizeof(char32_t));
  g_free(text);
  return decoded;
}

// Valid UTF-8, but for a character cut off at the end of a sample.
bool ValidUtf8(std::string_view bytes) {
  const gchar* end = nullptr;
  if (g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), &end)) return true;
  const gssize rest = bytes.data() + bytes.size() - end;
  return bytes.size() == kSampleLength && rest < 4 &&
         g_utf8_get_char_validated(end, rest) == static_cast<gunichar>(-2);
}

bool AsciiLetter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool Between(char32_t c, char32_t low, char32_t high) { return c >= low && c <= high; }

// How much a reading in a Japanese encoding looks like Japanese, per
// character beyond ASCII: kana count most; half-width kana and anything
// not Japanese count against, as does a kanji wedged between Latin letters,
// which is what a Western accented letter and the letter after it make.
double JapaneseLikeness(const std::u32string& text) {
  double score = 0;
  int counted = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    if (c < 0x80) continue;
    ++counted;
    const bool latin_before = i > 0 && AsciiLetter(text[i - 1]);
    const bool latin_after = i + 1 < text.size() && AsciiLetter(text[i + 1]);
    if (Between(c, 0x3041, 0x30FF)) {
      score += 2;  // hiragana, katakana
    } else if (Between(c, 0x4E00, 0x9FFF)) {
      score += latin_before && latin_after ? -3 : 1;
    } else if (Between(c, 0x3000, 0x303F) || Between(c, 0xFF01, 0xFF60) ||
               Between(c, 0x2010, 0x203B) || Between(c, 0x2460, 0x25FF)) {
      score += 1;  // Japanese punctuation, full-width forms, marks
    } else if (Between(c, 0xFF61, 0xFF9F)) {
      score -= 1;  // half-width kana: old, and what EUC-JP read as Shift_JIS makes
    } else {
      score -= 3;
    }
  }
  return counted == 0 ? 0 : score / counted;
}

bool WesternLetter(char32_t c) {
  return (Between(c, 0xC0, 0xFF) && c != 0xD7 && c != 0xF7) || c == 0x152 || c == 0x153 ||
         c == 0x160 || c == 0x161 || c == 0x17D || c == 0x17E || c == 0x178;
}

bool WesternMark(char32_t c) {
  constexpr std::u32string_view kMarks = U"«»‘’“”–—…°€·©®±²³¹ºª¿¡§£×÷";
  return kMarks.find(c) != std::u32string_view::npos;
}

bool AsciiAlnum(char32_t c) { return AsciiLetter(c) || (c >= '0' && c <= '9'); }

// The same for a Western reading: accented letters within Latin words and
// typographic marks beside text; a run of symbols is another encoding's
// bytes.
double WesternLikeness(const std::u32string& text) {
  double score = 0;
  int counted = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    if (c < 0x80) continue;
    ++counted;
    const char32_t before = i > 0 ? text[i - 1] : U' ';
    const char32_t after = i + 1 < text.size() ? text[i + 1] : U' ';
    if (WesternLetter(c)) {
      const bool in_word = AsciiLetter(before) || AsciiLetter(after);
      const bool beside_letter = in_word || WesternLetter(before) || WesternLetter(after);
      score += in_word ? 2 : beside_letter ? 0 : -1;
    } else if (WesternMark(c)) {
      // d’un, 6×9; « mot »
      score += AsciiAlnum(before) && AsciiAlnum(after) ? 2 : before < 0x80 || after < 0x80 ? 1 : -1;
    } else {
      score -= 3;
    }
  }
  return counted == 0 ? 0 : score / counted;
}

// Shift_JIS, EUC-JP or Western: the reading that looks most like its
// language among those the bytes are valid in.
std::string WesternOrJapanese(std::string_view bytes) {
  struct Reading {
    const char* charset;
    const char* converter;
    double (*likeness)(const std::u32string&);
  };
  constexpr Reading kReadings[] = {
      {"Shift_JIS", "CP932", JapaneseLikeness},
      {"EUC-JP", "EUC-JP", JapaneseLikeness},
      {kWestern, "WINDOWS-1252", WesternLikeness},
  };
  std::string best = kFallbackCharset;
  double best_score = -1e9;
  for (const Reading& reading : kReadings) {
    const std::u32string text = Decoded(bytes, reading.converter);
    if (text.empty()) continue;
    const double score = reading.likeness(text);
    if (score > best_score) {
      best_score = score;
      best = reading.charset;
    }
  }
  return best;
}

// Names that browsers decode alike.
constexpr std::array<std::pair<const char*, const char*>, 8> kAliases{{
    {"shift-jis", "shift_jis"},
    {"sjis", "shift_jis"},
    {"x-sjis", "shift_jis"},
    {"windows-31j", "shift_jis"},
    {"iso-8859-1", "windows-1252"},
    {"latin1", "windows-1252"},
    {"us-ascii", "windows-1252"},
    {"utf8", "utf-8"},
}};

std::string Canonical(std::string_view name) {
  gchar* lower = g_ascii_strdown(name.data(), static_cast<gssize>(name.size()));
  std::string canonical = lower;
  g_free(lower);
  for (const auto& [alias, same] : kAliases) {
    if (canonical == alias) return same;
  }
  return canonical;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return g_ascii_tolower(c); });
  return lower;
}

// The value after "charset=" at `at` in `text`, without quotes.
std::string CharsetValue(std::string_view text, std::size_t at) {
  std::size_t start = at + 8;
  while (start < text.size() && (text[start] == ' ' || text[start] == '"' || text[start] == '\''))
    ++start;
  std::size_t end = start;
  while (end < text.size() && (g_ascii_isalnum(text[end]) || text[end] == '-' || text[end] == '_' ||
                               text[end] == '.' || text[end] == ':'))
    ++end;
  return std::string(text.substr(start, end - start));
}

std::string HeaderCharset(std::string_view content_type) {
  const std::string lower = Lower(content_type);
  const std::size_t at = lower.find("charset=");
  return at == std::string::npos ? "" : CharsetValue(lower, at);
}

std::string BomCharset(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return "UTF-8";
  if (bytes.starts_with("\xFF\xFE")) return "UTF-16LE";
  if (bytes.starts_with("\xFE\xFF")) return "UTF-16BE";
  return {};
}

// A <meta charset> or <meta http-equiv content="...; charset=..."> early in
// the page.
std::string MetaCharset(std::string_view bytes) {
  const std::string head = Lower(bytes.substr(0, kPrescanLength));
  for (std::size_t meta = head.find("<meta"); meta != std::string::npos;
       meta = head.find("<meta", meta + 5)) {
    const std::size_t end = head.find('>', meta);
    const std::string_view tag = std::string_view(head).substr(meta, end - meta);
    const std::size_t at = tag.find("charset=");
    if (at != std::string_view::npos) {
      std::string value = CharsetValue(tag, at);
      if (!value.empty()) return value;
    }
  }
  return {};
}

}  // namespace

std::string DeclaredCharset(std::string_view content_type, std::string_view bytes) {
  std::string bom = BomCharset(bytes);
  if (!bom.empty()) return bom;
  std::string header = HeaderCharset(content_type);
  return !header.empty() ? header : MetaCharset(bytes);
}

std::string_view DetectionSample(std::string_view bytes) { return bytes.substr(0, kSampleLength); }

std::string DetectedCharset(std::string_view page) {
  const std::string_view bytes = DetectionSample(page);
  // Plain ASCII reads the same in every candidate; ISO-2022-JP is seven-bit
  // with escapes.
  const bool seven_bit = std::all_of(bytes.begin(), bytes.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (seven_bit) return bytes.find("\x1B$") == std::string_view::npos ? "" : "ISO-2022-JP";
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UCharsetDetector, decltype(&ucsdet_close)> detector(ucsdet_open(&status),
                                                                      ucsdet_close);
  if (U_FAILURE(status)) return kFallbackCharset;
  ucsdet_enableInputFilter(detector.get(), true);  // markup is no evidence
  ucsdet_setText(detector.get(), bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  int32_t found = 0;
  const UCharsetMatch** matches = ucsdet_detectAll(detector.get(), &found, &status);
  std::string answer;
  for (int32_t i = 0; U_SUCCESS(status) && i < found && answer.empty(); ++i) {
    const char* name = ucsdet_getName(matches[i], &status);
    if (U_FAILURE(status) || ucsdet_getConfidence(matches[i], &status) < kLeastConfidence) break;
    for (const auto& [detected, decoded] : kDetectable) {
      if (std::string_view(name) == detected) answer = decoded;
    }
  }
  // ICU tells UTF-8 and ISO-2022-JP by their structure; its answers among
  // the others do not hold for a few dozen characters.
  if (answer == "UTF-8" || answer == "ISO-2022-JP") return answer;
  if (ValidUtf8(bytes)) return "UTF-8";
  return WesternOrJapanese(bytes);
}

bool SameCharset(std::string_view a, std::string_view b) { return Canonical(a) == Canonical(b); }
