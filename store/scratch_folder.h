// A private folder (0700, in the temporary folder) for copies of another
// program's files, removed with everything in it when it goes out of scope.
#pragma once

#include <string>

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Empty when no folder could be made.
  const std::string& Path() const { return path_; }

  static constexpr char kPattern[] = "tavorin-import-XXXXXX";

 private:
  std::string path_;
};

// Writes `bytes` as a new file at `path`, readable by its owner only, never
// through a link; false when it could not be written whole.
bool WritePrivateFile(const std::string& path, const std::string& bytes);
