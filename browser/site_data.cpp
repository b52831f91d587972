#include "browser/site_data.h"

#include <sqlite3.h>
#include <webkit2/webkit2.h>

#include <memory>

#include "browser/cookie_times.h"
#include "browser/profile.h"
#include "browser/web_context.h"

namespace {

constexpr int kCacheTypes = WEBKIT_WEBSITE_DATA_MEMORY_CACHE | WEBKIT_WEBSITE_DATA_DISK_CACHE;
// Everything else the engine keeps for a site.
constexpr int kSiteTypes = WEBKIT_WEBSITE_DATA_ALL & ~kCacheTypes;

using Done = std::function<void(bool)>;

// One clearing under way: the engine's steps, then the cookie file's.
struct Clearing {
  SiteDataKinds kinds;
  std::int64_t since;
  Done done;
  int pending = 0;
  bool ok = true;
};

WebKitWebsiteDataManager* Manager() {
  return webkit_web_context_get_website_data_manager(PageContext());
}

// The cookie store deletes rows but may keep their bytes in free pages;
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

void StepDone(Clearing* clearing, bool ok) {
  clearing->ok = clearing->ok && ok;
  if (--clearing->pending > 0) return;
  std::unique_ptr<Clearing> finished(clearing);
  if (finished->kinds.cookies_and_site_data) CompactCookieFile();
  finished->done(finished->ok);
}

void Cleared(GObject* manager, GAsyncResult* result, gpointer data) {
  GError* error = nullptr;
  const bool ok = webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(manager),
                                                           result, &error);
  if (!ok) {
    g_printerr("tavorin: site data could not be cleared: %s\n", error->message);
    g_error_free(error);
  }
  StepDone(static_cast<Clearing*>(data), ok);
}

void CookieDeleted(GObject* manager, GAsyncResult* result, gpointer data) {
  const bool ok =
      webkit_cookie_manager_delete_cookie_finish(WEBKIT_COOKIE_MANAGER(manager), result, nullptr);
  StepDone(static_cast<Clearing*>(data), ok);
}

void Clear(Clearing* clearing, int types, GTimeSpan age) {
  ++clearing->pending;
  webkit_website_data_manager_clear(Manager(), static_cast<WebKitWebsiteDataTypes>(types), age,
                                    nullptr, Cleared, clearing);
}

// The engine clears cookies of a period not at all: those set within it go
// one by one.
void DeleteCookiesSince(Clearing* clearing) {
  WebKitCookieManager* cookies = webkit_website_data_manager_get_cookie_manager(Manager());
  for (const CookieKey& key : CookiesSetSince(ProfileCookieFile(), clearing->since)) {
    SoupCookie* cookie = soup_cookie_new(key.name.c_str(), key.value.c_str(), key.host.c_str(),
                                         key.path.c_str(), -1);
    ++clearing->pending;
    webkit_cookie_manager_delete_cookie(cookies, cookie, nullptr, CookieDeleted, clearing);
    soup_cookie_free(cookie);
  }
}

// 0 (everything) stays 0; a start in the future clears nothing older than now.
GTimeSpan AgeOf(std::int64_t since) {
  if (since <= 0) return 0;
  const GTimeSpan age = g_get_real_time() - since;
  return age > 0 ? age : 1;
}

}  // namespace

void ClearSiteData(SiteDataKinds kinds, std::int64_t since, Done done) {
  auto* clearing = new Clearing{kinds, since, std::move(done)};
  // Held until every step has begun, so that none finishes it early.
  ++clearing->pending;
  const GTimeSpan age = AgeOf(since);
  // The disk cache ignores a period: it is cleared whole, which costs only
  // loading pages anew.
  if (kinds.cache) Clear(clearing, kCacheTypes, 0);
  if (kinds.cookies_and_site_data && age == 0) Clear(clearing, kSiteTypes, 0);
  if (kinds.cookies_and_site_data && age != 0) {
    Clear(clearing, kSiteTypes & ~WEBKIT_WEBSITE_DATA_COOKIES, age);
    DeleteCookiesSince(clearing);
  }
  g_idle_add_once([](gpointer data) { StepDone(static_cast<Clearing*>(data), true); }, clearing);
}
