// The windows of the running program as kept on disk, so that they can come
// back in the next run: each window's place and size and its back/forward
// list (the engine's bytes, kept as they are), and whether the run that wrote
// them ended normally. Writes are coalesced and atomic: a crash, kill or power
// cut leaves the last file written whole.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <string>
#include <vector>

struct TSavedWindow {
  int left = 0, top = 0, width = 0, height = 0;
  bool maximized = false;
  std::string address;  // the page shown, for a list the engine cannot read back
  std::string state;    // the engine's back/forward list, without form data when kept
  bool operator==(const TSavedWindow&) const = default;
};

struct TSavedSession {
  std::vector<TSavedWindow> windows;  // the main window first
  bool ended_normally = true;         // also when nothing was kept
};

// The file's text for `session`, and back; a file that cannot be read gives
// no windows, ended normally.
std::string SessionText(const TSavedSession& session);
TSavedSession SessionFromText(const std::string& text);

class TSessionStore {
 public:
  using Collect = std::function<std::vector<TSavedWindow>()>;

  // `collect` gives the windows as they are now; it is asked when a write is due.
  TSessionStore(std::string path, Collect collect, unsigned delay_ms = 1000);
  ~TSessionStore();
  TSessionStore(const TSessionStore&) = delete;
  TSessionStore& operator=(const TSessionStore&) = delete;

  // What the last run left. From now on the file says that a run has not
  // ended (written in the background); the last run's windows stay in it
  // until this run's are written.
  TSavedSession Open();
  // Something changed: the windows are written once `delay_ms` has passed
  // since the first change not yet written.
  void Changed();
  // The run ends normally: its windows are written now, with the mark, and
  // nothing after.
  void Close();
  // Nothing is kept: the file goes, and nothing is written any more.
  void Forget();
  // Kept again after Forget: the windows are written now, as a run that has
  // not ended.
  void Resume();
  bool Writing() const { return writing_; }

 private:
  static void Written(GObject* file, GAsyncResult* result, gpointer data);
  static gboolean Due(gpointer data);
  void WriteNow();
  void Write(const TSavedSession& session);
  void WaitForWrite();
  bool Replaceable() const;

  std::string path_;
  Collect collect_;
  unsigned delay_ms_;
  unsigned timer_ = 0;
  bool writing_ = false;
  bool again_ = false;     // changed while a write was on its way
  bool finished_ = false;  // after Close or Forget nothing more is written
  GCancellable* cancellable_ = nullptr;
};
