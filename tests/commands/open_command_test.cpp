#include "commands/open_command.h"

#include <gtest/gtest.h>

#include "card/memory_card_folder.h"
#include "store/entry_list.h"
#include "support/scripted_ui.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

const std::string kCard = "BEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:A\r\nEND:VCARD\r\n";

TEST(OpenCommand, RunningOutOfMemoryIsAMessageAndTheStoreStaysAsItWas) {
    TempFolder folder;
    Store store = Store::inMemory();
    ScriptedUi ui;
    CommandContext context{store, ui, folder.path(), "", false, {}};
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
    EXPECT_EQ(openKindForName("abc.vcf"), FileKind::PhoneCards);
    EXPECT_EQ(openKindForName("abc.VCF"), FileKind::PhoneCards);
    EXPECT_EQ(openKindForName("abc.Vcf"), std::nullopt);
    EXPECT_EQ(openKindForName("abc.txt"), std::nullopt);
    EXPECT_EQ(openKindForName("a.csv.vcf"), FileKind::PhoneCards);
    EXPECT_EQ(openKindForName("/x.CSV/list"), FileKind::AddressBook);
    EXPECT_EQ(openKindForName("book.XLS"), FileKind::Workbook);
    EXPECT_EQ(openKindForName("book.xlsx"), FileKind::Workbook);
}

TEST(OpenCommand, DialogStartsOnTheCardOrInBackupWithTheFilters) {
    TempFolder folder;
    Store store = Store::inMemory();
    ScriptedUi ui;
    CommandContext context{store, ui, "/prog", "", false, {folder.file("media")}};
    runOpenCommand(context);  // cancelled: nothing happens
    ASSERT_EQ(ui.requests.size(), 1u);
    EXPECT_EQ(ui.requests[0].title, "ファイルを開く");
    EXPECT_EQ(ui.requests[0].startFolder, "/prog/backup/");
    ASSERT_EQ(ui.requests[0].filters.size(), 2u);
    EXPECT_EQ(ui.requests[0].filters[1].name, "CSV");
    EXPECT_EQ(ui.requests[0].filters[1].extensions, (std::vector<std::string>{"csv", "CSV"}));

    std::filesystem::create_directories(folder.file("media/E/") + kCardBackupFolder);
    context.workbooksOffered = true;
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
    CommandContext context{store, ui, folder.path(), "", false, {}};
    std::string good = folder.write("card.VCF", kCard);
    std::string odd = folder.write("card.Vcf", kCard);
    std::string bad = folder.write("bad.vcf", kCard + "BEGIN:VCARD\r\nN:cut short\r\n");
    ui.fileAnswers = {good, good, odd, bad, folder.file("book.xls")};
    for (int i = 0; i < 5; ++i) runOpenCommand(context);
    EXPECT_EQ(readEntryList(store).size(), 2u);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find(bad), std::string::npos);
    EXPECT_NE(ui.messages[0].find("4 行目"), std::string::npos);
}

}  // namespace
}  // namespace tsunagi
