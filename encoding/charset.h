// Which encoding a page's bytes are in: what the page declares (HTTP header,
// byte order mark, <meta>), else what they are among those Japanese and
// Western pages use, else the HTML Standard's fallback for a Japanese
// interface. No engine: the bytes and the header only.
#pragma once

#include <string>
#include <string_view>

// Where the bytes do not tell.
extern const char kFallbackCharset[];

// The encoding `bytes` declare with a byte order mark or a <meta> in their
// first 1024 bytes, or the charset of `content_type` (an HTTP Content-Type
// value, may be empty) before either; empty when nothing is declared.
std::string DeclaredCharset(std::string_view content_type, std::string_view bytes);

// UTF-8, Shift_JIS, EUC-JP, ISO-2022-JP or windows-1252, as `bytes` are:
// UTF-8 and ISO-2022-JP by their structure, the others by the valid reading
// that looks most like its language; empty for plain ASCII, which each of
// them reads alike.
std::string DetectedCharset(std::string_view bytes);
// The part of `bytes` that DetectedCharset reads: their first 64 KiB.
std::string_view DetectionSample(std::string_view bytes);

// Whether two names name the same encoding as pages are decoded.
bool SameCharset(std::string_view a, std::string_view b);
