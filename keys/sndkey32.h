// Module Sndkey32: plays a key string as synthetic keyboard input.
#pragma once

// Plays `keys` (never null) through the installed keyboard services. With
// `wait`, the thread's keyboard messages are drained, translated and
// dispatched after every synthetic event. Returns false when `keys` is empty
// or a brace is never closed. A repeat count that is not an integer throws
// EConvertError out of the call.
bool SendKeys(const char* keys, bool wait);
