#include "downloads/name.h"

#include <cstdint>
#include <vector>

namespace download_name {
namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;
// Extensions longer than this are part of the name, not a type.
constexpr std::size_t kMaxExtensionBytes = 16;

// The code point at `at` and its length; kInvalid with length 1 for a byte
// that does not start a well-formed sequence.
std::pair<char32_t, std::size_t> Decode(std::string_view s, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
  const std::uint8_t lead = byte(at);
  if (lead < 0x80) return {lead, 1};
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > s.size()) return {kInvalid, 1};
  char32_t c = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return {kInvalid, 1};
    c = (c << 6) | (byte(at + i) & 0x3F);
  }
  const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {kInvalid, 1};
  return {c, length};
}

// Characters that are not shown, or that reorder what is shown: a name must
// read as what it is ("report\u202Etxt.exe" would show as "reportexe.txt").
bool Hidden(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200B || c == 0x200E || c == 0x200F ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

// Valid UTF-8 without hidden characters.
std::string Clean(std::string_view s) {
  std::string out;
  for (std::size_t at = 0; at < s.size();) {
    auto [c, length] = Decode(s, at);
    if (c == kInvalid) {
      out += '_';
    } else if (!Hidden(c)) {
      out.append(s.substr(at, length));
    }
    at += length;
  }
  return out;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// The path's parts without "." and "..", joined by "_"; runs of dots become
// one, and no dot or space is left at either end.
std::string Flatten(std::string_view s) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0; start <= s.size();) {
    std::size_t end = s.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = s.size();
    std::string_view part = s.substr(start, end - start);
    if (!part.empty() && part != "." && part != "..") parts.push_back(part);
    start = end + 1;
  }
  std::string joined;
  for (std::string_view part : parts) {
    if (!joined.empty()) joined += '_';
    joined.append(part);
  }
  std::string out;
  for (char c : joined) {
    if (c == '.' && !out.empty() && out.back() == '.') continue;
    out += c;
  }
  const auto trimmed = [](char c) { return c == '.' || IsSpace(c); };
  std::size_t first = 0, last = out.size();
  while (first < last && trimmed(out[first])) ++first;
  while (last > first && trimmed(out[last - 1])) --last;
  return out.substr(first, last - first);
}

// Where the extension starts (".gz", or ".tar.gz"); the end when none.
std::size_t ExtensionAt(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || name.size() - dot > kMaxExtensionBytes) {
    return name.size();
  }
  const std::size_t tar = dot >= 4 ? dot - 4 : std::string::npos;
  if (tar != std::string::npos && tar > 0 && name.compare(tar, 4, ".tar") == 0) return tar;
  return dot;
}

// `stem` cut to `bytes` at a character boundary.
std::string Cut(std::string stem, std::size_t bytes) {
  if (stem.size() <= bytes) return stem;
  std::size_t end = bytes;
  while (end > 0 && (static_cast<std::uint8_t>(stem[end]) & 0xC0) == 0x80) --end;
  stem.resize(end);
  while (!stem.empty() && IsSpace(stem.back())) stem.pop_back();
  return stem;
}

// stem + suffix + extension within kMaxBytes; the stem gives way.
std::string Fit(const std::string& name, const std::string& suffix) {
  std::size_t at = ExtensionAt(name);
  std::string extension = name.substr(at);
  if (extension.size() + suffix.size() >= kMaxBytes) {  // only a stem would not fit
    at = name.size();
    extension.clear();
  }
  std::string stem = Cut(name.substr(0, at), kMaxBytes - suffix.size() - extension.size());
  if (stem.empty()) stem = kFallback;
  return stem + suffix + extension;
}

}  // namespace

std::string Safe(std::string_view suggested) {
  std::string name = Flatten(Clean(suggested));
  if (name.empty()) return kFallback;
  return Fit(name, "");
}

std::string Numbered(const std::string& name, unsigned n) {
  if (n == 0) return name;
  return Fit(name, " (" + std::to_string(n) + ")");
}

}  // namespace download_name
