// What the error page names, and the ports the engine never opens.
#include "error_pages/error_kind.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <libsoup/soup.h>

#include "error_pages/blocked_port.h"
#include "error_pages/error_page_html.h"

namespace {

struct KindRow {
  GQuark domain;
  int code;
  ErrorKind kind;
};

TEST(ErrorKind, EngineErrorsAreToldApart) {
  const KindRow rows[] = {
      {G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED, ErrorKind::kRefused},
      {G_IO_ERROR, G_IO_ERROR_CONNECTION_CLOSED, ErrorKind::kReset},
      {G_IO_ERROR, G_IO_ERROR_TIMED_OUT, ErrorKind::kTimeout},
      {G_IO_ERROR, G_IO_ERROR_NETWORK_UNREACHABLE, ErrorKind::kNoNetwork},
      {G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND, ErrorKind::kHostNotFound},
      {SOUP_SESSION_ERROR, SOUP_SESSION_ERROR_TOO_MANY_REDIRECTS, ErrorKind::kTooManyRedirects},
      {G_IO_ERROR, G_IO_ERROR_NOT_FOUND, ErrorKind::kOther},
  };
  for (const KindRow& row : rows) {
    GError* error = g_error_new_literal(row.domain, row.code, "x");
    EXPECT_EQ(KindOf(error), row.kind) << g_quark_to_string(row.domain) << " " << row.code;
    g_error_free(error);
  }
}

TEST(ErrorKind, BlockedPortsAreThoseOfOtherServicesOnWebAddresses) {
  const std::pair<const char*, std::optional<int>> rows[] = {
      {"http://127.0.0.1:1/", 1},
      {"https://example.com:25/a", 25},
      {"http://[::1]:6667/", 6667},
      {"http://127.0.0.1:8080/", std::nullopt},
      {"http://example.com/", std::nullopt},
      {"file:///tmp/x", std::nullopt},
      {"ftp://example.com:21/", std::nullopt},
  };
  for (const auto& [uri, port] : rows) EXPECT_EQ(BlockedPort(uri), port) << uri;
}

TEST(ErrorPageHtml, WhatComesFromTheAddressOrTheEngineIsEscaped) {
  const std::string html = ErrorPageHtml(
      {ErrorKind::kOther, "http://a.invalid/<script>alert(1)</script>", "<img src=x onerror=1>"});
  EXPECT_EQ(html.find("<script>alert"), std::string::npos);
  EXPECT_EQ(html.find("<img"), std::string::npos);
  EXPECT_NE(html.find("&lt;img src=x onerror=1&gt;"), std::string::npos);
}

}  // namespace
