#pragma once

#include <string>
#include <vector>

namespace tsunagi {

// Where the phone keeps its memory-dial backups on its memory card.
inline constexpr const char* kCardBackupFolder = "PRIVATE/SDJPHONE/ﾕｰﾃｨﾘﾃｨ/ﾒﾓﾘﾀﾞｲﾔﾙ/DIAL.BCK/";

// The folders under which memory cards are mounted, in the order they are searched:
// /media/$USER, /run/media/$USER, /media, /mnt.
std::vector<std::string> defaultCardRoots();

// The backup folder (with a trailing "/") on the first mounted volume that has one, the
// volumes of each root taken in name order; "" when no card is found.
std::string FindCardFolder(const std::vector<std::string>& roots = defaultCardRoots());

}  // namespace tsunagi
