// A JSON reader for files the program did not write: strict JSON (no
// comments, no trailing commas), nesting limited, what it keeps bounded in
// bytes, and given up at once when asked. Members a caller has no use for are
// read past and not kept.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "store/foreign_bookmarks.h"

struct JsonValue {
  enum class Kind : unsigned char { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  std::string text;                // a string's value, a number as written, "true" or "false"
  std::vector<JsonValue> items;    // an array's items, or an object's member values
  std::vector<std::string> names;  // an object's member names, beside `items`

  // The first member named `name`; null when there is none or this is no object.
  const JsonValue* Member(std::string_view name) const;
  // A string member's value; empty otherwise.
  std::string_view StringMember(std::string_view name) const;
};

enum class JsonFailure { kNone, kSyntax, kTooDeep, kTooLarge, kStopped };

struct JsonLimits {
  int depth = 64;                      // arrays and objects inside each other
  std::size_t held_bytes = 64 << 20;   // what the kept values take together
  std::size_t string_bytes = 1 << 20;  // a kept string is cut after this
  // Whether to keep the member `name` of an object at `depth` (1 for the
  // outermost object); null keeps every member.
  std::function<bool(std::string_view name, int depth)> keep;
  const StopFlag* stop = &kNeverStop;
};

struct JsonRead {
  JsonValue root;
  JsonFailure failure = JsonFailure::kNone;
  std::size_t at = 0;  // where reading stopped, in bytes
};

JsonRead ReadJson(std::string_view text, const JsonLimits& limits);
