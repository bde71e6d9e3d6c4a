#include "import/open_command.h"

#include <gtest/gtest.h>

#include "platform/card_folder.h"
#include "store/entry_list.h"
#include "support/scripted_ui.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

const std::string kCard = "BEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:A\r\nEND:VCARD\r\n";

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

TEST(OpenCommand, RunningOutOfMemoryIsAMessageAndTheStoreStaysAsItWas) {
    TempFolder folder;
    Store store = Store::inMemory();
    ScriptedUi ui;
    CommandContext context{store, ui, folder.path(), "", "", {}};
    std::string many;
    for (int i = 0; i < 600; ++i) many += "BEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:A\r\nEND:VCARD\r\n";
    ui.fileAnswers = {folder.write("many.vcf", many)};
    EXPECT_EQ(runOpenCommand(context,
                             [](const std::string&, long cards) -> bool {
                                 if (cards >= 512) throw std::bad_alloc();
                                 return true;
                             }),
              0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("メモリが足りません"), std::string::npos);
    EXPECT_TRUE(readEntryList(store).empty());
}

TEST(OpenCommand, KindsFollowTheNameExactly) {
    EXPECT_EQ(importKindFor("abc.vcf"), ImportKind::Vcf);
    EXPECT_EQ(importKindFor("abc.VCF"), ImportKind::Vcf);
    EXPECT_EQ(importKindFor("abc.Vcf"), ImportKind::Unknown);
    EXPECT_EQ(importKindFor("abc.txt"), ImportKind::Unknown);
    EXPECT_EQ(importKindFor("a.csv.vcf"), ImportKind::Vcf);
    EXPECT_EQ(importKindFor("/x.CSV/list"), ImportKind::Csv);
    EXPECT_EQ(importKindFor("book.XLS"), ImportKind::Xls);
    EXPECT_EQ(importKindFor("book.xlsx"), ImportKind::Xls);
}

TEST(OpenCommand, DialogStartsOnTheCardOrInBackupWithTheFilters) {
    TempFolder folder;
    Store store = Store::inMemory();
    ScriptedUi ui;
    CommandContext context{store, ui, "/prog", "", "", {folder.file("media")}};
    runOpenCommand(context);  // cancelled: nothing happens
    ASSERT_EQ(ui.requests.size(), 1u);
    EXPECT_EQ(ui.requests[0].title, "ファイルを開く");
    EXPECT_EQ(ui.requests[0].startFolder, "/prog/backup/");
    ASSERT_EQ(ui.requests[0].filters.size(), 2u);
    EXPECT_EQ(ui.requests[0].filters[1].name, "CSV");
    EXPECT_EQ(ui.requests[0].filters[1].extensions, (std::vector<std::string>{"csv", "CSV"}));

    std::filesystem::create_directories(folder.file("media/E/") + kCardBackupFolder);
    context.xlsFilterPart = "|XLS (*.XLS)|*.xls";
    runOpenCommand(context);
    EXPECT_EQ(ui.requests[1].startFolder, folder.file("media/E/") + kCardBackupFolder);
    ASSERT_EQ(ui.requests[1].filters.size(), 3u);
    EXPECT_EQ(ui.requests[1].filters[2].name, "XLS");
    EXPECT_TRUE(readEntryList(store).empty());
}

TEST(OpenCommand, ImportsAppendAndFailuresAreShownWithoutLosingAnything) {
    TempFolder folder;
    Store store = Store::inMemory();
    ScriptedUi ui;
    CommandContext context{store, ui, folder.path(), "", "", {}};
    std::string good = folder.write("card.VCF", kCard);
    std::string odd = folder.write("card.Vcf", kCard);
    std::string bad = folder.write("bad.vcf", kCard + "BEGIN:VCARD\r\n\xff\xff\r\nEND:VCARD\r\n");
    ui.fileAnswers = {good, good, odd, bad, folder.file("book.xls")};
    for (int i = 0; i < 5; ++i) runOpenCommand(context);
    EXPECT_EQ(readEntryList(store).size(), 2u);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find(bad), std::string::npos);
    EXPECT_NE(ui.messages[0].find("5 行目"), std::string::npos);
}

}  // namespace
}  // namespace tsunagi
