// Tavorin as the desktop's default web browser: the handler of http and https
// addresses and of HTML files, as GIO keeps it in the user's mimeapps.list.
// Nothing is asked at start; the settings window offers it.
#pragma once

#include <string>

// The desktop entry the package installs (data/tavorin.desktop).
extern const char kDesktopEntryId[];

// True when the desktop opens http, https and text/html with Tavorin.
bool IsDefaultBrowser();
// Makes Tavorin the user's default for all three; why it could not, or empty.
std::string MakeDefaultBrowser();

// Whether the desktop knows the entry: installed, or the user's own.
bool DesktopEntryKnown();
// Where the user's own entry goes: $XDG_DATA_HOME/applications/tavorin.desktop.
std::string UserDesktopEntryFile();
// The program running now, as the user's own entry names it.
std::string RunningProgram();
// The user's own entry for `program`.
std::string UserDesktopEntry(const std::string& program);
// Puts the user's own entry for the running program in place (0644, whole
// or not at all); a file there with other contents is never replaced. Why it
// could not, or empty.
std::string PutUserDesktopEntry();
