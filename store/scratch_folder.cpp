#include "store/scratch_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

#include <cerrno>

ScratchFolder::ScratchFolder() {
  // mkdtemp underneath: a new folder only its owner may enter.
  gchar* made = g_dir_make_tmp(kPattern, nullptr);
  if (made != nullptr) path_ = made;
  g_free(made);
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;
  if (DIR* folder = opendir(path_.c_str())) {
    const int fd = dirfd(folder);
    // Only files are made here (the copy, its log and SQLite's own); unlinkat
    // removes a link, never what it points to.
    while (const dirent* entry = readdir(folder)) {
      const std::string name = entry->d_name;
      if (name != "." && name != ".." && unlinkat(fd, entry->d_name, 0) != 0 && errno == EISDIR) {
        unlinkat(fd, entry->d_name, AT_REMOVEDIR);
      }
    }
    closedir(folder);
  }
  rmdir(path_.c_str());
}

bool WritePrivateFile(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  return close(fd) == 0 && done == bytes.size();
}
