// The error page a failed load shows: what happened, what the user can do,
// and 「再試行」; for a certificate that cannot be trusted a way back and
// none on. Every text from the address or the engine is escaped.
#pragma once

#include <string>

#include "error_pages/error_kind.h"

struct ErrorFacts {
  ErrorKind kind = ErrorKind::kOther;
  std::string uri;     // the address that failed
  std::string detail;  // the certificate's problems, or the engine's words
  int port = -1;       // of a blocked port
};

// The addresses the page's buttons ask for; only the program acts on them.
extern const char kRetryAddress[];
extern const char kBackAddress[];

// The host of `uri` as the page names it; the address itself when it has none.
std::string HostOf(const std::string& uri);
std::string ErrorPageHtml(const ErrorFacts& facts);
