// Where the program keeps what sites store. Site data (cookies, local
// storage, databases) lives in $XDG_DATA_HOME/tavorin, the HTTP cache in
// $XDG_CACHE_HOME/tavorin; both are the user's alone.
#pragma once

#include <string>

std::string ProfileDataFolder();
std::string ProfileCacheFolder();
// The file `name` in the data folder.
std::string ProfileDataFile(const char* name);
// The cookie store, an SQLite database in the data folder.
std::string ProfileCookieFile();

// Makes `path` a folder only its owner can enter (0700), with any missing
// parents; false when it cannot be made one.
bool MakePrivateFolder(const std::string& path);
// Makes `path` a file only its owner can read (0600), created empty when
// missing, so that whatever later writes to it never widens the mode; false
// when it cannot be made one.
bool MakePrivateFile(const std::string& path);
// Narrows every folder below `folder` to 0700 and every file to 0600: the
// engine makes what it stores there readable by everyone.
void MakePrivateTree(const std::string& folder);
// Makes `folder` private (0700) and narrows each file made in it from now on
// to 0600 as it appears, for as long as the program runs: the engine makes
// the sites' local-storage files (and their -wal and -shm) readable by
// everyone. False when the folder cannot be made private or watched.
bool KeepFolderPrivate(const std::string& folder);
