#include "downloads/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "downloads/name.h"

namespace {

// Numbered names tried before giving up.
constexpr unsigned kMaxNumber = 9999;
constexpr int kReserveTries = 100;

std::string Reason(int error) { return std::strerror(error); }

// A name nobody else picks: hidden, and marked as ours.
std::string TemporaryName() {
  static std::mt19937_64 random{std::random_device{}()};
  char name[64];
  std::snprintf(name, sizeof name, ".tavorin-%016llx.part",
                static_cast<unsigned long long>(random()));
  return name;
}

bool CreateNew(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// Renames `from` to `to` unless `to` exists: 0, or the error. File systems
// without that kind of rename get `to` reserved first, then replaced.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
  if (!CreateNew(to)) return errno;
  if (rename(from.c_str(), to.c_str()) == 0) return 0;
  const int error = errno;
  unlink(to.c_str());
  return error;
}

void Remove(const std::string& path) {
  if (!path.empty()) unlink(path.c_str());
}

}  // namespace

bool DownloadFile::Reserve(const std::string& folder) {
  folder_ = folder;
  for (int i = 0; i < kReserveTries; ++i) {
    const std::string path = folder + "/" + TemporaryName();
    struct stat info;
    // The engine replaces whatever has its partial data's name.
    if (lstat((path + kEngineSuffix).c_str(), &info) == 0) continue;
    if (CreateNew(path)) {
      temporary_ = path;
      return true;
    }
    if (errno != EEXIST) break;
  }
  error_ = Reason(errno);
  return false;
}

std::string DownloadFile::Commit(const std::string& name) {
  RemoveEngineFiles();
  for (unsigned n = 0; n <= kMaxNumber; ++n) {
    const std::string path = folder_ + "/" + download_name::Numbered(name, n);
    const int error = RenameNoReplace(temporary_, path);
    if (error == 0) {
      temporary_.clear();
      return path;
    }
    if (error != EEXIST) {
      error_ = Reason(error);
      return "";
    }
  }
  error_ = Reason(EEXIST);
  return "";
}

void DownloadFile::Discard() {
  if (temporary_.empty()) return;
  RemoveEngineFiles();
  Remove(temporary_);
  temporary_.clear();
}

void DownloadFile::RemoveEngineFiles() {
  if (temporary_.empty()) return;
  Remove(temporary_ + kEngineSuffix);
  Remove(temporary_ + kEngineSuffix + "~");  // its backup, should it have replaced one
}

bool MakeFolder(const std::string& folder, std::string* error) {
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = Reason(errno);
      return false;
    }
    if (slash == std::string::npos) break;
  }
  struct stat info;
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    *error = Reason(ENOTDIR);
    return false;
  }
  return true;
}
