#include "store/json_reader.h"

#include <glib.h>

namespace {

// How often, in bytes read, the reader asks whether to stop.
constexpr std::size_t kStopCheckBytes = 64 * 1024;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Reader {
 public:
  Reader(std::string_view text, JsonHandler& handler, const JsonLimits& limits)
      : text_(text), handler_(handler), limits_(limits) {}

  JsonRead Run() {
    SkipSpace();
    if (Value(0)) {
      SkipSpace();
      if (pos_ != text_.size()) Fail(JsonFailure::kSyntax);
    }
    return {failure_, pos_};
  }

 private:
  bool Fail(JsonFailure why) {
    if (failure_ == JsonFailure::kNone) failure_ = why;
    return false;
  }

  // What the handler answered.
  bool Told(bool go_on) { return go_on || Fail(JsonFailure::kRefused); }

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

  // A value inside `depth` arrays and objects.
  bool Value(int depth) {
    if (pos_ >= next_check_) {
      next_check_ = pos_ + kStopCheckBytes;
      if (limits_.stop->load(std::memory_order_relaxed)) return Fail(JsonFailure::kStopped);
    }
    if (pos_ >= text_.size()) return Fail(JsonFailure::kSyntax);
    switch (text_[pos_]) {
      case '{':
        return Object(depth + 1);
      case '[':
        return Array(depth + 1);
      case '"': {
        std::string text;
        return String(text) && Told(handler_.Scalar(JsonKind::kString, text));
      }
      case 't':
        return Literal("true") && Told(handler_.Scalar(JsonKind::kBool, "true"));
      case 'f':
        return Literal("false") && Told(handler_.Scalar(JsonKind::kBool, "false"));
      case 'n':
        return Literal("null") && Told(handler_.Scalar(JsonKind::kNull, "null"));
      default: {
        const std::size_t start = pos_;
        return Number() &&
               Told(handler_.Scalar(JsonKind::kNumber, text_.substr(start, pos_ - start)));
      }
    }
  }

  bool Array(int depth) {
    if (depth > limits_.depth) return Fail(JsonFailure::kTooDeep);
    ++pos_;
    if (!Told(handler_.Open(false))) return false;
    SkipSpace();
    if (!Take(']')) {
      do {
        SkipSpace();
        if (!Value(depth)) return false;
        SkipSpace();
      } while (Take(','));
      if (!Take(']')) return Fail(JsonFailure::kSyntax);
    }
    return Told(handler_.Close());
  }

  bool Object(int depth) {
    if (depth > limits_.depth) return Fail(JsonFailure::kTooDeep);
    ++pos_;
    if (!Told(handler_.Open(true))) return false;
    SkipSpace();
    if (!Take('}')) {
      do {
        SkipSpace();
        std::string name;
        if (pos_ >= text_.size() || text_[pos_] != '"') return Fail(JsonFailure::kSyntax);
        if (!String(name) || !Told(handler_.Name(name))) return false;
        SkipSpace();
        if (!Take(':')) return Fail(JsonFailure::kSyntax);
        SkipSpace();
        if (!Value(depth)) return false;
        SkipSpace();
      } while (Take(','));
      if (!Take('}')) return Fail(JsonFailure::kSyntax);
    }
    return Told(handler_.Close());
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
  bool Escaped(std::string& out) {
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
    gchar utf8[6];
    Append(out, std::string_view(utf8, g_unichar_to_utf8(static_cast<gunichar>(code), utf8)));
    return true;
  }

  // Appends what fits of `more` below the limit; the last character is
  // made whole or dropped at the end.
  void Append(std::string& out, std::string_view more) {
    if (out.size() >= limits_.string_bytes + 4) return;
    out.append(more.substr(0, limits_.string_bytes + 4 - out.size()));
  }

  bool String(std::string& out) {
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
    out.resize(CutText(out, limits_.string_bytes).size());
    return true;
  }

  bool Digits() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    return pos_ > start || Fail(JsonFailure::kSyntax);
  }

  bool Number() {
    Take('-');
    if (!Take('0') && !Digits()) return false;
    if (Take('.') && !Digits()) return false;
    if (Take('e') || Take('E')) {
      if (!Take('+')) Take('-');
      if (!Digits()) return false;
    }
    return true;
  }

  std::string_view text_;
  JsonHandler& handler_;
  const JsonLimits& limits_;
  std::size_t pos_ = 0;
  std::size_t next_check_ = 0;
  JsonFailure failure_ = JsonFailure::kNone;
};

}  // namespace

JsonRead ReadJson(std::string_view text, JsonHandler& handler, const JsonLimits& limits) {
  return Reader(text, handler, limits).Run();
}
