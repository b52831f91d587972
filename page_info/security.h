// How safe the connection of the page in a view is: what the address box
// shows at its start, and the page's part of the page information.
#pragma once

#include <gio/gio.h>

#include <string>

typedef struct _WebKitWebView WebKitWebView;

enum class Security {
  kNone,       // nothing to say: a blank page, a file
  kSecure,     // https, a certificate the engine trusts, no insecure content
  kNotSecure,  // http, or https with a certificate problem or insecure content
};

struct Connection {
  std::string uri;
  bool has_certificate = false;
  GTlsCertificateFlags errors = GTlsCertificateFlags(0);
  bool insecure_content = false;
};

Security Judge(const Connection& connection);

// Notes what the engine says of the connections of `view`; once, as it is made.
void WatchSecurity(WebKitWebView* view);
// The connection of the page shown in `view` now.
Connection ConnectionOf(WebKitWebView* view);
inline Security SecurityOf(WebKitWebView* view) { return Judge(ConnectionOf(view)); }

// The connection in words, one fact per line: TLS or not, the certificate's
// subject and issuer, the problems the engine found.
std::string DescribeConnection(WebKitWebView* view);
// The problems in `errors`, in words, separated by "、"; empty for none.
std::string CertificateProblems(GTlsCertificateFlags errors);
