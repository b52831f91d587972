// The folder downloads are saved in.
#pragma once

#include <string>

// An absolute path, "~/..." or a path under the home folder; empty gives the
// desktop's Downloads folder back.
void SetDownloadFolder(std::string folder);
// The folder as set, or the desktop's Downloads folder; ~/Downloads where
// the desktop names none, or names the home folder itself.
std::string DownloadFolder();
