#include "export/writers.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <fstream>

#include "card/checks.h"
#include "export/save_command.h"
#include "import/csv_import.h"
#include "platform/codec.h"
#include "platform/error.h"
#include "store/entries.h"
#include "support/scripted_ui.h"
#include "support/temp_folder.h"
#include "workbook/sheet.h"

namespace tsunagi {
namespace {

const std::string kGolden = std::string(TSUNAGI_FIXTURES) + "/export/golden/";

// Entries of every shape the writers meet; golden/make_golden.py spells out what they give.
void addEntries(const Store& store) {
    Connection connection = store.open();
    EntryInserter inserter(connection);
    inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎;;;",
                     "X-JPG-OWNER:0",
                     "TEL;VOICE;HOME:03-1234-5678<>TEL;CELL:09012345678<>TEL;VOICE:0311112222<>"
                     "TEL;VOICE;WORK:0455556666",
                     "EMAIL;INTERNET:taro@example.jp<>EMAIL;CELL:taro@docomo.ne.jp", "X-GNO:1",
                     "X-CLASS:PRIVATE", "X-JPG-MDNO:17", "END:VCARD"});
    inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:Smith, \"J\"",
                     "X-JPG-OWNER:0", "<>TEL;VOICE:0312<>", "EMAIL;X400:odd@x.jp<>", "X-GNO:0",
                     "X-JPG-MDNO:", "END:VCARD"});
    inserter.insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:<b>&Co</b>",
                     "TEL;CELL:123456789012345678901234<>TEL;CELL:12345678901234567890123<>"
                     "TEL;VOICE;HOME:03-ABC<>",
                     "EMAIL;CELL:x@y.jp<>", "END:VCARD"});
    inserter.insert({"BEGIN:VCARD", "NOTE:first\r\nsecond", "X-JPG-MDNO:99", "END:VCARD"});
}

// A store of entries of every shape, exported to a temporary folder.
class ExportFixture : public ::testing::Test {
  protected:
    std::string exportAs(const std::string& name, const std::string& note = "") {
        std::string path = folder.file(name);
        EXPECT_EQ(exportToFile(store, folder.path(), path, exportKindFor(path)), note);
        return readBytes(path);
    }
    TempFolder folder;
    Store store = Store::inMemory();
};

using WriterGoldens = ExportFixture;

TEST_F(WriterGoldens, GoldenFilesForEntriesOfEveryShape) {
    addEntries(store);
    EXPECT_EQ(exportAs("out.csv"), readBytes(kGolden + "entries.csv"));
    // "03-ABC" and a number of 24 digits cannot go to the phone, and the save says so.
    EXPECT_EQ(exportAs("out.vcf",
                       "電話番号 2 件は、電話機で使えない形（数字以外の文字がある、または 24 "
                       "桁以上）のため書き出していません。"),
              readBytes(kGolden + "entries.vcf"));
    EXPECT_EQ(exportAs("out.html"), readBytes(kGolden + "entries.html"));
}

TEST(PhoneNumbers, AsThePhoneDialsThem) {
    EXPECT_EQ(phoneDigits("03-1234-5678"), "0312345678");
    EXPECT_EQ(phoneDigits("+81 90-1234-5678"), "09012345678");
    EXPECT_EQ(phoneDigits("+81 (0)3 1234 5678"), "0312345678");
    EXPECT_EQ(phoneDigits("(03) 1234 5678"), "0312345678");
    EXPECT_EQ(phoneDigits("03.1234.5678"), "0312345678");
    EXPECT_EQ(phoneDigits("+1 (212) 555-0100"),
              "0101212555010"
              "0");
    EXPECT_EQ(phoneDigits("03-ABC"), std::nullopt);
    EXPECT_EQ(phoneDigits("090+1"), std::nullopt);
    EXPECT_EQ(phoneDigits(" - "), std::nullopt);
    EXPECT_EQ(phoneDigits(std::string(23, '1')), std::string(23, '1'));
    EXPECT_EQ(phoneDigits(std::string(24, '1')), std::nullopt);
}

TEST_F(WriterGoldens, EmptyStore) {
    EXPECT_EQ(exportAs("e.csv"), "");
    EXPECT_EQ(exportAs("e.vcf"), "");
    EXPECT_EQ(exportAs("e.html"), "</table></td></tr></table></div></body></html>");
}

TEST_F(WriterGoldens, HtmlRowClosingForOneTwoAndThreeCards) {
    const std::string end = "</table></td></tr></table></div></body></html>";
    const std::string cardEnd = "</td></tr></table></td>\r\n";
    for (int count = 1; count <= 3; ++count) {
        {
            Connection connection = store.open();
            EntryInserter(connection).insert({"BEGIN:VCARD", "END:VCARD"});
        }
        StringSink sink;
        WriteHtmlList(store, sink);
        std::string expected = count == 1   ? cardEnd + "<td>&nbsp;</td><td>&nbsp;</td></tr>" + end
                               : count == 2 ? cardEnd + "<td>&nbsp;</td></tr>" + end
                                            : cardEnd + "</tr>" + end;
        EXPECT_EQ(sink.text.substr(sink.text.size() - expected.size()), expected) << count;
    }
}

TEST_F(WriterGoldens, UnmappableCharactersAreReplacedAndReported) {
    {
        Connection connection = store.open();
        EntryInserter inserter(connection);
        inserter.insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:ok", "END:VCARD"});
        inserter.insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:A😀B😀", "END:VCARD"});
    }
    std::string path = folder.file("r.vcf");
    std::string note = exportToFile(store, folder.path(), path, ExportKind::Vcf);
    EXPECT_NE(note.find("2 文字"), std::string::npos) << note;
    EXPECT_NE(note.find("データ 2"), std::string::npos) << note;
    EXPECT_NE(readBytes(path).find("N;CHARSET=SHIFT_JIS:A?B?\r\n"), std::string::npos);
}

TEST_F(WriterGoldens, OurOwnAddressBookReadsBackWithQuotedFields) {
    addEntries(store);
    std::string path = folder.file("book.csv");
    exportToFile(store, folder.path(), path, ExportKind::Csv);
    Store back = Store::inMemory();
    EXPECT_EQ(ImportCsvBook(back, path), 3);  // the fourth entry has none of the five fields
    Connection connection = back.open();
    std::vector<std::string> names, numbers;
    forEachEntry(connection, [&](const EntryRow& row) {
        names.push_back(row.at(2));
        numbers.push_back(row.at(4));
    });
    // Name, then every number: home, the office number from the fax column, mobile.
    EXPECT_EQ(names[0], "N;CHARSET=SHIFT_JIS:山田太郎");
    EXPECT_EQ(numbers[0],
              "TEL;VOICE;HOME:03-1234-5678<>TEL;VOICE;WORK:0455556666<>TEL;CELL:09012345678<>");
    EXPECT_EQ(names[1], "N;CHARSET=SHIFT_JIS:Smith, \"J\"");
    EXPECT_EQ(names[2], "N;CHARSET=SHIFT_JIS:<b>&Co</b>");
    EXPECT_EQ(numbers[2], "TEL;VOICE;HOME:03-ABC<>TEL;CELL:12345678901234567890123<>");
}

// The save command on a store of every shape, with the dialog answered by a script.
class SaveCommandRuns : public ExportFixture {
  protected:
    void SetUp() override { addEntries(store); }
    ScriptedUi ui;
    CommandContext context{store, ui, folder.path(), "", "", {}};
};

TEST(SaveCommand, KindsAndDispatchByTheWholePath) {
    EXPECT_EQ(exportKindFor("list.Csv"), ExportKind::Unknown);
    EXPECT_EQ(exportKindFor("/x/a.csv/list.html"), ExportKind::Csv);
    EXPECT_EQ(exportKindFor("a.VCF"), ExportKind::Vcf);
    EXPECT_EQ(exportKindFor("a.xls"), ExportKind::Xls);
    EXPECT_EQ(exportKindFor("a.xlsx"), ExportKind::Xls);
    EXPECT_EQ(exportKindFor("a.HTML"), ExportKind::Html);
    EXPECT_EQ(exportKindFor("a.htm"), ExportKind::Unknown);
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
    EXPECT_FALSE(std::filesystem::exists(folder.file("book.xls")));  // no workbook engine offered
    EXPECT_EQ(readBytes(folder.file("a.csv/list.html")), readBytes(kGolden + "entries.csv"));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SaveCommandRuns, ANameOfNoKindTakesTheSelectedFiltersExtension) {
    // The proposed name as the dialog offers it, saved with each filter selected.
    const std::pair<const char*, const char*> cases[] = {
        {"HTML", "20261206.html"},
        {"CSV", "20261206.csv"},
        {"VCF", "20261206.vcf"},
        {"vCard 3.0 スマートフォン用", "20261206.vcf"}};
    for (const auto& [filter, written] : cases) {
        std::filesystem::remove_all(folder.file(written));
        ui.fileAnswers = {folder.file("20261206")};
        ui.filterAnswers = {filter};
        runSaveCommand(context);
        EXPECT_TRUE(std::filesystem::exists(folder.file(written))) << filter;
    }
    // A name of a kind keeps its own; "list.Csv" is no kind, so it gets ".html".
    ui.fileAnswers = {folder.file("list.Csv")};
    runSaveCommand(context);
    EXPECT_TRUE(std::filesystem::exists(folder.file("list.Csv.html")));
    // The smartphone filters choose their writer whatever the name says.
    ui.fileAnswers = {folder.file("phone.csv")};
    ui.filterAnswers = {"vCard 3.0 スマートフォン用"};
    runSaveCommand(context);
    EXPECT_EQ(readBytes(folder.file("phone.csv")).substr(0, 26), "BEGIN:VCARD\r\nVERSION:3.0\r\n");
    ui.fileAnswers = {folder.file("google.vcf")};
    ui.filterAnswers = {"Google 連絡先 CSV"};
    runSaveCommand(context);
    EXPECT_EQ(readBytes(folder.file("google.vcf")).substr(0, 11), "First Name,");
    // Only the phone's card file had something to say: the numbers it cannot dial.
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("電話番号 2 件"), std::string::npos);
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
    EXPECT_THROW(exportToFile(broken, folder.path(), earlier, ExportKind::Csv), TsunagiError);
    EXPECT_EQ(readBytes(earlier), "earlier");
    EXPECT_THROW(exportToFile(store, folder.path(), locked, ExportKind::Csv), TsunagiError);
    EXPECT_TRUE(std::filesystem::is_directory(locked));
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = {"locked", "out.vcf"};
    if (geteuid() == 0) expected = {"locked", "new.csv", "out.vcf"};
    EXPECT_EQ(left, expected);
}

// A small tmpfs of our own, in a mount namespace of this test process, where that is allowed
// (root on Linux); the empty string where it is not.
std::string mountTmpfs(const std::string& where, const std::string& options) {
    static const bool privateMounts =
        unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    std::filesystem::create_directories(where);
    if (!privateMounts || mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) != 0)
        return "";
    return where;
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

TEST(WorkbookSaves, AFullDiskIsSaidInJapaneseAndTheLibraryKeepsQuiet) {
    TempFolder folder;
    std::string small = mountTmpfs(folder.file("small"), "size=16k");
    if (small.empty()) GTEST_SKIP() << "no mounts allowed here";
    std::string cards;
    for (int i = 0; i < 3000; ++i)
        cards += "BEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:n" + std::to_string(i * 7919) +
                 "\r\nTEL;CELL:090" + std::to_string(10000000 + i * 7919) + "\r\nEND:VCARD\r\n";
    std::string input = folder.write("cards.vcf", cards);
    std::string command = std::string(TSUNAGI_CLI) + " -o " + small + "/book.xlsx " + input +
                          " >/dev/null 2>" + folder.file("stderr");
    int status = std::system(command.c_str());
    std::string err = readBytes(folder.file("stderr"));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(err.find("ディスクがいっぱいです"), std::string::npos) << err;
    EXPECT_EQ(err.find("[ERROR]"), std::string::npos) << err;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(small), {}), 0);
    umount(small.c_str());
}

TEST(WorkbookSaves, XlsxHoldsMoreThanXlsDoes) {
    // One entry more than .xls can hold: .xlsx takes it, .xls says where the bound is.
    TempFolder folder;
    std::filesystem::create_directories(folder.file("database"));
    saveAsXls(templateSheet(), folder.file("database/template.xls"));
    Store store = Store::inMemory();
    {
        Connection connection = store.open();
        Transaction transaction(connection);
        EntryInserter inserter(connection);
        for (int i = 0; i < 65536; ++i)
            inserter.insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:n", "END:VCARD"});
        transaction.commit();
    }
    EXPECT_EQ(exportToFile(store, folder.path(), folder.file("big.xlsx"), ExportKind::Xls), "");
    EXPECT_TRUE(std::filesystem::exists(folder.file("big.xlsx")));
    try {
        exportToFile(store, folder.path(), folder.file("big.xls"), ExportKind::Xls);
        FAIL() << "65,536 entries were written to .xls";
    } catch (const TsunagiError& error) {
        EXPECT_NE(error.reason().find("65535"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(folder.file("big.xls")));
}

TEST(WriterEscapes, CsvFieldsAndHtmlTextAreEscapedOnlyWhereNeeded) {
    EXPECT_EQ(csvField("plain text"), "plain text");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(csvField("two\r\nlines"), "\"two\r\nlines\"");
    EXPECT_EQ(htmlText("<script>&\"'"), "&lt;script&gt;&amp;&quot;'");
}

}  // namespace
}  // namespace tsunagi
