#include "store/sqlite_db.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "store/store_trouble.h"

namespace {

constexpr int kBusyMilliseconds = 5000;
// On opening, a file another program holds is given up quickly and tried later.
constexpr int kOpeningBusyMilliseconds = 50;
constexpr char kSettings[] =
    "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;"
    "PRAGMA secure_delete=ON;";

// The log and shared-memory files SQLite makes take the database's mode.
bool MakeOwnersOnly(const std::string& path) {
  gchar* folder = g_path_get_dirname(path.c_str());
  const bool made = g_mkdir_with_parents(folder, 0700) == 0;
  g_free(folder);
  if (!made) return false;
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) return false;
  struct stat status;
  const bool ours = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                    status.st_uid == geteuid() &&
                    ((status.st_mode & 07777) == 0600 || fchmod(fd, 0600) == 0);
  close(fd);
  return ours;
}

}  // namespace

sqlite3* OpenPrivateDatabase(const std::string& path) {
  if (!MakeOwnersOnly(path)) return nullptr;
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK ||
      sqlite3_busy_timeout(db, kBusyMilliseconds) != SQLITE_OK || !Execute(db, kSettings)) {
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

namespace {

enum class Attempt { kOpened, kDamaged, kLocked, kFailed };

Attempt TryOpen(const std::string& path, const char* schema, sqlite3*& db, std::string& reason) {
  db = nullptr;
  errno = 0;
  if (!MakeOwnersOnly(path)) {
    reason = errno != 0 ? std::strerror(errno) : "not a file of this user";
    return Attempt::kFailed;
  }
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    reason = sqlite3_errmsg(db);
    sqlite3_close(db);
    db = nullptr;
    return Attempt::kFailed;
  }
  sqlite3_busy_timeout(db, kOpeningBusyMilliseconds);
  std::string sql = kSettings;
  if (schema != nullptr) sql += schema;
  char* error = nullptr;
  const int code = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  reason = error != nullptr ? error : sqlite3_errstr(code);
  sqlite3_free(error);
  if (code == SQLITE_OK) {
    sqlite3_busy_timeout(db, kBusyMilliseconds);
    return Attempt::kOpened;
  }
  sqlite3_close(db);
  db = nullptr;
  const int primary = code & 0xff;
  if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) return Attempt::kDamaged;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) return Attempt::kLocked;
  return Attempt::kFailed;
}

}  // namespace

OpenedDatabase OpenStoreDatabase(const std::string& what, const std::string& path,
                                 const char* schema) {
  sqlite3* db = nullptr;
  std::string reason;
  Attempt attempt = TryOpen(path, schema, db, reason);
  if (attempt == Attempt::kDamaged) {
    const std::string aside = MoveAside(path);
    if (aside.empty()) {
      ReportStoreTrouble({what, path, reason + "; 壊れたファイルを移せません"});
      return {nullptr, OpenProblem::kUnusable};
    }
    ReportStoreTrouble(
        {what, path, reason + "; 壊れたファイルを " + aside + " に移し、新しく始めました"});
    attempt = TryOpen(path, schema, db, reason);
  }
  if (attempt == Attempt::kOpened) return {db, OpenProblem::kNone};
  if (attempt == Attempt::kLocked) {
    ReportStoreTrouble({what, path, reason + "; 使えるようになるまで試し続けます"});
    return {nullptr, OpenProblem::kLocked};
  }
  ReportStoreTrouble({what, path, reason});
  return {nullptr, OpenProblem::kUnusable};
}

void ReportFailedWrite(const std::string& what, sqlite3* db) {
  ReportStoreTrouble({what, sqlite3_db_filename(db, "main"),
                      std::string(sqlite3_errmsg(db)) + "; 保存できませんでした"});
}

bool Execute(sqlite3* db, const char* sql) {
  char* error = nullptr;
  const bool done = sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK;
  if (!done) g_warning("SQLite: %s", error != nullptr ? error : "error");
  sqlite3_free(error);
  return done;
}

Statement::Statement(sqlite3* db, const char* sql) {
  if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) {
    g_warning("SQLite: %s", sqlite3_errmsg(db));
    statement_ = nullptr;
  }
}

Statement::~Statement() { sqlite3_finalize(statement_); }

Statement& Statement::Bind(int index, std::int64_t value) {
  sqlite3_bind_int64(statement_, index, value);
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                    SQLITE_TRANSIENT);
  return *this;
}

bool Statement::Step() { return statement_ != nullptr && sqlite3_step(statement_) == SQLITE_ROW; }

bool Statement::Run() {
  if (statement_ == nullptr) return false;
  int result;
  while ((result = sqlite3_step(statement_)) == SQLITE_ROW) {
  }
  return result == SQLITE_DONE;
}

void Statement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(statement_, column); }

std::string Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
  return text != nullptr ? text : "";
}
