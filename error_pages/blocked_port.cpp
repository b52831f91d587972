#include "error_pages/blocked_port.h"

#include <glib.h>

#include <algorithm>
#include <array>

namespace {

constexpr std::array kBlocked{
    0,    1,    7,    9,    11,   13,   15,   17,   19,   20,   21,   22,   23,    25,
    37,   42,   43,   53,   69,   77,   79,   87,   95,   101,  102,  103,  104,   109,
    110,  111,  113,  115,  117,  119,  123,  135,  137,  139,  143,  161,  179,   389,
    427,  465,  512,  513,  514,  515,  526,  530,  531,  532,  540,  548,  554,   556,
    563,  587,  601,  636,  989,  990,  993,  995,  1719, 1720, 1723, 2049, 3659,  4045,
    4190, 5060, 5061, 6000, 6566, 6665, 6666, 6667, 6668, 6669, 6679, 6697, 10080, 65535};

}  // namespace

std::optional<int> BlockedPort(const std::string& uri) {
  GUri* parsed = g_uri_parse(uri.c_str(), G_URI_FLAGS_NONE, nullptr);
  if (parsed == nullptr) return std::nullopt;
  const char* scheme = g_uri_get_scheme(parsed);
  const int port = g_uri_get_port(parsed);
  const bool web =
      g_ascii_strcasecmp(scheme, "http") == 0 || g_ascii_strcasecmp(scheme, "https") == 0;
  g_uri_unref(parsed);
  if (!web || port < 0) return std::nullopt;
  if (!std::binary_search(kBlocked.begin(), kBlocked.end(), port)) return std::nullopt;
  return port;
}
