// The command line: tavorin [--help | --version] [--private] [URL...]
#pragma once

#include <optional>
#include <string>
#include <vector>

struct TCommandLine {
  std::vector<std::string> addresses;  // loadable, in the order given
  bool private_window = false;         // they open in private windows
  std::optional<int> exit_status;      // set when the program ends here
};

// Reads the arguments; help, the version and what was wrong are printed here.
TCommandLine ParseCommandLine(int argc, const char* const* argv);
