#include "card/memory_card_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace tsunagi {
namespace {

TEST(CardFolder, FirstMountedCardInRootOrderThenNameOrder) {
    TempFolder folder;
    std::vector<std::string> roots = {folder.file("media-user"), folder.file("media"),
                                      folder.file("mnt")};
    EXPECT_EQ(FindCardFolder(roots), "");
    std::filesystem::create_directories(folder.file("mnt/SDCARD/") + kCardBackupFolder);
    std::filesystem::create_directories(folder.file("media/USB/PRIVATE"));  // not a phone card
    EXPECT_EQ(FindCardFolder(roots), folder.file("mnt/SDCARD/") + kCardBackupFolder);
    std::filesystem::create_directories(folder.file("media/ZZ/") + kCardBackupFolder);
    std::filesystem::create_directories(folder.file("media/AA/") + kCardBackupFolder);
    EXPECT_EQ(FindCardFolder(roots), folder.file("media/AA/") + kCardBackupFolder);
}

TEST(CardFolder, ACardMountedOnTheRootItselfAndNamesGarbledByTheCodePage) {
    TempFolder folder;
    std::vector<std::string> roots = {folder.file("media"), folder.file("mnt")};
    // Mounted straight on /mnt: PRIVATE sits in the root itself.
    std::filesystem::create_directories(folder.file("mnt/") + kCardBackupFolder);
    EXPECT_EQ(FindCardFolder(roots), folder.file("mnt/") + kCardBackupFolder);

    // Mounted with codepage 437, the phone's CP932 bytes for ﾕｰﾃｨﾘﾃｨ and ﾒﾓﾘﾀﾞｲﾔﾙ read as
    // other characters, and short names come in upper case.
    const std::string garbled =
        "/PRIVATE/SDJPHONE/\u2552\u2591\u251c\u00bf\u256a\u251c\u00bf/"
        "\u2565\u2559\u256a\u2514\u2590\u2593\u2558\u2518/DIAL.BCK";
    std::filesystem::create_directories(folder.file("media/CARD") + garbled);
    EXPECT_EQ(FindCardFolder(roots), folder.file("media/CARD") + garbled + "/");
    std::filesystem::create_directories(folder.file("media/AAA/private/sdjphone/x/y/dial.bck"));
    EXPECT_EQ(FindCardFolder(roots), folder.file("media/AAA/private/sdjphone/x/y/dial.bck/"));

    // Two candidates on one volume: the exact katakana names win.
    std::filesystem::create_directories(folder.file("media/AAA/") + kCardBackupFolder);
    EXPECT_EQ(FindCardFolder(roots), folder.file("media/AAA/") + kCardBackupFolder);
    // Something that only looks like a card does not count.
    std::filesystem::create_directories(folder.file("media/000/PRIVATE/SDJPHONE/x/DIAL.BCK"));
    EXPECT_EQ(FindCardFolder(roots), folder.file("media/AAA/") + kCardBackupFolder);
}

}  // namespace
}  // namespace tsunagi
