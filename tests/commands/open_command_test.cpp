#include "commands/open_command.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    EXPECT_EQ(openKindForName("/x.CSV/list"), std::nullopt);  // a folder's name is no kind
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
    ASSERT_EQ(ui.requests[0].filters.size(), 3u);
    EXPECT_EQ(ui.requests[0].filters[0].name, "対応するすべてのファイル");
    EXPECT_EQ(ui.requests[0].filters[0].extensions,
              (std::vector<std::string>{"vcf", "VCF", "csv", "CSV"}));
    EXPECT_EQ(ui.requests[0].filters[2].name, "CSV");
    EXPECT_EQ(ui.requests[0].filters[2].extensions, (std::vector<std::string>{"csv", "CSV"}));

    std::filesystem::create_directories(folder.file("media/E/") + kCardBackupFolder);
    context.workbooksOffered = true;
    runOpenCommand(context);
    EXPECT_EQ(ui.requests[1].startFolder, folder.file("media/E/") + kCardBackupFolder);
    ASSERT_EQ(ui.requests[1].filters.size(), 4u);
    EXPECT_EQ(ui.requests[1].filters[3].name, "XLS");
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
    ui.askAnswer = false;  // the cut-short file is not kept in part
    for (int i = 0; i < 5; ++i) runOpenCommand(context);
    EXPECT_EQ(readEntryList(store).size(), 2u);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find(bad), std::string::npos);
    EXPECT_NE(ui.messages[0].find("4 行目"), std::string::npos);
}

TEST(OpenCommand, SeveralFilesOneMessageAndABackupCutShortAtItsLastCard) {
    TempFolder folder;
    Store store = Store::inMemory();
    ScriptedUi ui;
    std::string lastFolder;
    CommandContext context{store, ui, folder.path(), "", false, {}, &lastFolder};
    std::string two = folder.write("two.vcf", kCard + kCard);
    std::string cut =
        folder.write("cut.vcf", kCard + kCard + "BEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:C");
    std::string text = folder.write("notes.txt", "hello");

    // Declined: the cut file adds nothing, and one message names it with its line.
    ui.askAnswer = false;
    ui.fileAnswers = {two + "|" + cut};
    EXPECT_EQ(runOpenCommand(context), 2);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_NE(
        ui.questions[0].find("最後のデータが途中で切れています。完全な 2 件だけ読み込みますか？"),
        std::string::npos);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find(cut), std::string::npos);
    EXPECT_NE(ui.messages[0].find("7 行目"), std::string::npos);
    EXPECT_EQ(readEntryList(store).size(), 2u);
    // The next dialog starts where these files were.
    EXPECT_EQ(lastFolder, folder.path() + "/");
    ui.fileAnswers = {std::nullopt};
    runOpenCommand(context);
    EXPECT_EQ(ui.requests.back().startFolder, folder.path() + "/");

    // Accepted: the two whole cards are kept. Files dropped or named on the command line may
    // be of no kind at all, and are named.
    ui.askAnswer = true;
    ui.messages.clear();
    EXPECT_EQ(openFiles(context, {cut, text}), 2);
    EXPECT_EQ(readEntryList(store).size(), 4u);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find(text), std::string::npos);
}

TEST(OpenCommand, AnAddressBookOfUnknownHeadingsAsksWhatItsColumnsHold) {
    TempFolder folder;
    Store store = Store::inMemory();
    ScriptedUi ui;
    std::map<std::string, CsvAssignment> choices;
    CommandContext context{store, ui, "/prog", "", false, {}, nullptr, nullptr, &choices};
    std::string book = folder.write("liste.csv",
                                    "Nom,Portable,Courriel,役職\r\n"
                                    "Martin Léa,06 12 34 56 78,lea@example.fr,部長\r\n");
    // Esc: nothing of the file is stored, and that is said.
    ui.columnAnswers = {std::nullopt};
    EXPECT_EQ(openFiles(context, {book}, {}), 0);
    ASSERT_EQ(ui.previews.size(), 1u);
    EXPECT_EQ(ui.previews[0].guesses,
              (std::vector<std::string>{"family", "mobile", "mail", "title"}));
    EXPECT_EQ(ui.previews[0].samples[1], (std::vector<std::string>{"06 12 34 56 78"}));
    EXPECT_TRUE(readEntryList(store).empty());
    EXPECT_NE(ui.messages.back().find("読み込んでいません"), std::string::npos);
    // Chosen: read with the choice.
    ui.columnAnswers = {CsvAssignment{
        {"Nom", "name"}, {"Portable", "mobile"}, {"Courriel", "mail"}, {"役職", "title"}}};
    EXPECT_EQ(openFiles(context, {book}, {}), 1);
    Connection connection = store.open();
    std::optional<EntryRow> row = readEntry(connection, 1);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->at(2), "N;CHARSET=SHIFT_JIS:Martin;Léa");
    EXPECT_EQ(row->at(4), "TEL;CELL:06 12 34 56 78<>");
    // Guesses the user leaves as they are (by a heading in English, by the values) are read.
    ui.columnAnswers = {CsvAssignment{{"Contact", "name"}, {"Cell", "mobile"}}};
    EXPECT_EQ(
        openFiles(context, {folder.write("en.csv", "Contact,Cell\r\nAnn Lee,555-0100\r\n")}, {}),
        1);
    EXPECT_EQ(ui.previews.back().guesses, (std::vector<std::string>{"name", "mobile"}));
    EXPECT_EQ(readEntry(connection, 2)->at(4), "TEL;CELL:555-0100<>");
    // A file of the same headings is offered that choice again.
    ui.columnAnswers = {std::nullopt};
    openFiles(context, {folder.write("autre.csv", "Nom,Portable,Courriel,役職\r\nA B,07,,\r\n")},
              {});
    EXPECT_EQ(ui.previews.back().guesses,
              (std::vector<std::string>{"name", "mobile", "mail", "title"}));
    // A book whose headings name the person is read without a question; one with a column
    // that nothing of a person takes asks about it.
    ui.previews.clear();
    EXPECT_EQ(openFiles(context, {folder.write("known.csv", "氏名,携帯\r\n山田 花子,090\r\n")}, {}),
              1);
    EXPECT_TRUE(ui.previews.empty());
    EXPECT_EQ(openFiles(context,
                        {folder.write("more.csv", "氏名,携帯,趣味\r\n山田 花子,090,釣り\r\n")}, {}),
              1);
    ASSERT_EQ(ui.previews.size(), 1u);
    EXPECT_EQ(ui.previews[0].guesses, (std::vector<std::string>{"name", "mobile", "keep"}));
    // OK on the guesses reads the file as its headings say (a number's label still its type).
    EXPECT_EQ(openFiles(context,
                        {folder.write("google.csv",
                                      "First Name,Phone 1 - Label,Phone 1 - Value,"
                                      "Hobby\r\nAoi,Mobile,090,fishing\r\n")},
                        {}),
              1);
    Connection again = store.open();
    std::optional<EntryRow> aoi = readEntry(again, 4);
    ASSERT_TRUE(aoi);
    EXPECT_NE(std::find(aoi->columns.begin(), aoi->columns.end(),
                        std::optional<std::string>("TEL;CELL:090<>")),
              aoi->columns.end());
}

}  // namespace
}  // namespace tsunagi
