// One download of the engine, from its destination to its end: the data is
// written under a temporary name in the Downloads folder and takes its own
// name only when complete; a failed or cancelled download leaves nothing.
#pragma once

#include <glib.h>

#include <functional>
#include <string>

#include "browser/download_file.h"

typedef struct _WebKitDownload WebKitDownload;

class TDownload {
 public:
  enum class State { kActive, kDone, kFailed, kCancelled };

  // `changed` is called after every change of state or progress.
  TDownload(WebKitDownload* download, std::function<void()> changed);
  // A download still running is cancelled.
  ~TDownload();
  TDownload(const TDownload&) = delete;
  TDownload& operator=(const TDownload&) = delete;

  void Cancel();
  State state() const { return state_; }
  // The name it is saved under; the final one once done.
  const std::string& Name() const { return name_; }
  // The saved file, once done.
  const std::string& Path() const { return path_; }
  guint64 Received() const;
  // The size the server announced; 0 when it did not.
  guint64 Total() const;
  // Why it failed, for the user.
  const std::string& Failure() const { return failure_; }

 private:
  struct Signals;
  bool DecideDestination(const std::string& suggested);
  void Fail(std::string reason);
  void Finish();
  void End(State state);

  WebKitDownload* download_;
  std::function<void()> changed_;
  DownloadFile file_;
  State state_ = State::kActive;
  bool engine_failed_ = false;
  std::string name_;
  std::string path_;
  std::string failure_;
};
