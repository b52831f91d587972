#include "app/handover_message.h"

#include <glib.h>

#include <algorithm>

#include "window/window_limit.h"

namespace {

constexpr std::string_view kMagic = "TAVORIN-HANDOVER";
constexpr guint32 kVersion = 1;
constexpr guint32 kFlagsVersion = 2;
constexpr guint32 kPrivateFlag = 1;

void PutNumber(std::string& out, guint32 n) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(char((n >> shift) & 0xff));
}

void PutField(std::string& out, const std::string& field) {
  PutNumber(out, guint32(field.size()));
  out += field;
}

// Reads a message front to back; the first rule broken stops it for good.
class Reader {
 public:
  explicit Reader(std::string_view message) : rest_(message) {}

  bool Fail(std::string why) {
    if (problem_.empty()) problem_ = std::move(why);
    return false;
  }
  const std::string& Problem() const { return problem_; }
  bool AtEnd() const { return rest_.empty(); }
  bool StartsWith(std::string_view start) const { return rest_.starts_with(start); }

  bool Take(std::size_t n, std::string_view& out) {
    if (rest_.size() < n) return Fail("途中で切れています");
    out = rest_.substr(0, n);
    rest_.remove_prefix(n);
    return true;
  }
  bool Number(guint32& n) {
    std::string_view bytes;
    if (!Take(4, bytes)) return false;
    n = 0;
    for (unsigned char c : bytes) n = (n << 8) | c;
    return true;
  }
  bool Field(std::string& out) {
    guint32 length = 0;
    std::string_view bytes;
    if (!Number(length) || !Take(length, bytes)) return false;
    out.assign(bytes);
    return true;
  }

 private:
  std::string_view rest_;
  std::string problem_;
};

bool HasControl(const std::string& text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return (unsigned char)c < 0x20 || c == 0x7f; });
}

// Why `text` cannot be a field of the message, or empty.
std::string FieldProblem(const std::string& text) {
  if (!g_utf8_validate(text.data(), gssize(text.size()), nullptr)) return "UTF-8 ではありません";
  if (HasControl(text)) return "制御文字を含みます";
  return "";
}

std::string AddressProblem(const std::string& address) {
  if (address.empty()) return "空のアドレスがあります";
  if (address.size() > kLongestAddress) return "長すぎるアドレスがあります";
  std::string problem = FieldProblem(address);
  if (!problem.empty()) return "アドレスが" + problem;
  gchar* scheme = g_uri_parse_scheme(address.c_str());
  g_free(scheme);
  return scheme == nullptr ? "スキームのないアドレスがあります" : "";
}

bool ReadFlags(Reader& in, guint32 version, guint32& flags) {
  flags = 0;
  if (version == kVersion) return true;
  if (!in.Number(flags)) return false;
  // An unknown wish is refused, not half granted.
  return (flags & ~kPrivateFlag) == 0 || in.Fail("不明なフラグがあります");
}

bool ReadHeader(Reader& in, guint32& left_over, guint32& flags, guint32& fields) {
  std::string_view magic;
  guint32 version = 0;
  if (!in.StartsWith(kMagic) || !in.Take(kMagic.size(), magic)) return in.Fail("見出しが違います");
  if (!in.Number(version)) return false;
  if (version != kVersion && version != kFlagsVersion)
    return in.Fail("版 " + std::to_string(version) + " には対応していません");
  if (!in.Number(left_over) || !ReadFlags(in, version, flags) || !in.Number(fields)) return false;
  return fields >= 1 || in.Fail("起動通知の欄がありません");
}

}  // namespace

std::string EncodeHandOver(const std::string& startup_id, const std::vector<std::string>& addresses,
                           bool private_window) {
  const std::size_t carried = std::min(addresses.size(), kMaxWindowsPerRequest);
  std::string message(kMagic);
  PutNumber(message, private_window ? kFlagsVersion : kVersion);
  PutNumber(message, guint32(addresses.size() - carried));
  if (private_window) PutNumber(message, kPrivateFlag);
  PutNumber(message, guint32(carried + 1));
  PutField(message, startup_id);
  for (std::size_t i = 0; i < carried; ++i) PutField(message, addresses[i]);
  return message;
}

std::optional<THandOver> DecodeHandOver(std::string_view message, std::string& problem) {
  Reader in(message);
  THandOver handover;
  guint32 left_over = 0, flags = 0, fields = 0;
  bool ok = message.size() <= kLargestHandOver || in.Fail("大きすぎます");
  ok = ok && ReadHeader(in, left_over, flags, fields) && in.Field(handover.startup_id);
  if (ok) {
    const std::string why = FieldProblem(handover.startup_id);
    ok = why.empty() || in.Fail("起動通知が" + why);
  }
  for (guint32 i = 1; ok && i < fields; ++i) {
    std::string address;
    ok = in.Field(address);
    const std::string why = ok ? AddressProblem(address) : "";
    ok = ok && (why.empty() || in.Fail(why));
    if (ok) handover.addresses.push_back(std::move(address));
  }
  ok = ok && (in.AtEnd() || in.Fail("余分なバイトが続いています"));
  // A sender leaves addresses out only beyond what one request opens.
  ok = ok && (left_over == 0 || handover.addresses.size() >= kMaxWindowsPerRequest ||
              in.Fail("残りの数が合いません"));
  problem = in.Problem();
  if (!ok) return std::nullopt;
  handover.left_over = left_over;
  handover.private_window = (flags & kPrivateFlag) != 0;
  return handover;
}
