// The user's settings: a GLib key file, $XDG_CONFIG_HOME/tavorin/tavorin.conf.
//
//   [Tavorin]
//   home-page=https://example.com/
//   download-folder=~/Downloads
//   restore-windows=ask
//   hardware-acceleration=auto
//   keep-history=true
//   search-engine=https://www.google.co.jp/search?q=%s
//   developer-tools=true
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "settings/rendering_path.h"

// Whether the windows of the last run come back: after a run that did not
// end normally on the user's word, at every start, or never (nothing kept).
enum class RestoreWindows { kAsk, kAlways, kNever };
// The value as written in the settings file.
std::string RestoreWindowsText(RestoreWindows value);

struct TSettings {
  std::string home_page;        // the address every window's Home loads
  std::string download_folder;  // an absolute path
  RestoreWindows restore_windows = RestoreWindows::kAsk;
  HardwareAcceleration hardware_acceleration = HardwareAcceleration::kAuto;
  bool keep_history = true;  // false: no page is recorded
  // Where words typed in the address box are searched: an http or https
  // address with %s where the words go.
  std::string search_engine;
  bool developer_tools = true;  // the engine's inspector, F12 and its menu item
};

// The search site used when the settings name none, or a bad one.
extern const char kDefaultSearchEngine[];
// Why `text` cannot be a search site's address, or empty when it can.
std::string SearchEngineProblem(const std::string& text);

// The address a home page written as `text` opens; nothing when it is not a
// web or file address (or about:blank).
std::optional<std::string> HomePageAddress(const std::string& text);

TSettings DefaultSettings();
// The Downloads folder of the user's desktop; ~/Downloads when the desktop
// names none (or names the home folder itself).
std::string DefaultDownloadFolder();
std::string SettingsFile();

// The settings in the key file at `path`. Whatever is wrong with the file, or
// with a value in it, gives the defaults for what it affects and is said in
// `problem`, one line without an end of line; empty when nothing was wrong.
TSettings ReadSettings(const std::string& path, std::string& problem);
// The user's settings, with what was wrong with the file said on standard
// error in one line.
TSettings LoadSettings();

// Puts the settings into effect for the windows made from now on, and tells
// the hooks.
void ApplySettings(const TSettings& settings);
// For what lives above this folder and follows a setting while the program
// runs (the windows kept for the next run): called at each ApplySettings.
void AddSettingsHook(std::function<void(const TSettings&)> hook);
// Where downloads go from now on.
void ApplyDownloadFolder(const std::string& folder);
