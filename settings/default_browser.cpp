#include "settings/default_browser.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "settings/message_text.h"

namespace {

// What other programs ask the desktop to open with "the web browser".
constexpr const char* kWebTypes[] = {"x-scheme-handler/http", "x-scheme-handler/https",
                                     "text/html"};

bool IsDefaultFor(const char* type) {
  GAppInfo* handler = g_app_info_get_default_for_type(type, FALSE);
  const bool ours = handler != nullptr && g_app_info_get_id(handler) != nullptr &&
                    std::strcmp(g_app_info_get_id(handler), kDesktopEntryId) == 0;
  if (handler != nullptr) g_object_unref(handler);
  return ours;
}

// An argument of Exec as the desktop entry format quotes it; % is doubled.
std::string ExecArgument(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
    if (c == '%') quoted += '%';
  }
  return quoted + "\"";
}

struct EntryKey {
  const char* key;
  const char* locale;  // null: the untranslated value
  const char* value;
};

constexpr EntryKey kEntryKeys[] = {
    {"Type", nullptr, "Application"},
    {"Name", nullptr, "Tavorin"},
    {"Name", "ja", "Tavorinのお役立ちブラウザ"},
    {"GenericName", nullptr, "Web Browser"},
    {"GenericName", "ja", "ウェブブラウザ"},
    {"Icon", nullptr, "tavorin"},
    {"Terminal", nullptr, "false"},
    {"Categories", nullptr, "Network;WebBrowser;"},
    {"MimeType", nullptr, "text/html;x-scheme-handler/http;x-scheme-handler/https;"},
    {"StartupNotify", nullptr, "true"},
};

// What a regular file of at most `limit` bytes holds; nothing for anything else.
std::optional<std::string> SmallFile(const std::string& path, goffset limit) {
  GStatBuf status;
  if (g_lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > limit)
    return std::nullopt;
  gchar* text = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(path.c_str(), &text, &length, nullptr)) return std::nullopt;
  std::string contents(text, length);
  g_free(text);
  return contents;
}

// Writes `text` beside `path` and links it there only when nothing is there:
// a file put there meanwhile is never replaced.
std::string WriteNew(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new-" + std::to_string(getpid());
  GError* error = nullptr;
  if (!g_file_set_contents_full(temporary.c_str(), text.data(), static_cast<gssize>(text.size()),
                                G_FILE_SET_CONTENTS_CONSISTENT, 0644, &error)) {
    std::string problem = "デスクトップ項目を書けません (" + Tamed(error->message) + ")";
    g_error_free(error);
    return problem;
  }
  const int linked = link(temporary.c_str(), path.c_str());
  const int link_error = errno;
  g_unlink(temporary.c_str());
  if (linked == 0) return "";
  if (link_error == EEXIST && SmallFile(path, 1 << 16) == text) return "";
  if (link_error == EEXIST) {
    return path + " には別の内容のファイルがあります。置き換えませんでした";
  }
  return "デスクトップ項目を書けません (" + Tamed(g_strerror(link_error)) + ")";
}

}  // namespace

const char kDesktopEntryId[] = "tavorin.desktop";

bool DesktopEntryKnown() {
  GDesktopAppInfo* entry = g_desktop_app_info_new(kDesktopEntryId);
  if (entry != nullptr) g_object_unref(entry);
  return entry != nullptr;
}

std::string UserDesktopEntryFile() {
  gchar* path = g_build_filename(g_get_user_data_dir(), "applications", kDesktopEntryId, nullptr);
  std::string result = path;
  g_free(path);
  return result;
}

std::string RunningProgram() {
  gchar* program = g_file_read_link("/proc/self/exe", nullptr);
  std::string result = program != nullptr ? program : "";
  g_free(program);
  return result;
}

std::string UserDesktopEntry(const std::string& program) {
  GKeyFile* file = g_key_file_new();
  constexpr char kGroup[] = "Desktop Entry";
  for (const EntryKey& entry : kEntryKeys) {
    if (entry.locale != nullptr) {
      g_key_file_set_locale_string(file, kGroup, entry.key, entry.locale, entry.value);
    } else {
      g_key_file_set_string(file, kGroup, entry.key, entry.value);
    }
  }
  g_key_file_set_string(file, kGroup, "Exec", (ExecArgument(program) + " %U").c_str());
  gchar* data = g_key_file_to_data(file, nullptr, nullptr);
  std::string text = data;
  g_free(data);
  g_key_file_free(file);
  return text;
}

std::string PutUserDesktopEntry() {
  const std::string program = RunningProgram();
  if (program.empty() || program.ends_with(" (deleted)")) {
    return "実行中のプログラムの場所がわかりません";
  }
  const std::string path = UserDesktopEntryFile();
  gchar* folder = g_path_get_dirname(path.c_str());
  const int made = g_mkdir_with_parents(folder, 0755);
  const int made_error = errno;
  g_free(folder);
  if (made != 0) return "フォルダーを作れません (" + Tamed(g_strerror(made_error)) + ")";
  return WriteNew(path, UserDesktopEntry(program));
}

bool IsDefaultBrowser() {
  for (const char* type : kWebTypes) {
    if (!IsDefaultFor(type)) return false;
  }
  return true;
}

std::string MakeDefaultBrowser() {
  GDesktopAppInfo* entry = g_desktop_app_info_new(kDesktopEntryId);
  if (entry == nullptr) {
    return std::string("デスクトップ項目 ") + kDesktopEntryId + " がインストールされていません";
  }
  std::string problem;
  for (const char* type : kWebTypes) {
    GError* error = nullptr;
    if (!g_app_info_set_as_default_for_type(G_APP_INFO(entry), type, &error)) {
      problem = "既定のブラウザにできません (" + Tamed(error->message) + ")";
      g_error_free(error);
      break;
    }
  }
  g_object_unref(entry);
  // Said done only when the desktop now answers so.
  if (problem.empty() && !IsDefaultBrowser())
    problem = "デスクトップが既定のブラウザを変えませんでした";
  return problem;
}
