// Looks for a secret in files as a program might have written it: plain, in
// UTF-16, percent-encoded or in base64. Encoded runs found in a file are
// decoded and looked through again.
#pragma once

#include <glib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace testsupport {

inline bool HoldsPlainly(const std::string& bytes, const std::string& secret) {
  if (bytes.find(secret) != std::string::npos) return true;
  std::string le, be;
  for (char c : secret) {  // the secret is ASCII
    le += {c, '\0'};
    be += {'\0', c};
  }
  return bytes.find(le) != std::string::npos || bytes.find(be) != std::string::npos;
}

// Runs of the base64 alphabets long enough to hold `size` bytes, in the
// standard alphabet.
inline std::vector<std::string> Base64Runs(const std::string& bytes, std::size_t size) {
  std::vector<std::string> runs;
  std::string run;
  for (std::size_t i = 0; i <= bytes.size(); ++i) {
    const char c = i < bytes.size() ? bytes[i] : '\0';
    if (g_ascii_isalnum(c) || c == '+' || c == '/' || c == '-' || c == '_') {
      run += c == '-' ? '+' : c == '_' ? '/' : c;
      continue;
    }
    if (run.size() >= size * 4 / 3) runs.push_back(run);
    run.clear();
  }
  return runs;
}

inline bool HoldsSecret(const std::string& bytes, const std::string& secret) {
  if (HoldsPlainly(bytes, secret)) return true;
  gchar* unescaped = g_uri_unescape_string(bytes.c_str(), nullptr);
  const bool percent = unescaped != nullptr && HoldsPlainly(unescaped, secret);
  g_free(unescaped);
  if (percent) return true;
  for (const std::string& run : Base64Runs(bytes, secret.size())) {
    for (std::size_t shift = 0; shift < 4; ++shift) {  // the run may start mid-group
      gsize length = 0;
      guchar* decoded = g_base64_decode(run.c_str() + shift, &length);
      const bool found =
          HoldsPlainly(std::string(reinterpret_cast<char*>(decoded), length), secret);
      g_free(decoded);
      if (found) return true;
    }
  }
  return false;
}

// The files under `root` that hold `secret`, among those changed since `since`.
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
    if (HoldsSecret(ReadFile(it->path()), secret)) found.push_back(it->path());
  }
  return found;
}

}  // namespace testsupport
