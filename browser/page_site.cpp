#include "browser/page_site.h"

#include <webkit2/webkit2.h>

std::optional<PageSite> PageSiteOf(WebKitWebView* view) {
  const gchar* uri = webkit_web_view_get_uri(view);
  WebKitSecurityOrigin* origin = uri != nullptr ? webkit_security_origin_new_for_uri(uri) : nullptr;
  if (origin == nullptr) return std::nullopt;
  std::optional<PageSite> site;
  gchar* text = webkit_security_origin_to_string(origin);
  const gchar* host = webkit_security_origin_get_host(origin);
  if (text != nullptr && host != nullptr && *host != '\0') {
    const guint16 port = webkit_security_origin_get_port(origin);
    site = PageSite{text, port != 0 ? std::string(host) + ":" + std::to_string(port) : host};
  }
  g_free(text);
  webkit_security_origin_unref(origin);
  return site;
}
