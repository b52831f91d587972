// What becomes a download, and which window shows it.
#pragma once

typedef struct _WebKitWebContext WebKitWebContext;
typedef struct _WebKitWebView WebKitWebView;

// Every download of the context's views shows in the strip of its window. A
// window that a page opened only for a download is closed again, and the
// download shows in the window of that page.
void WatchDownloads(WebKitWebContext* context);
// A response the engine cannot show is saved rather than dropped; a page's
// downloads after its first wait for the user's click or answer.
void WatchResponses(WebKitWebView* view);
