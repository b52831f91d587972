#include "browser/cookie_times.h"

#include <glib.h>
#include <sqlite3.h>

namespace {

// Microseconds since the epoch, as SQLite tells the time.
#define TAVORIN_NOW "CAST((julianday('now') - 2440587.5) * 86400000000.0 AS INTEGER)"

constexpr char kNoteTimes[] =
    "CREATE TABLE IF NOT EXISTS tavorin_cookie_times (id INTEGER PRIMARY KEY, set_at INTEGER);"
    "CREATE TRIGGER IF NOT EXISTS tavorin_cookie_set AFTER INSERT ON moz_cookies BEGIN "
    "  INSERT OR REPLACE INTO tavorin_cookie_times VALUES (new.id, " TAVORIN_NOW
    "); END;"
    "CREATE TRIGGER IF NOT EXISTS tavorin_cookie_gone AFTER DELETE ON moz_cookies BEGIN "
    "  DELETE FROM tavorin_cookie_times WHERE id = old.id; END;"
    "INSERT INTO tavorin_cookie_times SELECT id, " TAVORIN_NOW
    " FROM moz_cookies WHERE id NOT IN (SELECT id FROM tavorin_cookie_times);";

constexpr char kSetSince[] =
    "SELECT name, value, host, path FROM moz_cookies JOIN tavorin_cookie_times USING (id) "
    "WHERE set_at >= ?";

struct Database {
  explicit Database(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      sqlite3_close(db);
      db = nullptr;
      return;
    }
    sqlite3_busy_timeout(db, 2000);  // the engine may be writing
  }
  ~Database() { sqlite3_close(db); }
  bool HasCookieTable() const {
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE name = 'moz_cookies'", -1, &query,
                       nullptr);
    const bool found = sqlite3_step(query) == SQLITE_ROW;
    sqlite3_finalize(query);
    return found;
  }
  sqlite3* db = nullptr;
};

std::string Column(sqlite3_stmt* query, int column) {
  const unsigned char* text = sqlite3_column_text(query, column);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

}  // namespace

void NoteCookieTimes(const std::string& cookie_file) {
  Database file(cookie_file);
  if (file.db == nullptr || !file.HasCookieTable()) return;
  char* error = nullptr;
  if (sqlite3_exec(file.db, kNoteTimes, nullptr, nullptr, &error) != SQLITE_OK) {
    g_printerr("tavorin: cookie times are not noted in %s: %s\n", cookie_file.c_str(), error);
    sqlite3_free(error);
  }
}

std::vector<CookieKey> CookiesSetSince(const std::string& cookie_file, std::int64_t since) {
  NoteCookieTimes(cookie_file);
  std::vector<CookieKey> found;
  Database file(cookie_file);
  if (file.db == nullptr || !file.HasCookieTable()) return found;
  sqlite3_stmt* query = nullptr;
  if (sqlite3_prepare_v2(file.db, kSetSince, -1, &query, nullptr) != SQLITE_OK) return found;
  sqlite3_bind_int64(query, 1, since);
  while (sqlite3_step(query) == SQLITE_ROW) {
    found.push_back({Column(query, 0), Column(query, 1), Column(query, 2), Column(query, 3)});
  }
  sqlite3_finalize(query);
  return found;
}
