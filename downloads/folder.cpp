#include "downloads/folder.h"

#include <glib.h>

namespace {

std::string& SetFolder() {
  static std::string folder;
  return folder;
}

std::string InHome(const std::string& path) { return std::string(g_get_home_dir()) + "/" + path; }

std::string DesktopFolder() {
  const gchar* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  if (folder == nullptr || std::string(folder).empty()) return InHome("Downloads");
  // Browsers that save to the home folder itself bury the user's own files.
  gchar* canonical = g_canonicalize_filename(folder, nullptr);
  gchar* home = g_canonicalize_filename(g_get_home_dir(), nullptr);
  const bool is_home = g_strcmp0(canonical, home) == 0;
  std::string result = is_home ? InHome("Downloads") : canonical;
  g_free(canonical);
  g_free(home);
  return result;
}

}  // namespace

void SetDownloadFolder(std::string folder) {
  if (folder == "~") folder = g_get_home_dir();
  if (folder.starts_with("~/")) folder = InHome(folder.substr(2));
  if (!folder.empty() && !g_path_is_absolute(folder.c_str())) folder = InHome(folder);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  SetFolder() = std::move(folder);
}

std::string DownloadFolder() { return SetFolder().empty() ? DesktopFolder() : SetFolder(); }
