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
    CommandContext context{store, ui, "/prog", "", {folder.file("media")}};
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
    CommandContext context{store, ui, folder.path(), "", {}};
    std::string good = folder.write("card.VCF", kCard);
    std::string odd = folder.write("card.Vcf", kCard);
    std::string bad = folder.write("bad.vcf", kCard + "BEGIN:VCARD\r\n\xff\xff\r\n");
    ui.fileAnswers = {good, good, odd, bad, folder.file("book.xls")};
    for (int i = 0; i < 5; ++i) runOpenCommand(context);
    EXPECT_EQ(readEntryList(store).size(), 2u);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find(bad), std::string::npos);
    EXPECT_NE(ui.messages[0].find("5 行目"), std::string::npos);
}

}  // namespace
}  // namespace tsunagi
