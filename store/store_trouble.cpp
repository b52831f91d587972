#include "store/store_trouble.h"

#include <fcntl.h>
#include <glib.h>
#include <stdio.h>  // renameat2
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct Troubles {
  std::mutex mutex;
  std::set<std::pair<std::string, std::string>> said;  // file and reason
  std::vector<StoreTrouble> all;
  std::function<void(const StoreTrouble&)> listener;
  std::thread::id listening;  // the thread that set the listener: the main loop's
};

Troubles& State() {
  static Troubles troubles;
  return troubles;
}

gboolean Tell(gpointer data) {
  auto* trouble = static_cast<StoreTrouble*>(data);
  if (State().listener) State().listener(*trouble);
  delete trouble;
  return G_SOURCE_REMOVE;
}

// The SQLite files that go with a database.
constexpr const char* kCompanions[] = {"", "-wal", "-shm", "-journal"};

constexpr int kMostAsideInASecond = 1000;

// rename() that fails with EEXIST rather than replace `to`.
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without it: a hard link is never made over a name.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  return unlink(from.c_str()) == 0;
}

// Whether no log file of an earlier one is left under `aside`: a log beside
// the new database that is not its own would be read into it.
bool CompanionsFree(const std::string& aside) {
  struct stat info {};
  for (const char* companion : kCompanions) {
    if (*companion != '\0' && lstat((aside + companion).c_str(), &info) == 0) return false;
  }
  return true;
}

}  // namespace

void ReportStoreTrouble(const StoreTrouble& trouble) {
  Troubles& state = State();
  bool on_main = false;
  {
    std::lock_guard lock(state.mutex);
    if (!state.said.emplace(trouble.file, trouble.reason).second) return;
    state.all.push_back(trouble);
    on_main = std::this_thread::get_id() == state.listening;
  }
  // As the program's other lines: UTF-8 as it is, whatever the locale is yet.
  std::fprintf(stderr, "tavorin: %s (%s): %s\n", trouble.what.c_str(), trouble.file.c_str(),
               trouble.reason.c_str());
  // Another thread (the history's writer) never calls into the window itself.
  if (on_main) {
    Tell(new StoreTrouble(trouble));
  } else {
    g_idle_add(Tell, new StoreTrouble(trouble));
  }
}

void OnStoreTrouble(std::function<void(const StoreTrouble&)> listener) {
  std::vector<StoreTrouble> earlier;
  {
    std::lock_guard lock(State().mutex);
    earlier = State().all;
    State().listening = std::this_thread::get_id();
  }
  State().listener = std::move(listener);
  if (!State().listener) return;
  for (const StoreTrouble& trouble : earlier) State().listener(trouble);
}

std::string MoveAside(const std::string& file) {
  GDateTime* now = g_date_time_new_now_local();
  gchar* stamp = g_date_time_format(now, "%Y%m%d-%H%M%S");
  const std::string base = file + ".corrupt-" + stamp;
  g_free(stamp);
  g_date_time_unref(now);
  // Two in the same second get names of their own: an earlier one is kept.
  for (int n = 1; n <= kMostAsideInASecond; ++n) {
    const std::string aside = n == 1 ? base : base + "-" + std::to_string(n);
    if (!CompanionsFree(aside)) continue;
    if (!RenameWithoutReplacing(file, aside)) {
      if (errno == EEXIST) continue;
      return "";
    }
    for (const char* companion : kCompanions) {
      if (*companion != '\0') RenameWithoutReplacing(file + companion, aside + companion);
    }
    return aside;
  }
  return "";
}
