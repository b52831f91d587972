#include "store/json_reader.h"

#include <glib.h>

namespace {

// How often, in bytes read, the reader asks whether to stop.
constexpr std::size_t kStopCheckBytes = 64 * 1024;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Reader {
 public:
  Reader(std::string_view text, const JsonLimits& limits) : text_(text), limits_(limits) {}

  JsonRead Run() {
    JsonRead read;
    SkipSpace();
    if (Value(0, &read.root)) {
      SkipSpace();
      if (pos_ != text_.size()) Fail(JsonFailure::kSyntax);
    }
    read.failure = failure_;
    read.at = pos_;
    if (failure_ != JsonFailure::kNone) read.root = JsonValue{};
    return read;
  }

 private:
  bool Fail(JsonFailure why) {
    if (failure_ == JsonFailure::kNone) failure_ = why;
    return false;
  }

  // Counts `bytes` more kept; false once over the limit.
  bool Hold(std::size_t bytes) {
    held_ += bytes;
    return held_ <= limits_.held_bytes || Fail(JsonFailure::kTooLarge);
  }

  void SkipSpace() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
  }

  bool Take(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return Fail(JsonFailure::kSyntax);
    pos_ += word.size();
    return true;
  }

  // A value at `depth` (the arrays and objects around it) into `into`, or
  // read past when `into` is null.
  bool Value(int depth, JsonValue* into) {
    if (pos_ >= next_check_) {
      next_check_ = pos_ + kStopCheckBytes;
      if (limits_.stop->load(std::memory_order_relaxed)) return Fail(JsonFailure::kStopped);
    }
    if (into != nullptr && !Hold(sizeof(JsonValue))) return false;
    if (pos_ >= text_.size()) return Fail(JsonFailure::kSyntax);
    JsonValue ignored;
    JsonValue& value = into != nullptr ? *into : ignored;
    std::string* text = into != nullptr ? &value.text : nullptr;
    switch (text_[pos_]) {
      case '{':
        value.kind = JsonValue::Kind::kObject;
        return Object(depth + 1, into);
      case '[':
        value.kind = JsonValue::Kind::kArray;
        return Array(depth + 1, into);
      case '"':
        value.kind = JsonValue::Kind::kString;
        return String(text);
      case 't':
        value.kind = JsonValue::Kind::kBool;
        value.text = into != nullptr ? "true" : "";
        return Literal("true");
      case 'f':
        value.kind = JsonValue::Kind::kBool;
        value.text = into != nullptr ? "false" : "";
        return Literal("false");
      case 'n':
        return Literal("null");
      default:
        value.kind = JsonValue::Kind::kNumber;
        return Number(text);
    }
  }

  bool Array(int depth, JsonValue* into) {
    if (depth > limits_.depth) return Fail(JsonFailure::kTooDeep);
    ++pos_;
    SkipSpace();
    if (Take(']')) return true;
    do {
      SkipSpace();
      JsonValue* item = nullptr;
      if (into != nullptr) item = &into->items.emplace_back();
      if (!Value(depth, item)) return false;
      SkipSpace();
    } while (Take(','));
    return Take(']') || Fail(JsonFailure::kSyntax);
  }

  bool Object(int depth, JsonValue* into) {
    if (depth > limits_.depth) return Fail(JsonFailure::kTooDeep);
    ++pos_;
    SkipSpace();
    if (Take('}')) return true;
    do {
      SkipSpace();
      std::string name;
      if (pos_ >= text_.size() || text_[pos_] != '"') return Fail(JsonFailure::kSyntax);
      if (!String(into != nullptr ? &name : nullptr)) return false;
      SkipSpace();
      if (!Take(':')) return Fail(JsonFailure::kSyntax);
      SkipSpace();
      const bool keep = into != nullptr && (!limits_.keep || limits_.keep(name, depth));
      JsonValue* member = nullptr;
      if (keep) {
        if (!Hold(sizeof(std::string) + name.size())) return false;
        into->names.push_back(std::move(name));
        member = &into->items.emplace_back();
      }
      if (!Value(depth, member)) return false;
      SkipSpace();
    } while (Take(','));
    return Take('}') || Fail(JsonFailure::kSyntax);
  }

  static int Hex(char c) { return g_ascii_isxdigit(c) ? g_ascii_xdigit_value(c) : -1; }

  // Four hex digits at pos_; -1 when they are not.
  long Unit() {
    if (text_.size() - pos_ < 4) return -1;
    long unit = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = Hex(text_[pos_ + i]);
      if (digit < 0) return -1;
      unit = unit * 16 + digit;
    }
    pos_ += 4;
    return unit;
  }

  // After "\u": the character, a surrogate pair joined; U+FFFD for half a pair.
  bool Escaped(std::string* out) {
    long code = Unit();
    if (code < 0) return Fail(JsonFailure::kSyntax);
    if (code >= 0xD800 && code <= 0xDBFF && text_.substr(pos_, 2) == "\\u") {
      const std::size_t back = pos_;
      pos_ += 2;
      const long low = Unit();
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      } else {
        pos_ = back;
      }
    }
    if (code >= 0xD800 && code <= 0xDFFF) code = 0xFFFD;
    if (out != nullptr) {
      gchar utf8[6];
      Append(out, std::string_view(utf8, g_unichar_to_utf8(static_cast<gunichar>(code), utf8)));
    }
    return true;
  }

  void Append(std::string* out, std::string_view more) {
    if (out == nullptr || out->size() >= limits_.string_bytes) return;
    out->append(more.substr(0, limits_.string_bytes - out->size()));
  }

  bool String(std::string* out) {
    ++pos_;  // the opening quote
    for (;;) {
      std::size_t run = pos_;
      while (run < text_.size() && text_[run] != '"' && text_[run] != '\\' &&
             static_cast<unsigned char>(text_[run]) >= 0x20) {
        ++run;
      }
      Append(out, text_.substr(pos_, run - pos_));
      pos_ = run;
      if (pos_ >= text_.size() || static_cast<unsigned char>(text_[pos_]) < 0x20) {
        return Fail(JsonFailure::kSyntax);
      }
      if (text_[pos_++] == '"') break;
      if (pos_ >= text_.size()) return Fail(JsonFailure::kSyntax);
      const char kind = text_[pos_++];
      static constexpr std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
      const std::size_t simple = kFrom.find(kind);
      if (simple != std::string_view::npos) {
        Append(out, kTo.substr(simple, 1));
      } else if (kind != 'u' || !Escaped(out)) {
        return Fail(JsonFailure::kSyntax);
      }
    }
    if (out != nullptr) {
      *out = std::string(CutText(*out, limits_.string_bytes));
      return Hold(out->size());
    }
    return true;
  }

  bool Digits() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    return pos_ > start || Fail(JsonFailure::kSyntax);
  }

  bool Number(std::string* out) {
    const std::size_t start = pos_;
    Take('-');
    if (!Take('0') && !Digits()) return false;
    if (Take('.') && !Digits()) return false;
    if (Take('e') || Take('E')) {
      if (!Take('+')) Take('-');
      if (!Digits()) return false;
    }
    if (out != nullptr) {
      Append(out, text_.substr(start, pos_ - start));
      return Hold(out->size());
    }
    return true;
  }

  std::string_view text_;
  const JsonLimits& limits_;
  std::size_t pos_ = 0;
  std::size_t next_check_ = 0;
  std::size_t held_ = 0;
  JsonFailure failure_ = JsonFailure::kNone;
};

}  // namespace

const JsonValue* JsonValue::Member(std::string_view name) const {
  if (kind != Kind::kObject) return nullptr;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return &items[i];
  }
  return nullptr;
}

std::string_view JsonValue::StringMember(std::string_view name) const {
  const JsonValue* member = Member(name);
  return member != nullptr && member->kind == Kind::kString ? std::string_view(member->text)
                                                            : std::string_view();
}

JsonRead ReadJson(std::string_view text, const JsonLimits& limits) {
  return Reader(text, limits).Run();
}
