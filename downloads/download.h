// One download of the engine, from its destination to its end: the data is
// written under a temporary name in the Downloads folder and takes its own
// name only when complete; a failed or cancelled download leaves nothing.
#pragma once

#include <glib.h>
#include <sigc++/signal.h>

#include <memory>
#include <string>

#include "downloads/file.h"

typedef struct _WebKitDownload WebKitDownload;
typedef struct _WebKitWebView WebKitWebView;

class TDownload {
 public:
  enum class State { kActive, kDone, kFailed, kCancelled };

  explicit TDownload(WebKitDownload* download);
  // A file the program wrote itself (a page saved), done at `path`, or failed
  // with `failure` for `name`. `note` says more of a file done.
  static std::unique_ptr<TDownload> Saved(const std::string& path, std::string note = {});
  static std::unique_ptr<TDownload> NotSaved(std::string name, std::string failure);
  // A download still running is cancelled.
  ~TDownload();
  TDownload(const TDownload&) = delete;
  TDownload& operator=(const TDownload&) = delete;

  // Emitted after every change of state or progress.
  sigc::signal<void()>& signal_changed() { return changed_; }

  // Saves a download that was held when the engine asked where to.
  void Decide(const std::string& suggested) { DecideDestination(suggested); }
  // Saves under `name` rather than the server's: a download tried again.
  void PreferName(std::string name) { preferred_ = std::move(name); }
  void Cancel();
  State state() const { return state_; }
  // The name it is saved under; the final one once done.
  const std::string& Name() const { return name_; }
  // Whether Name() is the one it is saved under, not a guess from the address.
  bool Named() const { return named_; }
  std::string Address() const;
  // Whether it answered data the page sent (a form's POST): asked for
  // again, the address alone may give another file.
  bool SentData() const;
  // The view it was started from, if any.
  WebKitWebView* View() const;
  // The saved file, once done.
  const std::string& Path() const { return path_; }
  guint64 Received() const;
  // The size the server announced; 0 when it did not.
  guint64 Total() const;
  // Why it failed, for the user.
  const std::string& Failure() const { return failure_; }
  // More on a file done; empty for most.
  const std::string& Note() const { return note_; }
  // Whether the engine downloads it: it can be tried again.
  bool FromEngine() const { return download_ != nullptr; }

 private:
  struct Signals;
  TDownload() = default;
  bool DecideDestination(const std::string& suggested);
  bool CutShort() const;
  void Fail(std::string reason);
  void Finish();
  void End(State state);

  WebKitDownload* download_ = nullptr;  // none for a file of our own
  guint64 size_ = 0;                    // of a file of our own
  std::string note_;
  sigc::signal<void()> changed_;
  DownloadFile file_;
  State state_ = State::kActive;
  bool engine_failed_ = false;
  bool named_ = false;
  std::string name_;
  std::string preferred_;
  std::string path_;
  std::string failure_;
};
