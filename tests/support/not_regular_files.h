// Files that are not what a program expects in the place of its own: a FIFO,
// a link to an endless device; and a child process to meet them in, with
// limits, so that a hang or an endless read ends the child, not the test.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>

namespace testsupport {

enum class NotRegular { kFifo, kEndlessDevice };

// Puts `kind` at `path` in place of whatever was there.
inline bool PlaceNotRegular(const std::string& path, NotRegular kind) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  if (kind == NotRegular::kFifo) return mkfifo(path.c_str(), 0600) == 0;
  return symlink("/dev/zero", path.c_str()) == 0;
}

// Runs `body` in a child process that may use `seconds` of time and
// `memory` bytes of address space; true when it returned true in time.
inline bool InLimitedChild(const std::function<bool()>& body, unsigned seconds = 10,
                           rlim_t memory = rlim_t{1} << 30) {
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
#ifndef __SANITIZE_ADDRESS__  // whose shadow takes terabytes of address space
    const rlimit limit{memory, memory};
    setrlimit(RLIMIT_AS, &limit);
#else
    (void)memory;
#endif
    alarm(seconds);  // its default ends the child
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  pid_t ended = -1;
  while ((ended = waitpid(child, &status, 0)) < 0 && errno == EINTR) {
  }
  return ended == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace testsupport
