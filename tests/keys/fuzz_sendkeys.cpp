// libFuzzer target: any byte string is a key string. Checks what must hold
// for every input, against the recorder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "keys/sndkey32.h"
#include "platform/exception.h"
#include "tests/keys/keyboard_recorder.h"

namespace {

// Six bytes can ask for 65535 key pairs; this keeps one input to a few seconds.
constexpr std::size_t kMaxInput = 128;

void Check(bool ok) {
  if (!ok) std::abort();
}

void Play(KeyboardRecorder& recorder, const std::string& keys) {
  recorder.Clear();
  bool result = false;
  bool converted = true;
  try {
    result = SendKeys(keys.c_str(), true);
  } catch (const EConvertError&) {
    converted = false;
  }
  const bool empty = keys.c_str()[0] == '\0';
  if (converted) {
    // False exactly for an empty string or an unclosed brace, which ends the walk.
    Check(result == !(empty || recorder.last_box_text() == "No Close"));
  }
  if (empty) Check(recorder.key_event_count() == 0 && recorder.box_count() == 0);
  // The drain leaves no key message behind.
  Check(recorder.queue.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInput) return 0;
  static KeyboardRecorder recorder;
  recorder.keep_log = false;
  const std::string keys(reinterpret_cast<const char*>(data), size);  // NUL-terminated copy
  Play(recorder, keys);
  return 0;
}
