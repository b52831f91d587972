#include "browser/profile.h"

#include <fcntl.h>
#include <ftw.h>
#include <gio/gio.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kFolderName[] = "tavorin";
constexpr char kCookieFileName[] = "cookies.sqlite";
constexpr mode_t kPermissionBits = 07777;

std::string Join(const std::string& folder, const char* name) {
  gchar* path = g_build_filename(folder.c_str(), name, nullptr);
  std::string joined = path;
  g_free(path);
  return joined;
}

// Folders and files of earlier versions, or made by hand, may be open to
// others; only the owner may narrow them.
bool Narrow(int fd, mode_t wanted) {
  struct stat status;
  if (fstat(fd, &status) != 0 || status.st_uid != geteuid()) return false;
  if ((status.st_mode & kPermissionBits) == wanted) return true;
  return fchmod(fd, wanted) == 0;
}

int NarrowEntry(const char* path, const struct stat* status, int kind, struct FTW*) {
  const bool open_to_others = (status->st_mode & 077) != 0;
  if (!open_to_others || status->st_uid != geteuid()) return 0;
  if (kind == FTW_D) chmod(path, 0700);
  if (kind == FTW_F && S_ISREG(status->st_mode)) chmod(path, 0600);
  return 0;
}

void Narrowed(GFileMonitor*, GFile* file, GFile*, GFileMonitorEvent event, gpointer) {
  if (event != G_FILE_MONITOR_EVENT_CREATED && event != G_FILE_MONITOR_EVENT_CHANGES_DONE_HINT &&
      event != G_FILE_MONITOR_EVENT_ATTRIBUTE_CHANGED) {
    return;
  }
  gchar* path = g_file_get_path(file);
  struct stat status;
  if (path != nullptr && lstat(path, &status) == 0) NarrowEntry(path, &status, FTW_F, nullptr);
  g_free(path);
}

}  // namespace

std::string ProfileDataFolder() { return Join(g_get_user_data_dir(), kFolderName); }

std::string ProfileCacheFolder() { return Join(g_get_user_cache_dir(), kFolderName); }

std::string ProfileDataFile(const char* name) { return Join(ProfileDataFolder(), name); }

std::string ProfileCookieFile() { return ProfileDataFile(kCookieFileName); }

bool MakePrivateFolder(const std::string& path) {
  if (g_mkdir_with_parents(path.c_str(), 0700) != 0) return false;
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool narrowed = Narrow(fd, 0700);
  close(fd);
  return narrowed;
}

bool MakePrivateFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) return false;
  struct stat status;
  const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  const bool narrowed = regular && Narrow(fd, 0600);
  close(fd);
  return narrowed;
}

bool KeepFolderPrivate(const std::string& folder) {
  if (!MakePrivateFolder(folder)) return false;
  GFile* watched = g_file_new_for_path(folder.c_str());
  // Kept for the whole run, like the engine's own files.
  GFileMonitor* monitor =
      g_file_monitor_directory(watched, G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr);
  g_object_unref(watched);
  if (monitor == nullptr) return false;
  g_signal_connect(monitor, "changed", G_CALLBACK(Narrowed), nullptr);
  MakePrivateTree(folder);  // what was made before the watch began
  return true;
}

void MakePrivateTree(const std::string& folder) {
  // Links are not followed: what they point at is not the profile's.
  nftw(folder.c_str(), NarrowEntry, 16, FTW_PHYS);
}
