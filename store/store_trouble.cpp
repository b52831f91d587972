#include "store/store_trouble.h"

#include <glib.h>
#include <glib/gstdio.h>

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
  g_printerr("tavorin: %s (%s): %s\n", trouble.what.c_str(), trouble.file.c_str(),
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
  const std::string aside = file + ".corrupt-" + stamp;
  g_free(stamp);
  g_date_time_unref(now);
  if (g_rename(file.c_str(), aside.c_str()) != 0) return "";
  for (const char* companion : kCompanions) {
    if (*companion != '\0') g_rename((file + companion).c_str(), (aside + companion).c_str());
  }
  return aside;
}
