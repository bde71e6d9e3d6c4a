#pragma once

// The program's name and version, as the windows, the message boxes and the command line say
// them.

#include <string>

namespace tsunagi {

inline constexpr const char* kAppTitle = "Tsunagi";
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionRevision = 0;

std::string versionText();  // "1.0.0"

}  // namespace tsunagi
