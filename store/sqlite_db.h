// A thin layer over SQLite for the files the program keeps: opening one only
// its owner may read, in write-ahead-log mode, and statements that finalize
// themselves.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

// Opens (creating when missing, mode 0600, folder 0700) the database at
// `path` with a write-ahead log, normal syncing (a kill -9 or power cut
// loses at most the last transactions, never the file), foreign keys,
// secure deletion and a busy timeout; nullptr when it cannot.
sqlite3* OpenPrivateDatabase(const std::string& path);

// Why a store's database could not be opened.
enum class OpenProblem { kNone, kLocked, kUnusable };
struct OpenedDatabase {
  sqlite3* db = nullptr;
  OpenProblem problem = OpenProblem::kNone;
};
// OpenPrivateDatabase() for the store the user knows as `what`, with `schema`
// (may be null) run: a damaged file is moved aside (MoveAside()) and a new one
// started; a file another program holds is kLocked, to be tried again later;
// each trouble is reported (store/store_trouble.h). Never waits long.
OpenedDatabase OpenStoreDatabase(const std::string& what, const std::string& path,
                                 const char* schema);
// Says that a write to the store failed, with SQLite's reason.
void ReportFailedWrite(const std::string& what, sqlite3* db);
// Runs `sql`, one or more statements without parameters; false on error.
bool Execute(sqlite3* db, const char* sql);

class Statement {
 public:
  Statement(sqlite3* db, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Parameters count from 1 and stay bound until the next Reset().
  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, std::string_view text);
  // Steps once: true while there is a row to read.
  bool Step();
  // Steps to the end; false on error.
  bool Run();
  void Reset();

  std::int64_t Int(int column) const;
  std::string Text(int column) const;

 private:
  sqlite3_stmt* statement_ = nullptr;
};
