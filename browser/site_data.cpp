#include "browser/site_data.h"

#include <sqlite3.h>
#include <webkit2/webkit2.h>

#include <memory>

#include "browser/profile.h"
#include "browser/web_context.h"

namespace {

constexpr int kCacheTypes = WEBKIT_WEBSITE_DATA_MEMORY_CACHE | WEBKIT_WEBSITE_DATA_DISK_CACHE;
// Everything else the engine keeps for a site.
constexpr int kSiteTypes = WEBKIT_WEBSITE_DATA_ALL & ~kCacheTypes;

using Done = std::function<void(bool)>;

WebKitWebsiteDataTypes TypesOf(SiteDataKinds kinds) {
  int types = 0;
  if (kinds.cookies_and_site_data) types |= kSiteTypes;
  if (kinds.cache) types |= kCacheTypes;
  return static_cast<WebKitWebsiteDataTypes>(types);
}

// The cookie store deletes rows but keeps their bytes in free pages;
// rewriting the file leaves nothing of them. The engine's own connection
// sees the new file as any second connection's change.
void CompactCookieFile() {
  sqlite3* db = nullptr;
  const std::string path = ProfileCookieFile();
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 2000);
    if (sqlite3_exec(db, "VACUUM", nullptr, nullptr, nullptr) != SQLITE_OK) {
      g_printerr("tavorin: %s could not be compacted: %s\n", path.c_str(), sqlite3_errmsg(db));
    }
  }
  sqlite3_close(db);
}

struct Request {
  SiteDataKinds kinds;
  Done done;
};

void Cleared(GObject* manager, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Request> request(static_cast<Request*>(data));
  GError* error = nullptr;
  const bool ok = webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(manager),
                                                           result, &error);
  if (!ok) {
    g_printerr("tavorin: site data could not be cleared: %s\n", error->message);
    g_error_free(error);
  }
  if (request->kinds.cookies_and_site_data) CompactCookieFile();
  request->done(ok);
}

// 0 (everything) stays 0; a start in the future clears nothing older than now.
GTimeSpan AgeOf(std::int64_t since) {
  if (since <= 0) return 0;
  const GTimeSpan age = g_get_real_time() - since;
  return age > 0 ? age : 1;
}

}  // namespace

void ClearSiteData(SiteDataKinds kinds, std::int64_t since, Done done) {
  const WebKitWebsiteDataTypes types = TypesOf(kinds);
  if (types == 0) {
    g_idle_add_once(
        [](gpointer d) { std::unique_ptr<Done>(static_cast<Done*>(d))->operator()(true); },
        new Done(std::move(done)));
    return;
  }
  WebKitWebsiteDataManager* manager = webkit_web_context_get_website_data_manager(PageContext());
  webkit_website_data_manager_clear(manager, types, AgeOf(since), nullptr, Cleared,
                                    new Request{kinds, std::move(done)});
}
