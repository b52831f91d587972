// The runtime's string-to-integer conversion. No toolkit header here.
#pragma once

#include <string>

// Leading spaces, one optional sign, then decimal digits, or hexadecimal digits
// after "$", "x", "X", "0x" or "0X"; nothing may follow the digits. Throws
// EConvertError when the text is not a 32-bit signed integer.
int StrToInt(const std::string& text);
