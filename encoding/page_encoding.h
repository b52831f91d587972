// The encoding a view's pages are read in. A page that declares its encoding
// is read as it declares; one that declares nothing is read by the engine's
// own detector, falling back to Shift_JIS, the HTML Standard's choice for a
// Japanese interface. Once it has loaded, such a page is checked against
// what its bytes are, and read again from the cache, once, where the engine
// read it otherwise; never the answer to a form. Nothing found for one page
// is left for the next. The user may choose an encoding instead, which holds
// while the view stays on that site.
#pragma once

#include <string>

typedef struct _WebKitWebView WebKitWebView;

// Once for each view, as it is made.
void WatchPageEncoding(WebKitWebView* view);
// The engine's own reading of pages that declare nothing, as a watched view
// starts each page with; for a view that is not watched.
void UseEngineDetector(WebKitWebView* view);

// What the user chose for the page shown: an encoding's name, or empty for
// the detection.
std::string ChosenEncoding(WebKitWebView* view);
// Reads the page again, from the cache, in `charset` (empty: as declared or
// detected). Not for a page that answered a form, which only a new sending
// of the form could bring back.
void ChooseEncoding(WebKitWebView* view, const std::string& charset);
// False for a page that answered a form.
bool EncodingChoosable(WebKitWebView* view);
