#include "store/session_store.h"

#include <glib/gstdio.h>

#include <memory>
#include <utility>

#include "store/regular_file.h"
#include "store/session_form_data.h"
#include "store/store_trouble.h"

namespace {

constexpr char kRun[] = "Run";
constexpr char kEnded[] = "ended-normally";
constexpr char kWindowGroup[] = "Window ";
// A file far bigger than twenty windows' lists is not one of ours.
constexpr std::size_t kLargestFile = 64 << 20;
constexpr char kWhat[] = "ウィンドウの状態";

// Whether `text` is a file this program wrote (its mark is there).
bool Ours(const std::string& text) {
  GKeyFile* file = g_key_file_new();
  const bool ours =
      g_key_file_load_from_data(file, text.data(), text.size(), G_KEY_FILE_NONE, nullptr) &&
      g_key_file_has_key(file, kRun, kEnded, nullptr);
  g_key_file_free(file);
  return ours;
}

using KeyFile = std::unique_ptr<GKeyFile, decltype(&g_key_file_free)>;

std::string Take(gchar* text) {
  std::string taken = text != nullptr ? text : "";
  g_free(text);
  return taken;
}

void PutWindow(GKeyFile* file, const std::string& group, const TSavedWindow& w) {
  const char* g = group.c_str();
  // A form's data never reaches the disk; a list it cannot be taken from is left out.
  const std::string state = StateWithoutFormData(w.state).value_or("");
  g_key_file_set_integer(file, g, "left", w.left);
  g_key_file_set_integer(file, g, "top", w.top);
  g_key_file_set_integer(file, g, "width", w.width);
  g_key_file_set_integer(file, g, "height", w.height);
  g_key_file_set_boolean(file, g, "maximized", w.maximized);
  g_key_file_set_string(file, g, "address", w.address.c_str());
  g_key_file_set_string(
      file, g, "state",
      Take(g_base64_encode(reinterpret_cast<const guchar*>(state.data()), state.size())).c_str());
}

// False when the group is not a window as written by PutWindow.
bool GetWindow(GKeyFile* file, const char* group, TSavedWindow& w) {
  GError* error = nullptr;
  w.left = g_key_file_get_integer(file, group, "left", &error);
  if (error == nullptr) w.top = g_key_file_get_integer(file, group, "top", &error);
  if (error == nullptr) w.width = g_key_file_get_integer(file, group, "width", &error);
  if (error == nullptr) w.height = g_key_file_get_integer(file, group, "height", &error);
  if (error == nullptr) w.maximized = g_key_file_get_boolean(file, group, "maximized", &error);
  if (error == nullptr) w.address = Take(g_key_file_get_string(file, group, "address", &error));
  std::string encoded;
  if (error == nullptr) encoded = Take(g_key_file_get_string(file, group, "state", &error));
  const bool read = error == nullptr;
  g_clear_error(&error);
  if (!read) return false;
  gsize length = 0;
  guchar* bytes = g_base64_decode(encoded.c_str(), &length);
  // A file an older version wrote may still hold a form's data: it is not sent again.
  w.state = StateWithoutFormData({reinterpret_cast<const char*>(bytes), length}).value_or("");
  g_free(bytes);
  return true;
}

}  // namespace

std::string SessionText(const TSavedSession& session) {
  KeyFile file(g_key_file_new(), g_key_file_free);
  g_key_file_set_boolean(file.get(), kRun, kEnded, session.ended_normally);
  for (std::size_t i = 0; i < session.windows.size(); ++i) {
    PutWindow(file.get(), kWindowGroup + std::to_string(i), session.windows[i]);
  }
  return Take(g_key_file_to_data(file.get(), nullptr, nullptr));
}

TSavedSession SessionFromText(const std::string& text) {
  TSavedSession session;
  KeyFile file(g_key_file_new(), g_key_file_free);
  if (!g_key_file_load_from_data(file.get(), text.data(), text.size(), G_KEY_FILE_NONE, nullptr)) {
    return session;
  }
  GError* error = nullptr;
  const bool ended = g_key_file_get_boolean(file.get(), kRun, kEnded, &error);
  if (error != nullptr) {  // not written by us
    g_error_free(error);
    return session;
  }
  session.ended_normally = ended;
  // Windows in the order written; a damaged one is left out, not the rest.
  for (int i = 0;; ++i) {
    const std::string group = kWindowGroup + std::to_string(i);
    if (!g_key_file_has_group(file.get(), group.c_str())) break;
    TSavedWindow window;
    if (GetWindow(file.get(), group.c_str(), window)) session.windows.push_back(std::move(window));
  }
  return session;
}

TSessionStore::TSessionStore(std::string path, Collect collect, unsigned delay_ms)
    : path_(std::move(path)),
      collect_(std::move(collect)),
      delay_ms_(delay_ms),
      cancellable_(g_cancellable_new()) {}

TSessionStore::~TSessionStore() {
  if (timer_ != 0) g_source_remove(timer_);
  g_cancellable_cancel(cancellable_);
  WaitForWrite();
  g_object_unref(cancellable_);
}

TSavedSession TSessionStore::Open() {
  TSavedSession last;
  const RegularFileRead read = ReadRegularFile(path_, kLargestFile);
  if (read.contents && (read.contents->empty() || Ours(*read.contents))) {
    last = SessionFromText(*read.contents);
  } else if (read.contents || read.refusal == FileRefusal::kTooLarge) {
    // Kept for the user to look at, not written over.
    const std::string aside = MoveAside(path_);
    ReportStoreTrouble(
        {kWhat, path_,
         aside.empty() ? "読めない内容です" : "読めない内容なので " + aside + " に移しました"});
  } else if (read.refusal != FileRefusal::kMissing) {
    ReportStoreTrouble({kWhat, path_, read.reason});
  }
  // The last run's windows stay on disk until this run's are written.
  Write({last.windows, false});
  return last;
}

void TSessionStore::Changed() {
  if (finished_ || timer_ != 0) return;
  timer_ = g_timeout_add(delay_ms_, &TSessionStore::Due, this);
}

gboolean TSessionStore::Due(gpointer data) {
  auto* self = static_cast<TSessionStore*>(data);
  self->timer_ = 0;
  self->WriteNow();
  return G_SOURCE_REMOVE;
}

void TSessionStore::WriteNow() {
  if (writing_) {  // one write at a time, so that an older one never lands last
    again_ = true;
    return;
  }
  Write({collect_(), false});
}

void TSessionStore::Write(const TSavedSession& session) {
  if (finished_ || !Replaceable()) return;
  const std::string text = SessionText(session);
  GBytes* bytes = g_bytes_new(text.data(), text.size());
  GFile* file = g_file_new_for_path(path_.c_str());
  writing_ = true;
  // A file of its own replaces the old one at once, only the user may read it.
  g_file_replace_contents_bytes_async(
      file, bytes, nullptr, FALSE,
      GFileCreateFlags(G_FILE_CREATE_PRIVATE | G_FILE_CREATE_REPLACE_DESTINATION), cancellable_,
      &TSessionStore::Written, this);
  g_object_unref(file);
  g_bytes_unref(bytes);
}

void TSessionStore::Written(GObject* file, GAsyncResult* result, gpointer data) {
  auto* self = static_cast<TSessionStore*>(data);
  GError* error = nullptr;
  if (!g_file_replace_contents_finish(G_FILE(file), result, nullptr, &error) &&
      !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
    ReportStoreTrouble(
        {kWhat, self->path_, std::string(error->message) + "; 保存できませんでした"});
  }
  const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
  g_clear_error(&error);
  self->writing_ = false;
  if (std::exchange(self->again_, false) && !cancelled) self->WriteNow();
}

// A FIFO, a device or a folder in the file's place is not ours to replace.
bool TSessionStore::Replaceable() const {
  if (RegularOrMissing(path_)) return true;
  ReportStoreTrouble({kWhat, path_, "通常のファイルではないため保存できませんでした"});
  return false;
}

void TSessionStore::WaitForWrite() {
  while (writing_) g_main_context_iteration(nullptr, TRUE);
}

void TSessionStore::Close() {
  if (timer_ != 0) g_source_remove(timer_);
  timer_ = 0;
  again_ = false;
  WaitForWrite();
  if (finished_) return;
  finished_ = true;  // windows closing after this are the end, not the user's doing
  if (!Replaceable()) return;
  const std::string text = SessionText({collect_(), true});
  GError* error = nullptr;
  if (!g_file_set_contents_full(path_.c_str(), text.data(), text.size(),
                                G_FILE_SET_CONTENTS_CONSISTENT, 0600, &error)) {
    ReportStoreTrouble({kWhat, path_, std::string(error->message) + "; 保存できませんでした"});
    g_error_free(error);
  }
}

void TSessionStore::Forget() {
  if (timer_ != 0) g_source_remove(timer_);
  timer_ = 0;
  g_cancellable_cancel(cancellable_);
  WaitForWrite();
  finished_ = true;
  if (RegularOrMissing(path_)) g_remove(path_.c_str());
}

void TSessionStore::Resume() {
  if (!finished_) return;
  finished_ = false;
  g_object_unref(cancellable_);
  cancellable_ = g_cancellable_new();
  Write({collect_(), false});
}
