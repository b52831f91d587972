// What went wrong with a load, as the error page tells the user.
#pragma once

#include <glib.h>

enum class ErrorKind {
  kRefused,           // nothing listens there
  kReset,             // the connection broke off
  kHostNotFound,      // the name resolves to nothing
  kTimeout,           // no answer in time
  kNoNetwork,         // the machine reaches no network
  kBlockedPort,       // a port of another service, which the engine never opens
  kTooManyRedirects,  // a chain of redirects that does not end
  kCertificate,       // the site's certificate cannot be trusted
  kOther,
};

// The kind of a failed load's error.
ErrorKind KindOf(const GError* error);
// Whether the engine shows nothing for it (a load given up or taken over).
bool Unshown(const GError* error);
