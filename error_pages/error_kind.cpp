#include "error_pages/error_kind.h"

#include <gio/gio.h>
#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

namespace {

struct Known {
  GQuark (*domain)();
  int code;
  ErrorKind kind;
};

GQuark IoDomain() { return G_IO_ERROR; }
GQuark ResolverDomain() { return G_RESOLVER_ERROR; }
GQuark SessionDomain() { return SOUP_SESSION_ERROR; }
GQuark TlsDomain() { return G_TLS_ERROR; }

constexpr Known kKnown[] = {
    {IoDomain, G_IO_ERROR_CONNECTION_REFUSED, ErrorKind::kRefused},
    {IoDomain, G_IO_ERROR_CONNECTION_CLOSED, ErrorKind::kReset},
    {IoDomain, G_IO_ERROR_BROKEN_PIPE, ErrorKind::kReset},
    {IoDomain, G_IO_ERROR_PARTIAL_INPUT, ErrorKind::kReset},
    {IoDomain, G_IO_ERROR_TIMED_OUT, ErrorKind::kTimeout},
    {IoDomain, G_IO_ERROR_NETWORK_UNREACHABLE, ErrorKind::kNoNetwork},
    {IoDomain, G_IO_ERROR_HOST_UNREACHABLE, ErrorKind::kNoNetwork},
    {IoDomain, G_IO_ERROR_NOT_CONNECTED, ErrorKind::kNoNetwork},
    {ResolverDomain, G_RESOLVER_ERROR_NOT_FOUND, ErrorKind::kHostNotFound},
    {ResolverDomain, G_RESOLVER_ERROR_TEMPORARY_FAILURE, ErrorKind::kHostNotFound},
    {SessionDomain, SOUP_SESSION_ERROR_TOO_MANY_REDIRECTS, ErrorKind::kTooManyRedirects},
    {SessionDomain, SOUP_SESSION_ERROR_PARSING, ErrorKind::kReset},
    {TlsDomain, G_TLS_ERROR_BAD_CERTIFICATE, ErrorKind::kCertificate},
};

}  // namespace

ErrorKind KindOf(const GError* error) {
  if (error == nullptr) return ErrorKind::kOther;
  for (const Known& known : kKnown) {
    if (g_error_matches(error, known.domain(), known.code)) return known.kind;
  }
  // The engine counts redirects itself and says so only in words.
  if (g_strrstr(error->message, "redirect") != nullptr) return ErrorKind::kTooManyRedirects;
  return ErrorKind::kOther;
}

bool Unshown(const GError* error) {
  return g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
         g_error_matches(error, WEBKIT_POLICY_ERROR,
                         WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
         g_error_matches(error, WEBKIT_PLUGIN_ERROR, WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD) ||
         g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_DESTINATION) ||
         g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_CANNOT_SHOW_MIME_TYPE);
}
