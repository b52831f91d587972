// Where a download's data is written: a temporary name of its own in the
// Downloads folder, given the download's name only when all of it is there.
// An existing file is never replaced. No toolkit here.
#pragma once

#include <string>

class DownloadFile {
 public:
  // Reserves a fresh temporary name in `folder`; false, with the reason in
  // Error(), when the folder cannot take it.
  bool Reserve(const std::string& folder);
  // Where the engine writes; it may put its own partial data next to it,
  // under this name with kEngineSuffix added.
  const std::string& TemporaryPath() const { return temporary_; }
  // Moves the data to `name` in the folder, or to the first free one of its
  // numbered alternatives; the final path, or "" with the reason in Error().
  std::string Commit(const std::string& name);
  // Removes what is left of the data; the final file, once committed, stays.
  void Discard();
  const std::string& Error() const { return error_; }

  static constexpr char kEngineSuffix[] = ".wkdownload";

 private:
  void RemoveEngineFiles();

  std::string folder_;
  std::string temporary_;
  std::string error_;
};

// Makes `folder` and its missing parents (mode 0700); false with the reason
// in `error` when it does not exist afterwards.
bool MakeFolder(const std::string& folder, std::string* error);
