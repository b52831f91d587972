// A page's file field in a private window: the toolkit's own chooser puts
// every file it accepts into the desktop's recent files, which would outlive
// the window. Ours gives the page the files without that.
#pragma once

typedef struct _WebKitWebView WebKitWebView;

// For every view; does nothing to one that keeps data on disk.
void KeepUploadsOutOfRecentFiles(WebKitWebView* view);
