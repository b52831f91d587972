// A JSON reader for files the program did not write: strict JSON (no
// comments, no trailing commas), nesting limited, given up at once when
// asked. It keeps nothing itself: it tells a handler what it reads, in
// order, and the handler keeps what it needs.
#pragma once

#include <cstddef>
#include <string_view>

#include "store/foreign_bookmarks.h"

enum class JsonKind { kNull, kBool, kNumber, kString };

class JsonHandler {
 public:
  virtual ~JsonHandler() = default;
  // Each returns false to end the reading, as kRefused.
  virtual bool Open(bool object) = 0;  // "{" or "["
  virtual bool Close() = 0;            // "}" or "]"
  // A member's name, before its value.
  virtual bool Name(std::string_view name) = 0;
  // A value other than an array or object: a string decoded, a number as
  // written, "true", "false" or "null".
  virtual bool Scalar(JsonKind kind, std::string_view text) = 0;
};

enum class JsonFailure { kNone, kSyntax, kTooDeep, kRefused, kStopped };

struct JsonLimits {
  int depth = 64;                      // arrays and objects inside each other
  std::size_t string_bytes = 1 << 20;  // a string is cut after this, not inside a character
  const StopFlag* stop = &kNeverStop;
};

struct JsonRead {
  JsonFailure failure = JsonFailure::kNone;
  std::size_t at = 0;  // where reading stopped, in bytes
};

JsonRead ReadJson(std::string_view text, JsonHandler& handler, const JsonLimits& limits);
