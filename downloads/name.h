// How a download is named: the name the server or page suggests, made safe to
// use as one file name in the Downloads folder, and its numbered alternatives
// for when a file of that name is already there. No toolkit here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace download_name {

// What Linux file systems take for one name.
constexpr std::size_t kMaxBytes = 255;
// Used when nothing of the suggested name is left.
constexpr char kFallback[] = "ダウンロード";

// A name that stays inside the folder and shows as written: no separators,
// no "..", no leading dot, no control or direction characters, valid UTF-8,
// at most kMaxBytes long with its extension kept.
std::string Safe(std::string_view suggested);

// The n-th alternative of a safe `name`: "name (n).ext" (n = 0 gives `name`),
// shortened before the extension when it would be too long.
std::string Numbered(const std::string& name, unsigned n);

}  // namespace download_name
