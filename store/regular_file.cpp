#include "store/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

RegularFileRead Refused(FileRefusal refusal, std::string reason) {
  RegularFileRead read;
  read.refusal = refusal;
  read.reason = std::move(reason);
  return read;
}

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

RegularFileRead ReadRegularFile(const std::string& path, std::size_t largest) {
  // Not even opened unless regular: opening some devices has effects of its own.
  struct stat before {};
  if (stat(path.c_str(), &before) != 0) {
    if (errno == ENOENT) return Refused(FileRefusal::kMissing, "ファイルがありません");
    return Refused(FileRefusal::kUnreadable, "ファイルを開けません");
  }
  if (!S_ISREG(before.st_mode)) {
    return Refused(FileRefusal::kNotRegular, "通常のファイルではないため読みませんでした");
  }
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  Descriptor file{open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
  if (file.fd < 0) {
    if (errno == ENOENT) return Refused(FileRefusal::kMissing, "ファイルがありません");
    return Refused(FileRefusal::kUnreadable, "ファイルを開けません");
  }
  struct stat info {};
  if (fstat(file.fd, &info) != 0) return Refused(FileRefusal::kUnreadable, "ファイルを開けません");
  // Replaced between the look and the open: judged again on what was opened.
  if (!S_ISREG(info.st_mode)) {
    return Refused(FileRefusal::kNotRegular, "通常のファイルではないため読みませんでした");
  }
  if (static_cast<unsigned long long>(info.st_size) > largest) {
    return Refused(FileRefusal::kTooLarge, "ファイルが大きすぎるため読みませんでした");
  }
  std::string contents(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t done = 0;
  while (done < contents.size()) {
    ssize_t got = read(file.fd, contents.data() + done, contents.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return Refused(FileRefusal::kUnreadable, "ファイルを最後まで読めません");
    done += static_cast<std::size_t>(got);
  }
  // A file that grew while read is taken as it was when measured, unless it
  // grew past the limit: then it is refused as too large.
  char more = 0;
  ssize_t extra = read(file.fd, &more, 1);
  if (extra > 0 && contents.size() >= largest) {
    return Refused(FileRefusal::kTooLarge, "ファイルが大きすぎるため読みませんでした");
  }
  RegularFileRead read_file;
  read_file.contents = std::move(contents);
  return read_file;
}

bool RegularOrMissing(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (S_ISLNK(info.st_mode)) {
    if (stat(path.c_str(), &info) != 0) return errno == ENOENT;
  }
  return S_ISREG(info.st_mode);
}
