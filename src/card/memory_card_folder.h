#pragma once

#include <string>
#include <vector>

namespace tsunagi {

// Where the phone keeps its memory-dial backups on its memory card.
inline constexpr const char* kCardBackupFolder = "PRIVATE/SDJPHONE/ﾕｰﾃｨﾘﾃｨ/ﾒﾓﾘﾀﾞｲﾔﾙ/DIAL.BCK/";

// The folders under which memory cards are mounted, in the order they are searched:
// /media/$USER, /run/media/$USER, /media, /mnt.
std::vector<std::string> defaultCardRoots();

// The backup folder (with a trailing "/") on the first mounted volume that has one; "" when no
// card is found. Each root is a volume itself (a card mounted on /mnt) and holds volumes, taken
// in name order. A card mounted with another code page shows the phone's katakana folder names
// garbled, and FAT short names come in upper case, so a card folder is any
// PRIVATE/SDJPHONE/<any>/<any>/DIAL.BCK, compared without regard to case; on a volume with
// several, the one with the exact katakana names wins, else the first in name order.
std::string FindCardFolder(const std::vector<std::string>& roots = defaultCardRoots());

}  // namespace tsunagi
