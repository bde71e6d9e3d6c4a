#pragma once

// Temporary files that have a name are removed when the program is stopped by SIGTERM, SIGINT
// or SIGHUP, so that an interrupted save leaves nothing behind. (SIGKILL cannot be caught:
// that is why temporaries have no name at all where the file system allows it.)

#include <string>

namespace tsunagi {

// Registers a path to be removed on those signals; false when the registry is full.
bool removeOnSignal(const std::string& path);
// The path is committed or gone: it must not be removed any more.
void forgetOnSignal(const std::string& path);

}  // namespace tsunagi
