// A private home and XDG folders for the program under test, so that nothing
// a test stores lands in the user's own profile.
#pragma once

#include <glib.h>

#include <filesystem>
#include <string>

namespace testsupport {

// Makes a fresh folder with home, data, cache, config, runtime and tmp
// folders inside and returns it.
inline std::string MakePrivateRoot() {
  gchar* made = g_dir_make_tmp("tavorin-test-XXXXXX", nullptr);
  std::string root = made != nullptr ? made : "";
  g_free(made);
  for (const char* name : {"home", "data", "cache", "config", "runtime", "tmp"}) {
    std::filesystem::create_directories(root + "/" + name);
  }
  std::filesystem::permissions(root + "/runtime", std::filesystem::perms::owner_all);
  return root;
}

// Points this process's XDG data, cache and config folders into a fresh
// private root, before anything has asked for them; returns the root.
inline std::string PrivateFolders() {
  const std::string root = MakePrivateRoot();
  g_setenv("XDG_DATA_HOME", (root + "/data").c_str(), TRUE);
  g_setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), TRUE);
  g_setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), TRUE);
  return root;
}

inline void RemoveTree(const std::string& root) {
  std::error_code ignored;
  if (!root.empty()) std::filesystem::remove_all(root, ignored);
}

}  // namespace testsupport
