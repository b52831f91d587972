// The encoding a view's pages are read in. Pages fall back to Shift_JIS, the
// HTML Standard's choice for a Japanese interface; once a page has loaded,
// one that declares nothing is checked against what its bytes are, and read
// again from the cache in that encoding when they differ. The user may choose
// one instead, which holds while the view stays on that site.
#pragma once

#include <string>

typedef struct _WebKitWebView WebKitWebView;

// Once for each view, as it is made.
void WatchPageEncoding(WebKitWebView* view);

// What the user chose for the page shown: an encoding's name, or empty for
// the detection.
std::string ChosenEncoding(WebKitWebView* view);
// Reads the page again, from the cache, in `charset` (empty: as declared or
// detected). Not for a page that answered a form, which only a new sending
// of the form could bring back.
void ChooseEncoding(WebKitWebView* view, const std::string& charset);
// False for a page that answered a form.
bool EncodingChoosable(WebKitWebView* view);
