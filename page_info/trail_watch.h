// Keeps the way to the page of each view (see trail.h) as the engine goes:
// HTTP redirects of the top frame's document, a <meta> refresh or Refresh
// header, a script sending the page on, and moves within the page.
#pragma once

#include <sigc++/signal.h>

typedef struct _WebKitWebView WebKitWebView;
class TPageTrail;

// Starts keeping the way for `view`; once, as the view is made.
void WatchTrail(WebKitWebView* view);
// The user asked `view` for a load: what comes next starts a new way.
void NoteUserLoad(WebKitWebView* view);
// The way of `view`; null for a view that is not watched.
const TPageTrail* TrailOf(WebKitWebView* view);
// Emitted after each change of the way of `view`; null when not watched.
sigc::signal<void()>* TrailChanged(WebKitWebView* view);
