#include "commands/save_command.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "import/csv_import.h"
#include "import/vcf_import.h"
#include "platform/error.h"
#include "store/entries.h"
#include "support/export_fixture.h"
#include "support/mounts.h"
#include "support/scripted_ui.h"
#include "support/sheet_files.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

// The save command on a store of every shape, with the dialog answered by a script.
class SaveCommandRuns : public ExportFixture {
  protected:
    void SetUp() override { addEntries(store); }
    ScriptedUi ui;
    CommandContext context{store, ui, folder.path(), "", false, {}};
};

TEST(SaveCommand, TheProposedNameIsTheDate) {
    std::tm day{};
    day.tm_year = 126;
    day.tm_mon = 0;
    day.tm_mday = 5;
    EXPECT_EQ(proposedSaveName(day), "20260105");
}

TEST_F(SaveCommandRuns, DialogCancelAFolderNamedLikeAFileAndTheFilters) {
    std::filesystem::create_directories(folder.file("a.csv"));
    ui.fileAnswers = {std::nullopt, folder.file("a.csv/list.html"), folder.file("book.xls")};
    for (int i = 0; i < 3; ++i) runSaveCommand(context);
    ASSERT_EQ(ui.requests.size(), 3u);
    EXPECT_EQ(ui.requests[0].title, "ファイルへ保存");
    EXPECT_EQ(ui.requests[0].startFolder, folder.path() + "/backup/");
    EXPECT_EQ(ui.requests[0].proposedName.size(), 8u);
    std::vector<std::string> filters;
    for (const FileFilter& filter : ui.requests[0].filters) filters.push_back(filter.name);
    EXPECT_EQ(filters, (std::vector<std::string>{"HTML", "CSV", "VCF", "vCard 3.0 スマートフォン用",
                                                 "Google 連絡先 CSV"}));
    EXPECT_FALSE(std::filesystem::exists(folder.file(
        "book.xls")));  // no workbook engine offered
                        // The list page its name asks for, whatever its folder is called.
    EXPECT_EQ(readBytes(folder.file("a.csv/list.html")), readBytes(kGolden + "entries.html"));
    ASSERT_EQ(ui.messages.size(), 1u);  // whose numbers the list page could not hold
    EXPECT_NE(ui.messages[0].find("入りきらない"), std::string::npos);
}

TEST_F(SaveCommandRuns, ANameOfNoKindTakesTheSelectedFiltersExtension) {
    // The proposed name as the dialog offers it, saved with each filter selected.
    const std::pair<FileKind, const char*> cases[] = {{FileKind::ListPage, "20261206.html"},
                                                      {FileKind::AddressBook, "20261206.csv"},
                                                      {FileKind::PhoneCards, "20261206.vcf"},
                                                      {FileKind::Vcard3, "20261206.vcf"}};
    for (const auto& [filter, written] : cases) {
        std::filesystem::remove_all(folder.file(written));
        ui.fileAnswers = {folder.file("20261206")};
        ui.filterAnswers = {filter};
        runSaveCommand(context);
        EXPECT_TRUE(std::filesystem::exists(folder.file(written))) << written;
    }
    // A name of a kind keeps its own; "list.Csv" is no kind, so it gets ".html".
    ui.fileAnswers = {folder.file("list.Csv")};
    runSaveCommand(context);
    EXPECT_TRUE(std::filesystem::exists(folder.file("list.Csv.html")));
    // The smartphone filters choose their writer whatever the name says.
    ui.fileAnswers = {folder.file("phone.csv")};
    ui.filterAnswers = {FileKind::Vcard3};
    runSaveCommand(context);
    EXPECT_EQ(readBytes(folder.file("phone.csv")).substr(0, 26), "BEGIN:VCARD\r\nVERSION:3.0\r\n");
    ui.fileAnswers = {folder.file("google.vcf")};
    ui.filterAnswers = {FileKind::GoogleCsv};
    runSaveCommand(context);
    EXPECT_EQ(readBytes(folder.file("google.vcf")).substr(0, 11), "First Name,");
    // The formats for today's phones hold everything; the others say what they could not.
    ASSERT_EQ(ui.messages.size(), 4u);
    EXPECT_NE(ui.messages[2].find("電話番号 2 件"), std::string::npos);
    for (const std::string& message : ui.messages)
        EXPECT_EQ(message.find("vCard 3.0 スマートフォン用"), std::string::npos);
}

TEST_F(SaveCommandRuns, FailuresLeaveTheEarlierFileAndSaySo) {
    std::string earlier = folder.write("out.vcf", "earlier");

    // A full device: writes fail past a small size (the file-size limit stands in for it).
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    ui.fileAnswers = {earlier};
    runSaveCommand(context);
    setrlimit(RLIMIT_FSIZE, &saved);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find(earlier), std::string::npos);
    EXPECT_EQ(readBytes(earlier), "earlier");

    // A folder we may not write in (root may write anywhere, so only for other users).
    std::string locked = folder.file("locked");
    std::filesystem::create_directories(locked);
    chmod(locked.c_str(), 0555);
    ui.fileAnswers = {locked + "/new.csv"};
    runSaveCommand(context);
    chmod(locked.c_str(), 0755);
    if (geteuid() != 0) {
        ASSERT_EQ(ui.messages.size(), 2u);
        EXPECT_NE(ui.messages[1].find(locked + "/new.csv"), std::string::npos);
    }

    // A store that fails half way, and a target that is not a file, leave things as they were.
    Store broken(connectionStringFor(folder.file("missing.mdb")));
    EXPECT_THROW(exportToFile(broken, folder.path(), earlier, FileKind::AddressBook), TsunagiError);
    EXPECT_EQ(readBytes(earlier), "earlier");
    EXPECT_THROW(exportToFile(store, folder.path(), locked, FileKind::AddressBook), TsunagiError);
    EXPECT_TRUE(std::filesystem::is_directory(locked));
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = {"locked", "out.vcf"};
    if (geteuid() == 0) expected = {"locked", "new.csv", "out.vcf"};
    EXPECT_EQ(left, expected);
}

TEST_F(SaveCommandRuns, ARealFullDeviceAndAReadOnlyFolder) {
    std::string small = mountTmpfs(folder.file("small"), "size=64k");
    if (small.empty()) GTEST_SKIP() << "no mounts allowed here";
    {
        Connection connection = store.open();
        EntryInserter inserter(connection);
        for (int i = 0; i < 2000; ++i)
            inserter.insert(
                {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:n" + std::to_string(i), "END:VCARD"});
    }
    std::string earlier = small + "/out.vcf";
    std::ofstream(earlier) << "earlier";
    ui.fileAnswers = {earlier};
    runSaveCommand(context);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find(earlier), std::string::npos);
    EXPECT_EQ(readBytes(earlier), "earlier");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(small), {}), 1);

    std::string readOnly = mountTmpfs(folder.file("read-only"), "size=64k");
    ASSERT_EQ(mount("tmpfs", readOnly.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    ui.fileAnswers = {readOnly + "/list.html"};
    runSaveCommand(context);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_NE(ui.messages[1].find(readOnly + "/list.html"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(readOnly + "/list.html"));
    umount(readOnly.c_str());
    umount(small.c_str());
}

TEST_F(SaveCommandRuns, AnExistingFileIsReplacedOnlyWhenTheUserSaysSo) {
    std::string earlier = folder.write("20261206.vcf", "the first backup of the day");
    // Saved again under the same proposed name: asked, and "いいえ" (the default) keeps it and
    // goes back to the dialog, on that name and kind; cancelled there, nothing is written.
    ui.askAnswer = false;
    ui.fileAnswers = {folder.file("20261206"), std::nullopt};
    ui.filterAnswers = {FileKind::PhoneCards};
    EXPECT_FALSE(runSaveCommand(context));
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0], earlier + " は既にあります。置き換えますか？");
    EXPECT_EQ(readBytes(earlier), "the first backup of the day");
    ASSERT_EQ(ui.requests.size(), 2u);
    EXPECT_EQ(ui.requests[1].proposedName, "20261206.vcf");
    EXPECT_EQ(ui.requests[1].selectedKind, FileKind::PhoneCards);
    EXPECT_TRUE(ui.statuses.empty());
    // Yes replaces it; a new name asks nothing.
    ui.askAnswer = true;
    ui.fileAnswers = {earlier, folder.file("new.csv")};
    EXPECT_TRUE(runSaveCommand(context));
    EXPECT_TRUE(runSaveCommand(context));
    EXPECT_EQ(ui.questions.size(), 2u);
    EXPECT_EQ(readBytes(earlier), readBytes(kGolden + "entries.vcf"));
    // Each save says what it wrote where, without a dialog to dismiss.
    ASSERT_EQ(ui.statuses.size(), 2u);
    EXPECT_EQ(ui.statuses[1], "保存しました：" + folder.file("new.csv") + "（CSV）");
}

TEST_F(SaveCommandRuns, TheKindChosenLastIsOfferedAgain) {
    std::optional<FileKind> last;
    context.lastSaveKind = &last;
    ui.fileAnswers = {folder.file("phone"), std::nullopt};
    ui.filterAnswers = {FileKind::Vcard3};
    EXPECT_TRUE(runSaveCommand(context));
    EXPECT_FALSE(runSaveCommand(context));
    ASSERT_EQ(ui.requests.size(), 2u);
    EXPECT_EQ(ui.requests[0].selectedKind, std::nullopt);
    EXPECT_EQ(ui.requests[1].selectedKind, FileKind::Vcard3);
    // A name typed with its extension under another filter: the kind the name gave is offered,
    // so that the dialog does not change the name's extension back (out.vcf as out.html).
    std::string earlier = folder.write("out.vcf", "earlier");
    ui.askAnswer = false;
    ui.fileAnswers = {earlier, std::nullopt};
    ui.filterAnswers = {FileKind::ListPage};
    EXPECT_FALSE(runSaveCommand(context));
    ASSERT_EQ(ui.requests.size(), 4u);
    EXPECT_EQ(ui.requests[3].proposedName, "out.vcf");
    EXPECT_EQ(ui.requests[3].selectedKind, FileKind::PhoneCards);
    EXPECT_EQ(last, FileKind::PhoneCards);
    EXPECT_EQ(readBytes(earlier), "earlier");
}

TEST(SaveNotes, EachFormatOfThePhonesSideNamesWhatItLeaves) {
    TempFolder folder;
    addWorkbookTemplate(folder.path());
    Store store = Store::inMemory();
    {
        Connection connection = store.open();
        EntryInserter inserter(connection);
        // An old phone's rich card: its reading, note, company and group name are lines of the
        // phone, in its own file but in none of the lists. Whether the phone shows the entry
        // (X-CLASS), its group and memory-dial numbers are the phone's, not the person's.
        inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎",
                         "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾔﾏﾀﾞ;ﾀﾛｳ", "TEL;CELL:09011112222",
                         "NOTE;CHARSET=SHIFT_JIS:釣り仲間", "org;CHARSET=SHIFT_JIS:山田商事",
                         "X-GN;CHARSET=SHIFT_JIS:友人", "X-GNO:1", "X-CLASS:PUBLIC", "X-JPG-MDNO:1",
                         "END:VCARD"});
        // A smartphone's card: what the phone has no line for is kept beside it. Its mail and
        // reading are written; its identifiers are nothing of the person.
        std::vector<std::string> lines = {"BEGIN:VCARD", "VERSION:2.1",
                                          "N;CHARSET=SHIFT_JIS:Lee;Ann",
                                          "EMAIL;INTERNET:ann@example.com", "END:VCARD"};
        inserter.insert(lines,
                        std::vector<std::string>{
                            "PRODID:-//Apple Inc.//iPhone OS 17.0//EN", "N:Lee;Ann;Marie;Dr.;",
                            "FN:Dr. Ann Marie Lee", "item1.EMAIL;type=INTERNET:ann@example.com",
                            "item1.X-ABLabel:Club", "X-PHONETIC-LAST-NAME:リー", "BDAY:1980-05-05",
                            "UID:abc", "X-TSUNAGI-COLUMN;X-HEADING=\"好きな色\":青"});
        // The phone's own card with empty lines: nothing to name.
        inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:佐藤;健",
                         "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:;", "NOTE:", "TEL;CELL:09033334444",
                         "X-GNO:0", "X-JPG-MDNO:2", "END:VCARD"});
    }
    auto noteOf = [&](const std::string& name, std::optional<FileKind> kind = std::nullopt) {
        std::string path = folder.file(name);
        return exportToFile(store, folder.path(), path, kind ? *kind : *saveKindForName(path));
    };
    const std::string advice =
        "すべて残すには、vCard 3.0 か Google 連絡先 CSV で保存してください。";
    const std::string beyond = "敬称やミドルネーム、表示名、ラベル、誕生日、好きな色";
    EXPECT_EQ(noteOf("out.vcf"), "電話機の形式にない次の項目は書き出していません：" + beyond +
                                     "（Lee Ann）。" + advice);
    const std::string lists =
        "この形式にない次の項目は書き出していません：読み、メモ、会社名、グループ名、" + beyond +
        "（山田 太郎、Lee Ann）。" + advice;
    EXPECT_EQ(noteOf("out.csv"), lists);
    EXPECT_EQ(noteOf("out.html"), lists);
    EXPECT_EQ(noteOf("out.xls"), lists);
    EXPECT_EQ(noteOf("out.xlsx"), lists);
    // The formats for today's phones hold it all.
    EXPECT_EQ(noteOf("all.vcf", FileKind::Vcard3), "");
    EXPECT_EQ(noteOf("all.csv", FileKind::GoogleCsv), "");

    // The phone's own cards alone go to its file whole, without a word.
    Connection connection = store.open();
    deleteEntry(connection, 2);
    EXPECT_EQ(noteOf("phone.vcf"), "");
}

// The name's own kept lines are named only where they say more than the phone's name line.
TEST(SaveNotes, NameLinesAreNamedOnlyWhereTheySayMore) {
    TempFolder folder;
    auto noteFor = [&](const std::vector<std::string>& extras,
                       FileKind kind = FileKind::PhoneCards) {
        Store store = Store::inMemory();
        Connection connection = store.open();
        std::vector<std::string> card = {"BEGIN:VCARD", "VERSION:2.1",
                                         "N;CHARSET=SHIFT_JIS:田中;一郎",
                                         "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:PQ;R", "END:VCARD"};
        EntryInserter(connection).insert(card, extras);
        return exportToFile(store, folder.path(),
                            folder.file(kind == FileKind::PhoneCards ? "out.vcf" : "out.csv"),
                            kind);
    };
    auto names = [](const std::string& words) {
        return "電話機の形式にない次の項目は書き出していません：" + words +
               "（田中 一郎）。すべて残すには、vCard 3.0 か Google 連絡先 CSV "
               "で保存してください。";
    };
    // The display name the phone shows, either way round, or with an escaped ";" in a part.
    EXPECT_EQ(noteFor({"N:田中;一郎;;;", "FN:田中 一郎"}), "");
    EXPECT_EQ(noteFor({"N:田中;一郎;;;", "FN: 一郎 田中 "}), "");
    EXPECT_EQ(noteFor({"N:田\\;中;一郎;;;", "FN:田;中 一郎"}), "");
    EXPECT_EQ(noteFor({"N:田中;一郎;;;", "FN:田中一郎さん"}), names("表示名"));
    EXPECT_EQ(noteFor({"FN:田中 一郎"}), names("表示名"));  // no parts to make it from
    EXPECT_EQ(noteFor({"N:田中;一郎;;;Jr."}), names("敬称やミドルネーム"));
    EXPECT_EQ(noteFor({"N;ALTID=1;LANGUAGE=en:Tanaka;Ichiro;;;", "FN;ALTID=1:Ichiro Tanaka"}),
              names("ほかの言語の名前、表示名"));
    // A name, a display name or a reading said again is not the phone's line.
    EXPECT_EQ(noteFor({"N:田中;一郎;;;", "N:Tanaka;Ichiro;;;"}), names("名前"));
    EXPECT_EQ(noteFor({"N:田中;一郎;;;", "FN:田中 一郎", "FN:Ichiro Tanaka"}), names("表示名"));
    EXPECT_EQ(noteFor({"X-PHONETIC-LAST-NAME:ﾀﾅｶ", "X-PHONETIC-LAST-NAME:たなか"}), names("読み"));
    // A reading goes to the phone's own line; a ";" within it cannot.
    EXPECT_EQ(noteFor({"X-PHONETIC-LAST-NAME:たなか"}), "");
    EXPECT_EQ(noteFor({"X-PHONETIC-LAST-NAME:P\\;Q", "X-PHONETIC-FIRST-NAME:R"}),
              names("読みの「;」"));
    // Where the reading itself goes, that is all that is said of it.
    std::string book =
        noteFor({"X-PHONETIC-LAST-NAME:P\\;Q", "X-PHONETIC-FIRST-NAME:R"}, FileKind::AddressBook);
    EXPECT_NE(book.find("：読み（"), std::string::npos) << book;
}

TEST(SaveNotes, AnExtensionIsLeftOffForThePhoneAndSaidSo) {
    // The phone has no place for an extension, however it is written: the number goes to its
    // file without it, and the save says whose.
    TempFolder folder;
    Store store = Store::inMemory();
    {
        Connection connection = store.open();
        EntryInserter inserter(connection);
        inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎",
                         "TEL;VOICE;WORK:03-5555-0001,123<>TEL;VOICE;WORK:03-5555-0002;ext=45<>"
                         "TEL;CELL:090-1111-2222,#9",
                         "X-JPG-MDNO:1", "END:VCARD"});
    }
    std::string path = folder.file("out.vcf");
    EXPECT_EQ(exportToFile(store, folder.path(), path, FileKind::PhoneCards),
              "電話番号 1 件は、電話機で使えない形（数字以外の文字がある、または 24 "
              "桁以上）のため書き出していません（山田 太郎）。\n"
              "電話機は内線を持てないため、電話番号 2 件は内線を除いて書き出しました（山田 "
              "太郎）。");
    std::string bytes = readBytes(path);
    EXPECT_NE(bytes.find("TEL;VOICE;WORK:0355550001\r\nTEL;VOICE;WORK:0355550002\r\n"),
              std::string::npos)
        << bytes;
}

// A vCard file of `text` opened into a fresh store and saved as the phone's card file: how
// many entries it read, the save's message and the bytes written.
struct PhoneSave {
    long entries = 0;
    std::string note, bytes;
};

PhoneSave savedForThePhone(const std::string& text) {
    TempFolder folder;
    Store store = Store::inMemory();
    PhoneSave saved;
    saved.entries = importVcfFile(store, folder.write("in.vcf", text));
    std::string path = folder.file("out.vcf");
    saved.note = exportToFile(store, folder.path(), path, FileKind::PhoneCards);
    saved.bytes = readBytes(path);
    return saved;
}

TEST(SaveNotes, ACardBegunAndEndedInNumbersThePhoneCannotDialStillBeginsAndEnds) {
    // The phone's cards begin and end wherever BEGIN:VCARD and END:VCARD stand in a line: here
    // in number lines, which the phone's file leaves out. The card still begins and ends
    // there, and the next stays its own. The entry is named once, though two of its lines
    // left a number out.
    PhoneSave saved = savedForThePhone(
        "TEL;CELL:(03)BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:a;b\r\n"
        "X-JPG-MDNO:1\r\nTEL;CELL:(090)END:VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N;CHARSET=SHIFT_JIS:c;d\r\nX-JPG-MDNO:2\r\nEND:VCARD\r\n");
    EXPECT_EQ(saved.entries, 2);
    EXPECT_EQ(saved.note,
              "電話番号 2 件は、電話機で使えない形（数字以外の文字がある、または 24 "
              "桁以上）のため書き出していません（a b）。");
    std::string card = "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:";
    EXPECT_EQ(saved.bytes, card + "a;b\r\nX-JPG-MDNO:1\r\nEND:VCARD\r\n" + card +
                               "c;d\r\nX-JPG-MDNO:2\r\nEND:VCARD\r\n");
    // Read back, it is the two cards again, and written again the same file.
    PhoneSave again = savedForThePhone(saved.bytes);
    EXPECT_EQ(again.entries, 2);
    EXPECT_EQ(again.bytes, saved.bytes);
}

TEST(SaveNotes, ALineBreakInsideAValueIsABlankInThePhonesFileAndTheLinesItContinuesStay) {
    // Another program's name of two lines would end the phone's name line half-way where the
    // phone reads no continued line (an LF alone, "\n" in a vCard; a second line of a colon):
    // such a break is written as a blank, and said. The lines the phone's own file continues
    // (after a quoted-printable "=", or into text without a colon) are written as they came.
    const std::string phones =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:a;b\r\n"
        "NOTE;ENCODING=QUOTED-PRINTABLE:x=\r\ny: z\r\nNOTE:first\r\nsecond\r\n"
        "X-JPG-MDNO:1\r\nEND:VCARD\r\n";
    PhoneSave saved = savedForThePhone(
        phones +
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith\\nJones;Anna;;;\r\nFN:Anna Smith\r\n"
        "TEL;TYPE=CELL:09011112222\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Jo\\n\\nAnn;;;\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;ENCODING=QUOTED-PRINTABLE:Ito=0D=0AJr: Sr;Ken\r\n"
        "END:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;ENCODING=QUOTED-PRINTABLE:Ono=0D=0AJr;Aki\r\n"
        "END:VCARD\r\n");
    EXPECT_EQ(saved.entries, 5);
    EXPECT_EQ(saved.bytes.substr(0, phones.size()), phones);
    for (const char* line : {"Smith Jones;Anna", "Lee;Jo  Ann", "Ito Jr: Sr;Ken", "Ono\r\nJr;Aki"})
        EXPECT_NE(saved.bytes.find("\r\nN;CHARSET=SHIFT_JIS:" + std::string(line) + "\r\n"),
                  std::string::npos)
            << line << "\n"
            << saved.bytes;
    EXPECT_EQ(
        saved.note.substr(0, saved.note.find('\n')),
        "電話機のファイルは 1 行の途中で改行できないため、改行 4 か所は空白にして書き出しました"
        "（Smith Jones Anna、Lee Jo  Ann、Ito Jr）。");
    // Read back, the same cards, written again the same.
    PhoneSave again = savedForThePhone(saved.bytes);
    EXPECT_EQ(again.entries, 5);
    EXPECT_EQ(again.bytes, saved.bytes);
    EXPECT_EQ(again.note, "");
}

TEST(SaveNotes, ANameQuotedOverTwoLinesInACsvBookIsOneLineInThePhonesFileAndTwoElsewhere) {
    // A CSV field quoted over a CR LF: in the phone's line, text without a colon after a CR LF
    // reads as the name continued, which the phone's own file never does within a name.
    TempFolder folder;
    Store store = Store::inMemory();
    ImportCsvBook(store, folder.write("google.csv",
                                      "First Name,Last Name,Phone 1 - Label,Phone 1 - Value\r\n"
                                      "Anna,\"Smith\r\nJones\",Mobile,090-1111-2222\r\n"));
    std::string phone = folder.file("out.vcf"), cards3 = folder.file("out3.vcf");
    EXPECT_EQ(
        exportToFile(store, folder.path(), phone, FileKind::PhoneCards),
        "電話機のファイルは 1 行の途中で改行できないため、改行 1 か所は空白にして書き出しました"
        "（Smith Jones Anna）。");
    exportToFile(store, folder.path(), cards3, FileKind::Vcard3);
    EXPECT_EQ(readBytes(phone),
              "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:Smith Jones;Anna\r\n"
              "X-JPG-OWNER:0\r\nTEL;CELL:09011112222\r\nX-GNO:0\r\nX-JPG-MDNO:1\r\nEND:VCARD\r\n");
    EXPECT_NE(readBytes(cards3).find("\r\nN:Smith\\nJones;Anna;;;\r\n"), std::string::npos);
    // Read back, the phone's file is the same card, written again the same.
    PhoneSave again = savedForThePhone(readBytes(phone));
    EXPECT_EQ(again.bytes, readBytes(phone));
    EXPECT_EQ(again.note, "");
}

TEST(SaveNotes, ALineThatWouldEndOrBeginACardInThePhonesFileIsLeftOutAndSaidSo) {
    // Another program's card ends only at a whole END:VCARD line; the phone's wherever the
    // words stand. A mail or a number holding them is left out of the phone's file, the others
    // kept.
    PhoneSave saved = savedForThePhone(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:山田;太郎;;;\r\nEMAIL:x END:VCARD\r\n"
        "EMAIL:taro@example.jp\r\nEMAIL:BEGIN:VCARD\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:鈴木;花子;;;\r\nTEL:0311112222\r\n"
        "TEL:090:END:VCARD\r\nEND:VCARD\r\n");
    EXPECT_EQ(saved.entries, 2);
    EXPECT_EQ(saved.note,
              "電話機は BEGIN:VCARD と END:VCARD をどこにあってもカードの区切りと読むため、"
              "これを含む 3 行は書き出していません（山田 太郎、鈴木 花子）。");
    const std::string& bytes = saved.bytes;
    EXPECT_NE(bytes.find("\r\nEMAIL;INTERNET:taro@example.jp\r\nX-GNO:0\r\n"), std::string::npos)
        << bytes;
    EXPECT_NE(bytes.find("\r\nTEL;VOICE:0311112222\r\nX-GNO:0\r\n"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("x END:VCARD"), std::string::npos);
    EXPECT_EQ(bytes.find(":BEGIN:VCARD"), std::string::npos);
    EXPECT_EQ(savedForThePhone(bytes).entries, 2);
}

}  // namespace
}  // namespace tsunagi
