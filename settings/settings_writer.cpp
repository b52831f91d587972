#include "settings/settings_writer.h"

#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

#include "settings/message_text.h"
#include "store/regular_file.h"

namespace {

constexpr char kGroupName[] = "Tavorin";
// Another copy holds the lock for a read and a write; two seconds is plenty.
// (WriteSettings only: TryWriteSettings tries once.)
constexpr int kLockTries = 40;
constexpr unsigned kLockWaitUs = 50000;

using KeyFile = std::unique_ptr<GKeyFile, decltype(&g_key_file_free)>;

std::string Trimmed(const std::string& text) {
  const std::size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) return "";
  return text.substr(start, text.find_last_not_of(" \t\r") + 1 - start);
}

// Two copies writing at once take turns on the file's folder, so that
// neither reads the file before the other's write and then loses it. Tried
// once: the window's thread never sleeps on another copy.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder)
      : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    held_ = fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) == 0;
    busy_ = !held_ && fd_ >= 0 && errno == EWOULDBLOCK;
  }
  ~FolderLock() {
    if (fd_ >= 0) close(fd_);  // and with it the lock
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool Held() const { return held_; }
  bool Busy() const { return busy_; }

 private:
  int fd_;
  bool held_ = false;
  bool busy_ = false;
};

// `value` escaped as a key file writes it (\n, \\, leading blanks).
std::string Escaped(const std::string& value) {
  KeyFile file(g_key_file_new(), g_key_file_free);
  g_key_file_set_string(file.get(), kGroupName, "k", value.c_str());
  gchar* escaped = g_key_file_get_value(file.get(), kGroupName, "k", nullptr);
  std::string text = escaped != nullptr ? escaped : "";
  g_free(escaped);
  return text;
}

// The group a "[name]" line opens, or nothing when it is no such line.
bool GroupLine(const std::string& line, std::string& group) {
  const std::string trimmed = Trimmed(line);
  if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') return false;
  group = trimmed.substr(1, trimmed.size() - 2);
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The text with each changed key's value replaced where it stands; keys the
// file lacks go after the group's last key, or in a group of their own.
std::string Edited(const std::string& text, const std::vector<TSettingChange>& changes) {
  std::vector<std::string> lines = Lines(text);
  std::set<std::string> written;
  std::string group;
  std::size_t after_last = std::string::npos;  // where a new key goes
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string& line = lines[i];
    if (GroupLine(line, group)) {
      if (group == kGroupName) after_last = i + 1;
      continue;
    }
    const std::string trimmed = Trimmed(line);
    const std::size_t equals = line.find('=');
    if (group != kGroupName || trimmed.empty() || trimmed[0] == '#' ||
        equals == std::string::npos) {
      continue;
    }
    after_last = i + 1;
    const std::string key = Trimmed(line.substr(0, equals));
    for (const TSettingChange& change : changes) {
      if (change.key != key) continue;
      // What the hand wrote before the value stays, spacing and all.
      const std::size_t value = line.find_first_not_of(" \t", equals + 1);
      const bool cr = !line.empty() && line.back() == '\r';
      line = line.substr(0, value == std::string::npos ? line.size() - cr : value) +
             Escaped(change.value) + (cr ? "\r" : "");
      written.insert(key);
    }
  }
  std::vector<std::string> added;
  if (after_last == std::string::npos) {
    if (!lines.empty() && !Trimmed(lines.back()).empty()) added.push_back("");
    added.push_back(std::string("[") + kGroupName + "]");
    after_last = lines.size();
  }
  for (const TSettingChange& change : changes) {
    if (!written.contains(change.key)) added.push_back(change.key + "=" + Escaped(change.value));
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(after_last), added.begin(), added.end());
  std::string edited;
  for (const std::string& line : lines) edited += line + "\n";
  // A file that ended without a new line keeps doing so.
  if (!text.empty() && text.back() != '\n' && after_last < lines.size() - added.size()) {
    edited.pop_back();
  }
  return edited;
}

// The settings reader's own limit: a file it would not take is not edited.
constexpr std::size_t kLargestFile = 1 << 20;

std::string ReadProblem(const std::string& path, std::string& text) {
  // Never waited on: a FIFO in the file's place is refused, not opened to block.
  const RegularFileRead read = ReadRegularFile(path, kLargestFile);
  if (!read.contents) {
    if (read.refusal == FileRefusal::kMissing) return "";
    return "設定ファイルを読めません (" + read.reason + ")";
  }
  text = *read.contents;
  KeyFile file(g_key_file_new(), g_key_file_free);
  GError* error = nullptr;
  std::string problem;
  // A file the reader cannot take is the user's to mend, not ours to replace.
  if (!g_key_file_load_from_data(file.get(), text.data(), text.size(), G_KEY_FILE_KEEP_COMMENTS,
                                 &error)) {
    problem = "設定ファイルの書式が正しくありません (" + Tamed(error->message) + ")";
  }
  g_clear_error(&error);
  return problem;
}

std::string FolderProblem(const std::string& folder) {
  if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
    return "フォルダー " + Quoted(folder) + " を作れません (" + g_strerror(errno) + ")";
  }
  return "";
}

// A file made read-only is the user's word that it stays as it is, even to
// one who could write it anyway.
std::string WriteProblem(const std::string& path) {
  GStatBuf status;
  if (g_stat(path.c_str(), &status) != 0) return "";  // made new
  if ((status.st_mode & S_IWUSR) == 0) return "設定ファイルは読み取り専用です";
  if (g_access(path.c_str(), W_OK) != 0) {
    return std::string("設定ファイルに書き込めません (") + g_strerror(errno) + ")";
  }
  return "";
}

}  // namespace

const char kSettingsBusy[] = "ほかの Tavorin が設定ファイルを書き込み中です";

std::string TryWriteSettings(const std::string& path, const std::vector<TSettingChange>& changes,
                             bool& busy) {
  busy = false;
  gchar* folder = g_path_get_dirname(path.c_str());
  const std::string dir = folder;
  g_free(folder);
  if (std::string problem = FolderProblem(dir); !problem.empty()) return problem;
  FolderLock lock(dir);
  if (!lock.Held()) {
    busy = lock.Busy();
    if (busy) return kSettingsBusy;
    return "フォルダー " + Quoted(dir) + " で書き込みの順番を取れません (" + g_strerror(errno) +
           ")";
  }
  if (std::string problem = WriteProblem(path); !problem.empty()) return problem;
  // A link to a file kept elsewhere (dotfiles) stays a link: its target is replaced.
  char* resolved = realpath(path.c_str(), nullptr);
  const std::string target = resolved != nullptr ? resolved : path;
  free(resolved);
  std::string text;
  if (std::string problem = ReadProblem(target, text); !problem.empty()) return problem;
  const std::string edited = Edited(text, changes);
  GError* error = nullptr;
  if (!g_file_set_contents_full(target.c_str(), edited.data(), static_cast<gssize>(edited.size()),
                                G_FILE_SET_CONTENTS_CONSISTENT, 0600, &error)) {
    std::string problem = "設定ファイルを書き込めません (" + Tamed(error->message) + ")";
    g_error_free(error);
    return problem;
  }
  return "";
}

std::string WriteSettings(const std::string& path, const std::vector<TSettingChange>& changes) {
  bool busy = false;
  std::string problem = TryWriteSettings(path, changes, busy);
  for (int i = 1; busy && i < kLockTries; ++i) {
    g_usleep(kLockWaitUs);
    problem = TryWriteSettings(path, changes, busy);
  }
  return problem;
}
