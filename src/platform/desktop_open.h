#pragma once

// Opening a file or a web address with the desktop's own program (xdg-open), so that its
// failure is seen: an opener that exits at once with an error has not opened anything.

#include <string>

namespace tsunagi {

// Runs `opener target` and waits up to `waitMilliseconds` for it. True when it exited with
// status 0 or is still running then (a browser it started in the foreground); false when it
// could not be started, exited with another status or was killed.
bool openWithDesktopProgram(const std::string& opener, const std::string& target,
                            int waitMilliseconds = 2000);

}  // namespace tsunagi
