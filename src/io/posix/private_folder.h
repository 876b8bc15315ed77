// A folder made for one run of a helper program, which only this user can
// enter, so that nobody else can place or swap a file in it.
#pragma once

#include <string>

namespace varnel {

// Makes a new, empty folder with mode 0700 under $TMPDIR (or /tmp when it
// is not set) and returns its path. Throws FileError when it cannot.
std::string makePrivateFolder();

// Removes the folder and whatever lies in it; failures are ignored.
void removeFolderQuietly(const std::string& path);

}  // namespace varnel
