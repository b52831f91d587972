// The scheme tavorin: is the program's alone. Registered as local, display
// isolated and no-access, no web page can link to it, frame it, fetch it or
// read what it shows; and a page is served only as the top-level page of a
// window that is loading it.
#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

#include <string>

#include "start_page/start_page.h"
#include "start_page/start_page_html.h"

namespace {

constexpr char kScheme[] = "tavorin";

std::string AddressOf(WebKitWebView* view) {
  const gchar* uri = view != nullptr ? webkit_web_view_get_uri(view) : nullptr;
  return uri != nullptr ? uri : "";
}

void Refuse(WebKitURISchemeRequest* request) {
  GError* error =
      g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "このアドレスのページはありません");
  webkit_uri_scheme_request_finish_error(request, error);
  g_error_free(error);
}

void Answer(WebKitURISchemeRequest* request, gpointer) {
  const std::string uri = webkit_uri_scheme_request_get_uri(request);
  WebKitWebView* view = webkit_uri_scheme_request_get_web_view(request);
  // A frame of another page or a page's fetch asks from a view showing that page.
  if (!IsStartPage(uri) || AddressOf(view) != uri) {
    Refuse(request);
    return;
  }
  const std::string html = StartPage(webkit_web_view_is_ephemeral(view));
  GBytes* bytes = g_bytes_new(html.data(), html.size());
  GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
  WebKitURISchemeResponse* response =
      webkit_uri_scheme_response_new(stream, static_cast<gint64>(html.size()));
  webkit_uri_scheme_response_set_content_type(response, "text/html; charset=utf-8");
  SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
  soup_message_headers_append(headers, "Content-Security-Policy", kStartPagePolicy);
  soup_message_headers_append(headers, "X-Frame-Options", "DENY");
  // Never from a cache: the history may have been cleared since.
  soup_message_headers_append(headers, "Cache-Control", "no-store");
  webkit_uri_scheme_response_set_http_headers(response, headers);  // takes them
  webkit_uri_scheme_request_finish_with_response(request, response);
  g_object_unref(response);
  g_object_unref(stream);
  g_bytes_unref(bytes);
}

}  // namespace

void ServeProgramPages(WebKitWebContext* context) {
  webkit_web_context_register_uri_scheme(context, kScheme, Answer, nullptr, nullptr);
  WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
  webkit_security_manager_register_uri_scheme_as_local(security, kScheme);
  webkit_security_manager_register_uri_scheme_as_display_isolated(security, kScheme);
  webkit_security_manager_register_uri_scheme_as_no_access(security, kScheme);
  webkit_security_manager_register_uri_scheme_as_secure(security, kScheme);
}
