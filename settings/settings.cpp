#include "settings/settings.h"

#include <gio/gio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "browser/cpp_web_browser.h"
#include "browser/developer_tools.h"
#include "browser/user_address.h"
#include "downloads/folder.h"
#include "history/history.h"
#include "search/search_engine.h"
#include "settings/message_text.h"
#include "start_page/start_page.h"
#include "store/regular_file.h"
#include "store/store_trouble.h"

namespace {

constexpr char kGroup[] = "Tavorin";
constexpr char kHomePage[] = "home-page";
constexpr char kDownloadFolder[] = "download-folder";
constexpr char kRestoreWindows[] = "restore-windows";

constexpr std::pair<const char*, RestoreWindows> kRestoreValues[] = {
    {"ask", RestoreWindows::kAsk},
    {"always", RestoreWindows::kAlways},
    {"never", RestoreWindows::kNever},
};
constexpr char kHardwareAcceleration[] = "hardware-acceleration";
constexpr char kKeepHistory[] = "keep-history";
constexpr char kSearchEngine[] = "search-engine";
constexpr char kDeveloperTools[] = "developer-tools";

using KeyFile = std::unique_ptr<GKeyFile, decltype(&g_key_file_free)>;

std::string Joined(const char* folder, const char* name) {
  gchar* path = g_build_filename(folder, name, nullptr);
  std::string joined = path;
  g_free(path);
  return joined;
}

// A settings file is a few lines; anything far bigger is not one.
constexpr std::size_t kLargestFile = 1 << 20;

// Why a file that could not be read as a whole gave nothing.
std::string RefusalProblem(const RegularFileRead& read) {
  switch (read.refusal) {
    case FileRefusal::kNotRegular:
      return "通常のファイルではありません";
    case FileRefusal::kTooLarge:
      return "大きすぎます";
    default:
      return "読めません (" + read.reason + ")";
  }
}

// Why the file gave nothing, or empty when it was read into `file` or is
// missing. A FIFO or a device is never waited on, nor read without end.
std::string LoadProblem(GKeyFile* file, const std::string& path, FileRefusal& refusal) {
  const RegularFileRead read = ReadRegularFile(path, kLargestFile);
  refusal = read.refusal;
  if (!read.contents) return refusal == FileRefusal::kMissing ? "" : RefusalProblem(read);
  const std::string& text = *read.contents;
  GError* error = nullptr;
  std::string problem;
  if (text.empty()) {
    problem = "空です";
  } else if (!g_key_file_load_from_data(file, text.data(), text.size(), G_KEY_FILE_NONE, &error)) {
    problem = "書式が正しくありません (" + Tamed(error->message) + ")";
  } else if (!g_key_file_has_group(file, kGroup)) {
    problem = std::string("[") + kGroup + "] グループがありません";
  }
  g_clear_error(&error);
  return problem;
}

// The value of `key`; nothing when it is missing, empty or unusable.
std::string Value(GKeyFile* file, const char* key, std::vector<std::string>& problems) {
  GError* error = nullptr;
  gchar* value = g_key_file_get_string(file, kGroup, key, &error);
  if (g_error_matches(error, G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_UNKNOWN_ENCODING)) {
    problems.push_back(std::string(key) + " の値が UTF-8 ではありません");
  }
  g_clear_error(&error);
  std::string text = value != nullptr ? g_strstrip(value) : "";
  g_free(value);
  return text;
}

// A folder as written: absolute, or under the home folder with "~/".
std::string FolderFromUser(const std::string& text) {
  if (text == "~") return g_get_home_dir();
  if (text.starts_with("~/")) return Joined(g_get_home_dir(), text.c_str() + 2);
  return text;
}

void ReadRestoreWindows(GKeyFile* file, TSettings& settings, std::vector<std::string>& problems) {
  const std::string value = Value(file, kRestoreWindows, problems);
  if (value.empty()) return;
  for (const auto& [name, restore] : kRestoreValues) {
    if (value == name) {
      settings.restore_windows = restore;
      return;
    }
  }
  problems.push_back(std::string(kRestoreWindows) + " の値 " + Quoted(value) +
                     " は ask、always、never のどれでもありません");
}

void ReadHardwareAcceleration(GKeyFile* file, TSettings& settings,
                              std::vector<std::string>& problems) {
  const std::string text = Value(file, kHardwareAcceleration, problems);
  if (text.empty()) return;
  if (const auto value = HardwareAccelerationFromText(text)) {
    settings.hardware_acceleration = *value;
  } else {
    problems.push_back(std::string(kHardwareAcceleration) + " の値 " + Quoted(text) +
                       " は auto、always、never のどれでもありません");
  }
}

// "localhost:8080" has the form of a scheme; a port after the colon tells.
bool IsHostAndPort(const std::string& text, std::size_t colon) {
  const std::size_t end = text.find_first_of("/?#", colon + 1);
  const std::string port = text.substr(colon + 1, end - std::min(end, colon + 1));
  return !port.empty() && port.find_first_not_of("0123456789") == std::string::npos;
}

// A web or file address the engine can load; javascript:, data: and the like
// have no business as a home page.
bool IsWebOrFileAddress(const std::string& text, const std::string& address) {
  const char* written = g_uri_peek_scheme(text.c_str());  // interned
  if (written != nullptr && !IsHostAndPort(text, std::strlen(written))) {
    const std::string scheme = written;
    if (scheme != "http" && scheme != "https" && scheme != "file" && text != "about:blank") {
      return false;
    }
  }
  if (address == "about:blank") return true;
  GUri* uri = g_uri_parse(address.c_str(), G_URI_FLAGS_NONE, nullptr);
  if (uri == nullptr) return false;
  const std::string host = g_uri_get_host(uri) != nullptr ? g_uri_get_host(uri) : "";
  const bool file = std::strcmp(g_uri_get_scheme(uri), "file") == 0;
  g_uri_unref(uri);
  const bool clean = std::none_of(address.begin(), address.end(),
                                  [](unsigned char c) { return c < 0x20 || c == 0x7f; });
  return clean && (file || (!host.empty() && host.find(' ') == std::string::npos));
}

void ReadHomePage(GKeyFile* file, TSettings& settings, std::vector<std::string>& problems) {
  const std::string home = Value(file, kHomePage, problems);
  if (home.empty()) return;
  if (const auto address = HomePageAddress(home)) {
    settings.home_page = *address;
  } else {
    problems.push_back(std::string(kHomePage) + " の値 " + Quoted(home) +
                       " はウェブかファイルのアドレスではありません");
  }
}

// true or false as a key file writes them; anything else is said and ignored.
void ReadSwitch(GKeyFile* file, const char* key, bool& setting,
                std::vector<std::string>& problems) {
  const std::string value = Value(file, key, problems);
  if (value == "true" || value == "false") {
    setting = value == "true";
  } else if (!value.empty()) {
    problems.push_back(std::string(key) + " の値 " + Quoted(value) +
                       " は true か false ではありません");
  }
}

void ReadSearchEngine(GKeyFile* file, TSettings& settings, std::vector<std::string>& problems) {
  const std::string value = Value(file, kSearchEngine, problems);
  if (value.empty()) return;
  const std::string problem = SearchEngineProblem(value);
  if (problem.empty()) {
    settings.search_engine = value;
  } else {
    problems.push_back(std::string(kSearchEngine) + " の値 " + Quoted(value) + " は" + problem);
  }
}

void ReadValues(GKeyFile* file, TSettings& settings, std::vector<std::string>& problems) {
  ReadRestoreWindows(file, settings, problems);
  ReadHardwareAcceleration(file, settings, problems);
  ReadSwitch(file, kKeepHistory, settings.keep_history, problems);
  ReadSwitch(file, kDeveloperTools, settings.developer_tools, problems);
  ReadSearchEngine(file, settings, problems);
  ReadHomePage(file, settings, problems);
  const std::string folder = FolderFromUser(Value(file, kDownloadFolder, problems));
  if (folder.empty()) return;
  if (g_path_is_absolute(folder.c_str())) {
    settings.download_folder = folder;
  } else {
    problems.push_back(std::string(kDownloadFolder) + " の値 " + Quoted(folder) +
                       " が絶対パスではありません");
  }
}

TSettings ReadSettingsFile(const std::string& path, std::string& problem, FileRefusal& refusal) {
  TSettings settings = DefaultSettings();
  KeyFile file(g_key_file_new(), g_key_file_free);
  problem = LoadProblem(file.get(), path, refusal);
  const char* fallback = "既定の設定を使います";
  if (problem.empty() && refusal != FileRefusal::kMissing) {
    std::vector<std::string> problems;
    ReadValues(file.get(), settings, problems);
    for (const std::string& p : problems) problem += (problem.empty() ? "" : "、") + p;
    fallback = "その項目は既定の設定を使います";
  }
  if (!problem.empty()) problem = "設定ファイル " + path + ": " + problem + "。" + fallback;
  return settings;
}

}  // namespace

const char kDefaultSearchEngine[] = "https://www.google.co.jp/search?q=%s";

std::string SearchEngineProblem(const std::string& text) {
  const std::size_t words = text.find("%s");
  if (words == std::string::npos) return "言葉の入る %s がありません";
  // The words go in percent-encoded; any other % must be an escape of its own.
  if (text.find("%s", words + 2) != std::string::npos) return "%s が二つ以上あります";
  std::string sample = text;
  sample.replace(words, 2, "q");
  GUri* uri = g_uri_parse(sample.c_str(), G_URI_FLAGS_NONE, nullptr);
  const bool web = uri != nullptr && g_uri_get_host(uri) != nullptr &&
                   *g_uri_get_host(uri) != '\0' &&
                   (std::strcmp(g_uri_get_scheme(uri), "http") == 0 ||
                    std::strcmp(g_uri_get_scheme(uri), "https") == 0);
  if (uri != nullptr) g_uri_unref(uri);
  return web ? "" : "http か https のアドレスではありません";
}

std::optional<std::string> HomePageAddress(const std::string& text) {
  if (IsStartPage(text)) return text;
  const std::string address = AddressFromUser(text);
  if (!IsWebOrFileAddress(text, address)) return std::nullopt;
  return address;
}

std::string DefaultDownloadFolder() {
  const gchar* desktop = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  // xdg-user-dirs turns a folder off by setting it to the home folder.
  if (desktop != nullptr && std::strcmp(desktop, g_get_home_dir()) != 0) return desktop;
  return Joined(g_get_home_dir(), "Downloads");
}

TSettings DefaultSettings() {
  TSettings settings;
  settings.home_page = kStartPageAddress;
  settings.download_folder = DefaultDownloadFolder();
  settings.search_engine = kDefaultSearchEngine;
  return settings;
}

std::string SettingsFile() {
  gchar* path = g_build_filename(g_get_user_config_dir(), "tavorin", "tavorin.conf", nullptr);
  std::string file = path;
  g_free(path);
  return file;
}

TSettings ReadSettings(const std::string& path, std::string& problem) {
  FileRefusal refusal = FileRefusal::kNone;
  return ReadSettingsFile(path, problem, refusal);
}

std::string RestoreWindowsText(RestoreWindows value) {
  for (const auto& [name, restore] : kRestoreValues) {
    if (restore == value) return name;
  }
  return kRestoreValues[0].first;
}

TSettings LoadSettings() {
  std::string problem;
  FileRefusal refusal = FileRefusal::kNone;
  const std::string path = SettingsFile();
  TSettings settings = ReadSettingsFile(path, problem, refusal);
  if (refusal != FileRefusal::kNone && refusal != FileRefusal::kMissing) {
    // Not a file to read at all: said over the main window too, as a broken store is.
    const std::string said = "設定ファイル " + path + ": ";
    ReportStoreTrouble({"設定ファイル", path, problem.substr(said.size())});
  } else if (!problem.empty()) {
    std::fprintf(stderr, "tavorin: %s\n", problem.c_str());
  }
  return settings;
}

namespace {

std::vector<std::function<void(const TSettings&)>>& SettingsHooks() {
  static std::vector<std::function<void(const TSettings&)>> hooks;
  return hooks;
}

}  // namespace

void ApplySettings(const TSettings& settings) {
  TCppWebBrowser::SetDefaultHomePage(settings.home_page);
  ApplyDownloadFolder(settings.download_folder);
  SetKeepHistory(settings.keep_history);
  SetSearchEngine(settings.search_engine);
  SetDeveloperTools(settings.developer_tools);
  for (const auto& hook : SettingsHooks()) hook(settings);
}

void AddSettingsHook(std::function<void(const TSettings&)> hook) {
  SettingsHooks().push_back(std::move(hook));
}

void ApplyDownloadFolder(const std::string& folder) { SetDownloadFolder(folder); }
