// Reading a file the program keeps, or one the user chose, without trusting
// what is there: a FIFO, a device, a socket or a directory in its place is
// refused at once (never waited on), and a file larger than the caller's
// limit is refused before a byte of it is read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

enum class FileRefusal {
  kNone,
  kMissing,     // no file there: usually not a trouble at all
  kNotRegular,  // a FIFO, device, socket or directory
  kTooLarge,
  kUnreadable,  // permissions, I/O error, or it changed while read
};

struct RegularFileRead {
  std::optional<std::string> contents;  // set only when the whole file was read
  FileRefusal refusal = FileRefusal::kNone;
  std::string reason;  // for the user and standard error, in Japanese; empty when read
};

// Opens `path` with O_NONBLOCK (and follows a symlink only to a regular
// file), checks it is regular and at most `largest` bytes, and reads it whole.
RegularFileRead ReadRegularFile(const std::string& path, std::size_t largest);

// Whether `path` names a regular file, or nothing: what may be written over.
// Never opens the file, so a FIFO cannot block the caller.
bool RegularOrMissing(const std::string& path);
