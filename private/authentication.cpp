#include "private/authentication.h"

#include <webkit2/webkit2.h>

namespace {

// Runs before the engine's dialog, which reads the flag.
gboolean Authenticate(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer) {
  webkit_authentication_request_set_can_save_credentials(request, FALSE);
  return FALSE;
}

}  // namespace

void KeepAuthenticationInMemory(WebKitWebView* view) {
  if (!webkit_web_view_is_ephemeral(view)) return;
  g_signal_connect(view, "authenticate", G_CALLBACK(Authenticate), nullptr);
}
