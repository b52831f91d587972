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
