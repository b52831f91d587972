// The engine's web inspector for a page, while the developer tools are on
// (the setting developer-tools): with them off, no view can be inspected.
#pragma once

typedef struct _WebKitWebView WebKitWebView;

// Applies to every view, made already or later.
void SetDeveloperTools(bool enabled);
bool DeveloperTools();
// Lets `view` be inspected while the tools are on; once, as it is made.
void AllowInspecting(WebKitWebView* view);
// Opens the inspector of the page in `view`; nothing while the tools are off.
void ShowInspector(WebKitWebView* view);
