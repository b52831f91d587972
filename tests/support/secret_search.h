// Looks for a secret in files as a program may have written it: plain, in
// UTF-16, percent-encoded or in base64 (every run of it in a file decoded).
#pragma once

#include <glib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace testsupport {

inline bool HoldsPlainly(const std::string& bytes, const std::string& secret) {
  std::string le, be;  // UTF-16 of an ASCII secret
  for (char c : secret) le += {c, '\0'}, be += {'\0', c};
  return bytes.find(secret) != bytes.npos || bytes.find(le) != bytes.npos ||
         bytes.find(be) != bytes.npos;
}

inline std::string PercentDecoded(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const bool escape =
        s[i] == '%' && i + 2 < s.size() && g_ascii_isxdigit(s[i + 1]) && g_ascii_isxdigit(s[i + 2]);
    out +=
        escape ? char(g_ascii_xdigit_value(s[i + 1]) * 16 + g_ascii_xdigit_value(s[i + 2])) : s[i];
    if (escape) i += 2;
  }
  return out;
}

// Each run of a base64 alphabet, decoded from each of its first four characters.
inline bool HoldsInBase64(const std::string& bytes, const std::string& secret) {
  std::string run;
  for (std::size_t i = 0; i <= bytes.size(); ++i) {
    const char c = i < bytes.size() ? bytes[i] : '\0';
    if (g_ascii_isalnum(c) || c == '+' || c == '/' || c == '-' || c == '_') {
      run += c == '-' ? '+' : c == '_' ? '/' : c;
      continue;
    }
    for (std::size_t shift = 0; run.size() >= secret.size() * 4 / 3 && shift < 4; ++shift) {
      gsize n = 0;
      guchar* decoded = g_base64_decode(run.c_str() + shift, &n);
      const bool found = HoldsPlainly(std::string(reinterpret_cast<char*>(decoded), n), secret);
      g_free(decoded);
      if (found) return true;
    }
    run.clear();
  }
  return false;
}

// The files under `root` changed since `since` that hold `secret` in any form.
inline std::vector<std::string> FilesHolding(const std::string& root, const std::string& secret,
                                             std::filesystem::file_time_type since = {}) {
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  std::error_code error;
  for (fs::recursive_directory_iterator
           it(root, fs::directory_options::skip_permission_denied, error),
       end;
       it != end; it.increment(error)) {
    if (!it->is_regular_file(error) || it->last_write_time(error) < since) continue;
    const std::string bytes = ReadFile(it->path());
    if (HoldsPlainly(bytes, secret) || HoldsPlainly(PercentDecoded(bytes), secret) ||
        HoldsInBase64(bytes, secret)) {
      found.push_back(it->path());
    }
  }
  return found;
}

// The first file under `folders` that holds `secret` in any form; empty when none does.
inline std::string FileHoldingSecret(const std::vector<std::string>& folders,
                                     const std::string& secret) {
  for (const std::string& folder : folders) {
    const std::vector<std::string> found = FilesHolding(folder, secret);
    if (!found.empty()) return found.front();
  }
  return "";
}

}  // namespace testsupport
