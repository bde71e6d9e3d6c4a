#include "import/csv_import.h"

#include <gtest/gtest.h>

#include "platform/codec.h"
#include "platform/error.h"
#include "store/entries.h"
#include "support/rows.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

std::vector<std::string> card(const std::string& nameLine, const std::string& numbers,
                              const std::string& mails, int mdno) {
    std::vector<std::string> columns = {"BEGIN:VCARD", "VERSION:2.1"};
    if (!nameLine.empty()) columns.push_back("N;CHARSET=SHIFT_JIS:" + nameLine);
    columns.push_back("X-JPG-OWNER:0");
    if (!numbers.empty()) columns.push_back(numbers);
    if (!mails.empty()) columns.push_back(mails);
    columns.push_back("X-GNO:0");
    columns.push_back("X-JPG-MDNO:" + std::to_string(mdno));
    columns.push_back("END:VCARD");
    return columns;
}

// The heading line our own export writes, blanks and all.
const std::string kExportHeading =
    "名, 姓, ミドル ネーム, 表示名, ニックネーム, 電子メール アドレス, 自宅の番地, 自宅の市区町村, "
    "自宅の郵便番号, 自宅の都道府県, 国または地域, 自宅電話番号 :, 自宅ファックス, 携帯電話 , "
    "勤務先の番地, 勤務先の市区町村, 勤務先の郵便番号, 勤務先の都道府県, 勤務先の国または地域, "
    "勤務先電話番号, 会社名, 役職, メモ";

TEST(CsvImport, ExportLayoutWithOneNumberPerLineAndCountedEmptyLines) {
    TempFolder folder;
    Store store = Store::inMemory();
    std::string text = kExportHeading + "\r\n" +
                       "山田太郎, , , 山田太郎, , taro@example.jp, , , , , , 03-1111, 045, 090 , , "
                       ", , , , , , , \r\n"
                       "\r\n"
                       "李, , , 李, , , , , , , , , 045-2222, 090-3333 , , , , , , , , , \r\n"
                       ", , , , , , , , , , , , , 080 , , , , , , , , , \r\n";
    long added = ImportCsvBook(store, folder.write("book.csv", utf8ToCp932(text)));
    EXPECT_EQ(added, 3);
    EXPECT_EQ(
        storedRows(store),
        (Rows{card("山田太郎", "TEL;VOICE;HOME:03-1111<>", "EMAIL;INTERNET:taro@example.jp", 1),
              card("李", "TEL;VOICE;WORK:045-2222<>", "", 3), card("", "TEL;CELL:080<>", "", 4)}));
}

TEST(CsvImport, HeadingVariants) {
    CsvHeadings found =
        findHeadings({" 表示名 ", "表示名 ふりがな", "電子メール アドレス",
                      "自宅電話番号 :", "携帯電話", "携帯電話 2", "自宅ファックス"});
    EXPECT_EQ(found.name, 0);
    EXPECT_EQ(found.mail, 2);
    EXPECT_EQ(found.home, 3);
    EXPECT_EQ(found.mobile, 5);  // the later of two matching headings
    EXPECT_EQ(found.fax, 6);
    CsvHeadings none = findHeadings({"Name", "E-mail"});
    EXPECT_EQ(none.name, -1);
    EXPECT_EQ(none.home, -1);
}

TEST(CsvImport, HeadingOnlyAndUnknownHeadingsAddNothing) {
    TempFolder folder;
    Store store = Store::inMemory();
    EXPECT_EQ(ImportCsvBook(store, folder.write("a.csv", utf8ToCp932(kExportHeading + "\r\n"))), 0);
    EXPECT_EQ(ImportCsvBook(store, folder.write("b.csv", "Name,Mail\r\nA,a@b.jp\r\n")), 0);
    EXPECT_TRUE(storedRows(store).empty());
}

TEST(CsvImport, QuotedFieldsFollowRfc4180AndUtf8WithMarkIsRead) {
    TempFolder folder;
    Store store = Store::inMemory();
    std::string text =
        "\xEF\xBB\xBF表示名,携帯電話,電子メール アドレス\r\n"
        "\"Smith, John\",\"090\",\"a\"\"b@example.jp\"\r\n"
        "\"two\r\nlines\",080,\r\n"
        "plain\"quote,070,\r\n";
    ImportCsvBook(store, folder.write("q.csv", text));
    EXPECT_EQ(storedRows(store),
              (Rows{card("Smith, John", "TEL;CELL:090<>", "EMAIL;INTERNET:a\"b@example.jp", 1),
                    card("two\r\nlines", "TEL;CELL:080<>", "", 2),
                    card("plain\"quote", "TEL;CELL:070<>", "", 3)}));
}

TEST(CsvImport, FailuresKeepNothingOfTheFile) {
    TempFolder folder;
    Store store = Store::inMemory();
    std::string bad = "表示名\r\nA\r\nB\x85\x40\r\n";
    try {
        ImportCsvBook(store,
                      folder.write("bad.csv", utf8ToCp932("表示名\r\nA\r\n") + "B\x85\x40\r\n"));
        FAIL();
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.line(), 3);
    }
    EXPECT_THROW(ImportCsvBook(store, folder.write("open.csv", "表示名\r\n\"never closed\r\n")),
                 TsunagiError);
    EXPECT_TRUE(storedRows(store).empty());
}

}  // namespace
}  // namespace tsunagi
