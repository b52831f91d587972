// A store the program cannot use is said, never passed over in silence: one
// line on standard error at once, and the main window told (see
// window/store_trouble_notice.h), each file and reason once a run. Any
// thread may report; the window hears of it on the main loop.
#pragma once

#include <functional>
#include <string>

struct StoreTrouble {
  std::string what;    // the store, as the user knows it: 「履歴」, 「ブックマーク」...
  std::string file;    // its path
  std::string reason;  // what went wrong, or what was done about it
};

void ReportStoreTrouble(const StoreTrouble& trouble);
// `listener` hears every trouble reported, those before it first; on the main loop.
void OnStoreTrouble(std::function<void(const StoreTrouble&)> listener);

// Moves a damaged `file` (and the log files beside it) aside under a name
// that says so, never deleting it; the new name, or empty when it could not.
std::string MoveAside(const std::string& file);
