// Writing the settings file back from the settings window. Only the keys
// changed are touched: a file written by hand keeps its comments, the keys
// this version does not know, the order and the spacing of its lines.
#pragma once

#include <string>
#include <vector>

struct TSettingChange {
  std::string key;    // in the [Tavorin] group
  std::string value;  // as the reader takes it, unescaped
};

// Writes `changes` into the key file at `path`, read again just before so
// that what another copy wrote meanwhile stays; these keys win. The file is
// replaced whole and atomically, with mode 0600. Returns why it could not be
// written, or empty when it was; on a problem the file is left as it was.
// Waits up to two seconds while another copy writes: not for the window's thread.
std::string WriteSettings(const std::string& path, const std::vector<TSettingChange>& changes);

// WriteSettings without waiting: when another copy is writing, nothing is
// done, `busy` is set and kSettingsBusy returned, for the caller to try again
// later.
std::string TryWriteSettings(const std::string& path, const std::vector<TSettingChange>& changes,
                             bool& busy);
extern const char kSettingsBusy[];
