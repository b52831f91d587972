// HTTP authentication in a private window lives in memory only: the engine's
// own dialog is not to offer keeping the password in the keyring.
#pragma once

typedef struct _WebKitWebView WebKitWebView;

// For every view; does nothing to one that keeps data on disk.
void KeepAuthenticationInMemory(WebKitWebView* view);
