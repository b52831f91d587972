// Looking for a secret in every file under some folders, however it was
// written: as it is, percent-encoded as a form sends it, as UTF-16, and
// inside any base64 or percent-encoded run a file holds.
#pragma once

#include <glib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace testsupport {

// The forms a secret (ASCII) takes when a program writes it.
inline std::vector<std::string> SecretForms(const std::string& secret) {
  gchar* escaped = g_uri_escape_string(secret.c_str(), nullptr, FALSE);
  gchar* base64 = g_base64_encode(reinterpret_cast<const guchar*>(secret.data()), secret.size());
  std::vector<std::string> forms{secret, escaped, base64, "", ""};  // then UTF-16 LE and BE
  for (char c : secret) forms[3] += std::string{c, '\0'}, forms[4] += std::string{'\0', c};
  g_free(escaped);
  g_free(base64);
  return forms;
}

// `bytes` and what its encoded runs decode to.
inline std::vector<std::string> Decodings(const std::string& bytes) {
  std::vector<std::string> views{bytes};
  gchar* unescaped = g_uri_unescape_string(bytes.c_str(), nullptr);  // up to a NUL
  if (unescaped != nullptr) views.emplace_back(unescaped);
  g_free(unescaped);
  const auto in_base64 = [](char c) { return g_ascii_isalnum(c) || c == '+' || c == '/'; };
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t end = at;
    while (end < bytes.size() && in_base64(bytes[end])) ++end;
    if (end - at >= 8) {
      gsize length = 0;
      guchar* decoded = g_base64_decode(bytes.substr(at, end - at).c_str(), &length);
      views.emplace_back(reinterpret_cast<const char*>(decoded), length);
      g_free(decoded);
    }
    at = end + 1;
  }
  return views;
}

// The first file under `folders` that holds `secret` in any form; empty when none does.
inline std::string FileHoldingSecret(const std::vector<std::string>& folders,
                                     const std::string& secret) {
  const std::vector<std::string> forms = SecretForms(secret);
  for (const std::string& folder : folders) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored)) {
      if (!entry.is_regular_file(ignored)) continue;
      for (const std::string& view : Decodings(ReadFile(entry.path()))) {
        for (const std::string& form : forms) {
          if (view.find(form) != std::string::npos) return entry.path().string();
        }
      }
    }
  }
  return "";
}

}  // namespace testsupport
