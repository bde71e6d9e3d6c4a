#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <fstream>

#include "card/checks.h"
#include "commands/save_command.h"
#include "export/address_book_writer.h"
#include "export/list_page_writer.h"
#include "import/csv_import.h"
#include "platform/codec.h"
#include "platform/error.h"
#include "store/entries.h"
#include "support/export_fixture.h"
#include "support/mounts.h"
#include "support/scripted_ui.h"
#include "support/sheet_files.h"
#include "support/temp_folder.h"
#include "workbook/sheet.h"

namespace tsunagi {
namespace {

using WriterGoldens = ExportFixture;

TEST_F(WriterGoldens, GoldenFilesForEntriesOfEveryShape) {
    addEntries(store);
    // The address book has one number of each kind and one mail; the list page three of each:
    // the save says whose did not fit, what else it leaves (a note, not whether the phone
    // shows the entry) and where they all would go.
    const std::string tail =
        "）。すべて残すには、vCard 3.0 か Google 連絡先 CSV で保存してください。";
    const std::string note = "）。\nこの形式にない次の項目は書き出していません：メモ（（名前なし）";
    EXPECT_EQ(exportAs("out.csv",
                       "この形式に入りきらない電話番号やメールアドレスは書き出していま"
                       "せん（山田 太郎、Smith, \"J\"、<b>&Co</b>" +
                           note + tail),
              readBytes(kGolden + "entries.csv"));
    // "03-ABC" and a number of 24 digits cannot go to the phone, and the save says so.
    EXPECT_EQ(exportAs("out.vcf",
                       "電話番号 2 件は、電話機で使えない形（数字以外の文字がある、または 24 "
                       "桁以上）のため書き出していません（<b>&Co</b>）。"),
              readBytes(kGolden + "entries.vcf"));
    EXPECT_EQ(exportAs("out.html",
                       "この形式に入りきらない電話番号やメールアドレスは書き出して"
                       "いません（山田 太郎" +
                           note + tail),
              readBytes(kGolden + "entries.html"));
}

TEST_F(WriterGoldens, TheDisplayNameOfAnAddressBookIsTheNameEveryWriterWrites) {
    // The Windows address book writes 名, 姓 and 表示名: the display name is the phone's name
    // and the name of the address book, the list page and the workbook; 姓 and 名 make it only
    // where it is empty. The records below are written from the address book's layout by hand.
    ImportCsvBook(
        store, folder.write("wab.csv", utf8ToCp932("名,姓,表示名,電子メール アドレス,携帯電話\r\n"
                                                   "太郎,山田,山田 太郎,taro@example.jp,090\r\n"
                                                   "花子,山田,,hanako@example.jp,080\r\n")));
    const std::string rest = ", , , , , , , , ,\r\n";
    std::string csv = exportAs("wab-out.csv", "");
    EXPECT_EQ(cp932ToUtf8(csv.substr(csv.find("\r\n") + 2)),
              "山田 太郎, , , 山田 太郎, , taro@example.jp, , , , , , , , 090 " + rest +
                  "山田花子, , , 山田花子, , hanako@example.jp, , , , , , , , 080 " + rest);
    std::string html = cp932ToUtf8(exportAs("wab-out.html", ""));
    EXPECT_NE(html.find("山田 太郎&nbsp;"), std::string::npos);
    EXPECT_NE(html.find("山田;花子&nbsp;"),
              std::string::npos);  // the list shows the name as stored
}

TEST_F(WriterGoldens, EmptyStore) {
    EXPECT_EQ(exportAs("e.csv"), "");
    EXPECT_EQ(exportAs("e.vcf"), "");
    EXPECT_EQ(exportAs("e.html"), "</table></td></tr></table></div></body></html>");
}

TEST_F(WriterGoldens, HtmlRowClosingForOneTwoAndThreeCards) {
    const std::string end = "</table></td></tr></table></div></body></html>";
    const std::string cardEnd = "</td></tr></table></td>\r\n";
    std::vector<EntryRow> held;
    for (int count = 1; count <= 3; ++count) {
        // Rows held in memory: the writer needs no store.
        EntryRow row;
        row.id = count;
        row.columns = {"BEGIN:VCARD", "END:VCARD"};
        row.columns.resize(kCardColumns);
        held.push_back(row);
        StringSink sink;
        WriteHtmlList(heldRows(held), sink);
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
    std::string note = exportToFile(store, folder.path(), path, FileKind::PhoneCards);
    EXPECT_NE(note.find("2 文字"), std::string::npos) << note;
    // Whose characters they were, by name.
    EXPECT_NE(note.find("（A😀B😀）"), std::string::npos) << note;
    EXPECT_NE(readBytes(path).find("N;CHARSET=SHIFT_JIS:A?B?\r\n"), std::string::npos);
}

TEST_F(WriterGoldens, OurOwnAddressBookReadsBackWithQuotedFields) {
    addEntries(store);
    std::string path = folder.file("book.csv");
    exportToFile(store, folder.path(), path, FileKind::AddressBook);
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
    addWorkbookTemplate(folder.path());
    Store store = Store::inMemory();
    {
        Connection connection = store.open();
        Transaction transaction(connection);
        EntryInserter inserter(connection);
        for (int i = 0; i < 65536; ++i)
            inserter.insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:n", "END:VCARD"});
        transaction.commit();
    }
    EXPECT_EQ(exportToFile(store, folder.path(), folder.file("big.xlsx"), FileKind::Workbook), "");
    EXPECT_TRUE(std::filesystem::exists(folder.file("big.xlsx")));
    try {
        exportToFile(store, folder.path(), folder.file("big.xls"), FileKind::Workbook);
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
