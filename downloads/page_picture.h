// A PNG picture of the whole page, not just of what is on screen. The
// engine makes no picture taller than kMaxPictureHeight pixels: a longer
// page is cut there.
#pragma once

#include <functional>
#include <string>

typedef struct _WebKitWebView WebKitWebView;

// What one image of the toolkit's drawing library holds a side.
constexpr int kMaxPictureHeight = 32767;

// `written`: the picture is in `path`; otherwise `failure` says why. `cut`:
// the page went on below the picture.
using PictureDone = std::function<void(bool written, const std::string& failure, bool cut)>;

// Writes the picture of the page in `view` to `path`, then calls `done`.
void TakePagePicture(WebKitWebView* view, const std::string& path, PictureDone done);
