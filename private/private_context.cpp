#include "private/private_context.h"

#include <webkit2/webkit2.h>

#include "browser/web_context.h"

std::shared_ptr<WebKitWebContext> PrivateContext() {
  // Weak: the cookies and site data of private windows must not outlive them.
  static std::weak_ptr<WebKitWebContext> shared;
  std::shared_ptr<WebKitWebContext> context = shared.lock();
  if (context) return context;
  context = std::shared_ptr<WebKitWebContext>(NewEphemeralContext(), g_object_unref);
  shared = context;
  return context;
}
