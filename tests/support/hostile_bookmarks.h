// Bookmark files made to hurt a reader, as a copied profile or a downloaded
// file can bring them, and what a test measures of the process around an
// import of one: its peak memory, its threads' processor time and the
// scratch folders left behind.
#pragma once

#include <glib.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace testsupport {

// A Chromium Bookmarks file whose comment hides a quote from a reader that
// knows no comments, then a million arrays inside a folder's children.
inline std::string DeepChromiumBookmarks() {
  return "/* \" */ {\"roots\": {\"bookmark_bar\": {\"type\": \"folder\", \"name\": \"bar\", "
         "\"children\": [" +
         std::string(1000000, '[') + std::string(1000000, ']') + "]}}}";
}

// An exported HTML file with one folder of an 8 MB name over 2000 links.
inline std::string LongFolderHtml() {
  std::string html = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><H3>" +
                     std::string(8 * 1024 * 1024, 'f') + "</H3>\n<DL><p>\n";
  for (int i = 0; i < 2000; ++i) {
    html += "<DT><A HREF=\"http://link.example/" + std::to_string(i) + "\">" + std::to_string(i) +
            "</A>\n";
  }
  return html + "</DL><p>\n</DL><p>\n";
}

// The bytes of a database made by `sql`.
inline std::string DatabaseBytes(const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    g_printerr("%s\n", error);
    sqlite3_free(error);
  }
  sqlite3_int64 size = 0;
  unsigned char* bytes = sqlite3_serialize(db, "main", &size, 0);
  std::string out(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
  sqlite3_free(bytes);
  sqlite3_close(db);
  return out;
}

// A places.sqlite whose moz_bookmarks is a view over a query without end.
inline std::string EndlessPlaces() {
  return DatabaseBytes(
      "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR);"
      "INSERT INTO moz_places VALUES (1, 'http://a.example/', 'a');"
      "CREATE VIEW moz_bookmarks AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 "
      "FROM r) SELECT n AS id, 1 AS type, 1 AS fk, 0 AS parent, n AS position, 'x' AS title, "
      "0 AS dateAdded, '' AS guid FROM r;");
}

// A places.sqlite of Firefox's own tables, each title made afresh at great
// cost when read: some twenty seconds of work, for キャンセル to stop.
inline std::string SlowPlaces() {
  return DatabaseBytes(
      "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR);"
      "INSERT INTO moz_places VALUES (1, 'http://a.example/', 'a');"
      "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER,"
      " parent INTEGER, position INTEGER, dateAdded INTEGER, guid TEXT);"
      "WITH RECURSIVE r(n) AS (SELECT 10 UNION ALL SELECT n + 1 FROM r WHERE n < 5000)"
      " INSERT INTO moz_bookmarks (id, type, fk, parent, position) SELECT n, 1, 1, 3, n FROM r;"
      // Added after the rows, so that making the file costs nothing.
      "ALTER TABLE moz_bookmarks ADD COLUMN title LONGVARCHAR GENERATED ALWAYS AS"
      " (substr(replace(hex(zeroblob(200000 + id)), '0', 'ab'), 1, 20)) VIRTUAL;");
}

// Starts counting the peak of resident memory afresh.
inline void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The peak of resident memory since ResetPeakMemory(), in megabytes.
inline long PeakMemoryMb() {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == "VmHWM:") {
      long kb = 0;
      status >> kb;
      return kb / 1024;
    }
  }
  return -1;
}

// Processor time of every thread but the main one (the window's), in
// seconds: what an import's thread, or one left behind, uses.
inline double OtherThreadsSeconds() {
  double ticks = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    if (task.path().filename() == std::to_string(getpid())) continue;
    std::ifstream stat(task.path() / "stat");
    std::string line;
    std::getline(stat, line);
    // After the name in parentheses: state, then utime and stime as the 12th and 13th.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    for (int i = 1; i <= 13 && rest >> field; ++i) {
      if (i >= 12) ticks += std::stod(field);
    }
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The import's scratch folders in the temporary folder now.
inline std::set<std::string> ScratchFolders() {
  std::set<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(g_get_tmp_dir())) {
    const std::string name = entry.path().filename();
    if (name.rfind("tavorin-import-", 0) == 0) found.insert(entry.path());
  }
  return found;
}

}  // namespace testsupport
