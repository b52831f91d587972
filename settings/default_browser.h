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
