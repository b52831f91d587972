// The program's windows kept for the next run (see store/session_store.h):
// every window's page, place and back/forward list is written after it
// changes. After a run that did not end normally the main window offers to
// bring the windows back; with restore-windows=always they come back at every
// start, and with never nothing is kept. A change of the setting while the
// program runs holds at once: never removes the file, and nothing is written
// until the windows are kept again.
#pragma once

#include <string>
#include <vector>

#include "settings/settings.h"
#include "store/session_store.h"

class TFormHTML;

class TRestoreBar;

class TWindowSession {
 public:
  TWindowSession(std::string path, RestoreWindows policy);
  ~TWindowSession();
  TWindowSession(const TWindowSession&) = delete;
  TWindowSession& operator=(const TWindowSession&) = delete;

  // The file in the profile's data folder.
  static std::string DefaultFile();

  // Before the main window is made: reads the last run's windows. Returns
  // the window the main window starts as when they come back at once, else
  // an empty one. `main_has_address` says the main window opens an address
  // given at start; it then keeps it, and the windows open beside it.
  TSavedWindow Open(bool main_has_address);
  // Once the main window is made: offers or brings back the other windows.
  void Start(TFormHTML& main);
  // The run ends normally; call before the windows are destroyed.
  void End();
  // Brings the last run's windows back now (the strip's 元に戻す).
  void Restore() { BringBack(false); }

  // Every window is watched from its making on; what it shows, where it is
  // and whether it is shown are written when they change.
  static void Watch(TFormHTML& window);
  static void Changed();
  // History was cleared: the back/forward lists of the windows open now, and
  // of the last run's, are history too. They are kept no more (the pages
  // shown still are), and the file is written again without them.
  static void ForgetBackForwardLists();
  // restore-windows was changed while the program runs.
  static void SettingChanged(RestoreWindows policy);

 private:
  std::vector<TSavedWindow> Windows() const;
  void Offer(TFormHTML& main);
  void Follow(RestoreWindows policy);
  // `main_done`: the main window already shows its page of the last run.
  void BringBack(bool main_done);

  TSessionStore store_;
  RestoreWindows policy_;
  TSavedSession last_;
  TFormHTML* main_ = nullptr;
  bool into_main_ = false;  // the main window takes the last run's main window
  TRestoreBar* bar_ = nullptr;
};
