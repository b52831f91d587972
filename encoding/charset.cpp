#include "encoding/charset.h"

#include <glib.h>
#include <unicode/ucsdet.h>

#include <algorithm>
#include <array>
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

// Whether `bytes` are a valid text in `charset` for the system's converter.
bool ValidIn(std::string_view bytes, const char* charset) {
  gchar* text = g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", charset,
                          nullptr, nullptr, nullptr);
  g_free(text);
  return text != nullptr;
}

// The detector's Japanese recognizers stay silent on a few dozen Japanese
// characters, which then pass for Western text: a Western answer holds only
// for bytes that cannot be Japanese. Those that can be only one of the two
// are that one; the others do not tell.
std::string WesternOrJapanese(std::string_view bytes) {
  const bool sjis = ValidIn(bytes, "CP932");
  const bool euc = ValidIn(bytes, "EUC-JP");
  if (sjis && euc) return kFallbackCharset;
  if (sjis) return "Shift_JIS";
  if (euc) return "EUC-JP";
  return kWestern;
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

std::string DetectedCharset(std::string_view bytes) {
  // Plain ASCII reads the same in every candidate (ISO-2022-JP starts with ESC).
  if (std::all_of(bytes.begin(), bytes.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != 0x1B; }))
    return {};
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
  return answer.empty() || answer == kWestern ? WesternOrJapanese(bytes) : answer;
}

bool SameCharset(std::string_view a, std::string_view b) { return Canonical(a) == Canonical(b); }
