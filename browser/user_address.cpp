#include "browser/user_address.h"

#include <gio/gio.h>

#include <array>
#include <string_view>

namespace {

// Schemes written without "//" that the engine loads, and those it must never
// take for a host (the address gate refuses a script address, not a host).
constexpr std::array<std::string_view, 6> kOpaqueSchemes{"about",      "data",        "blob",
                                                         "javascript", "view-source", "mailto"};

bool WrittenAsPath(const std::string& text) {
  return text.starts_with('/') || text.starts_with("./") || text.starts_with("../");
}

std::string FileAddress(const std::string& path) {
  GFile* file = g_file_new_for_commandline_arg(path.c_str());
  gchar* uri = g_file_get_uri(file);
  std::string address = uri;
  g_free(uri);
  g_object_unref(file);
  return address;
}

}  // namespace

bool WrittenWithScheme(const std::string& text) {
  const char* scheme = g_uri_peek_scheme(text.c_str());  // interned
  if (scheme == nullptr) return false;
  const std::string_view name(scheme);
  // "localhost:8080" peeks as the scheme "localhost": only "//" makes it one.
  const bool hierarchical = text.compare(name.size(), 3, "://") == 0;
  bool opaque = false;
  for (std::string_view s : kOpaqueSchemes) opaque = opaque || s == name;
  return hierarchical || opaque;
}

std::string AddressFromUser(const std::string& text) {
  if (text.empty() || WrittenWithScheme(text)) return text;
  // On the command line a file that exists is what the shell completed.
  if (WrittenAsPath(text) || g_file_test(text.c_str(), G_FILE_TEST_EXISTS)) {
    return FileAddress(text);
  }
  return "http://" + text;
}

std::string AddressFromTyped(const std::string& text) {
  if (text.empty() || WrittenWithScheme(text) ||
      g_ascii_strncasecmp(text.c_str(), "file:", 5) == 0) {
    return text;
  }
  if (WrittenAsPath(text)) return FileAddress(text);
  return "http://" + text;
}
