#include "import/csv_import.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/codec.h"
#include "platform/error.h"
#include "store/entries.h"
#include "support/rows.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

// A card built from an address-book line: it has no reading.
std::vector<std::string> card(const std::string& name, const std::string& numbers,
                              const std::string& mails, int mdno) {
    return normalisedCard(name, "", numbers, mails, mdno);
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
    EXPECT_EQ(storedRows(store),
              (Rows{card("山田太郎", "TEL;VOICE;HOME:03-1111<>TEL;VOICE;WORK:045<>TEL;CELL:090<>",
                         "EMAIL;INTERNET:taro@example.jp", 1),
                    card("李", "TEL;VOICE;WORK:045-2222<>TEL;CELL:090-3333<>", "", 3),
                    card("", "TEL;CELL:080<>", "", 4)}));
}

TEST(CsvImport, HeadingVariants) {
    std::optional<CsvLayout> found =
        findLayout({" 表示名 ", "表示名 ふりがな", "電子メール アドレス",
                    "自宅電話番号 :", "携帯電話", "携帯電話 2", "自宅ファックス"});
    ASSERT_TRUE(found);
    std::vector<std::pair<int, CsvRole>> roles;
    for (const CsvColumn& column : found->columns) roles.push_back({column.position, column.role});
    // The later of two matching headings; the numbers home, fax (the office), mobile, then
    // every other heading that names a telephone.
    EXPECT_EQ(roles, (std::vector<std::pair<int, CsvRole>>{{0, CsvRole::Name},
                                                           {2, CsvRole::Mail},
                                                           {3, CsvRole::Home},
                                                           {6, CsvRole::Work},
                                                           {5, CsvRole::Mobile},
                                                           {4, CsvRole::Mobile}}));
    EXPECT_FALSE(findLayout({"Nom", "Courriel"}));
    // Headings and Google's labels go by one word table: a car phone is a mobile.
    std::optional<CsvLayout> outlook =
        findLayout({"First Name", "Car Phone", "自動車電話", "Business Fax", "Pager"});
    ASSERT_TRUE(outlook);
    std::vector<CsvRole> numberRoles;
    for (const CsvColumn& column : outlook->columns)
        if (column.position > 0) numberRoles.push_back(column.role);
    EXPECT_EQ(numberRoles, (std::vector<CsvRole>{CsvRole::Mobile, CsvRole::Mobile, CsvRole::Work,
                                                 CsvRole::Other}));
    // A numbered heading of absurd digits is no group (found by fuzzing: it overflowed).
    EXPECT_FALSE(findLayout({"Phone 99999999999999999999 - Value"}));
    ASSERT_TRUE(findLayout({"Phone 12 - Value"}));
    EXPECT_EQ(findLayout({"Phone 12 - Value"})->columns.at(0).group, 12);
}

TEST(CsvImport, HeadingOnlyAddsNothingAndUnknownHeadingsAreRefused) {
    TempFolder folder;
    Store store = Store::inMemory();
    EXPECT_EQ(ImportCsvBook(store, folder.write("a.csv", utf8ToCp932(kExportHeading + "\r\n"))), 0);
    std::string unknown = folder.write("b.csv", "Nom,Courriel\r\nA,a@b.jp\r\n");
    try {
        ImportCsvBook(store, unknown);
        FAIL() << "a file of unknown headings was taken for an empty address book";
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.file(), unknown);
        EXPECT_EQ(error.line(), 1);
        EXPECT_NE(error.reason().find("表示名"), std::string::npos);
        EXPECT_NE(error.reason().find("Google"), std::string::npos);
    }
    EXPECT_TRUE(storedRows(store).empty());
}

TEST(CsvImport, GoogleContactsTodayAndBefore) {
    TempFolder folder;
    Store store = Store::inMemory();
    // Today's export: UTF-8 with a mark, numbered label and value pairs, " ::: " in a cell.
    std::string today =
        "\xEF\xBB\xBF"
        "First Name,Middle Name,Last Name,Phonetic First Name,Phonetic Middle Name,Phonetic Last "
        "Name,Name Prefix,Name Suffix,Nickname,File As,Organization Name,Organization "
        "Title,Organization Department,Birthday,Notes,Photo,Labels,E-mail 1 - Label,E-mail 1 - "
        "Value,Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,Phone 2 - Value\n"
        "太郎,,山田,タロウ,,ヤマダ,,,,,,,,,\"memo\nover lines\",,* myContacts,* Home,"
        "taro@example.jp ::: t@example.com,Mobile,+81 90-1234-5678,Work,03-1111-2222\n"
        "John,,Smith,,,,,,,,,,,,,,* myContacts,,,Home,(03) 3333 4444,,\n";
    ImportReport report;
    EXPECT_EQ(ImportCsvBook(store, folder.write("google.csv", today), {}, &report), 2);
    // The label Google gives every contact is nothing kept, where it was named as kept.
    EXPECT_EQ(report.keptColumns, (std::vector<std::string>{"Notes"}));
    // The older export: Name, Given Name, Family Name, Yomi, "Type" for the label.
    std::string before =
        "Name,Given Name,Additional Name,Family Name,Yomi Name,Given Name Yomi,Additional Name "
        "Yomi,Family Name Yomi,E-mail 1 - Type,E-mail 1 - Value,Phone 1 - Type,Phone 1 - Value\r\n"
        "鈴木 花子,花子,,鈴木,すずき はなこ,,,,* Other,hana@example.jp,Mobile,080-5555-6666\r\n";
    EXPECT_EQ(ImportCsvBook(store, folder.write("old-google.csv", before)), 1);
    // A stray CR at the end of a file of LF lines, or in a name's cell beside a name: no one,
    // and no part of a name.
    EXPECT_EQ(ImportCsvBook(store, folder.write("cr.csv", "First Name,Phone 1 - Value\n\r")), 0);
    Store strayed = Store::inMemory();
    EXPECT_EQ(ImportCsvBook(strayed, folder.write("cr-beside.csv",
                                                  "First Name,Last "
                                                  "Name,Phone 1 - Value\n"
                                                  "\r,Ono,090\n")),
              1);
    Connection connection = strayed.open();
    forEachEntry(connection, [](const EntryRow& row) {
        for (const std::string& extra : row.extras)
            EXPECT_EQ(extra.find("\\n"), std::string::npos) << extra;
    });
    EXPECT_EQ(
        storedRows(store),
        (Rows{normalisedCard("山田;太郎", "ﾔﾏﾀﾞ;ﾀﾛｳ",
                             "TEL;CELL:+81 90-1234-5678<>TEL;VOICE;WORK:03-1111-2222<>",
                             "EMAIL;INTERNET:taro@example.jp<>EMAIL;INTERNET:t@example.com<>", 1),
              normalisedCard("Smith;John", "", "TEL;VOICE;HOME:(03) 3333 4444<>", "", 2),
              normalisedCard("鈴木;花子", "ｽｽﾞｷ;ﾊﾅｺ", "TEL;CELL:080-5555-6666<>",
                             "EMAIL;INTERNET:hana@example.jp", 1)}));
}

TEST(CsvImport, ThunderbirdAndOutlookInEnglishAndJapanese) {
    TempFolder folder;
    Store store = Store::inMemory();
    std::string thunderbird =
        "First Name,Last Name,Display Name,Nickname,Primary Email,Secondary Email,Screen "
        "Name,Work Phone,Home Phone,Fax Number,Pager Number,Mobile Number\n"
        "Anna,Berg,Anna Berg,,anna@example.org,berg@example.org,,+49 30 1234,,,,+49 170 5678\n";
    EXPECT_EQ(ImportCsvBook(store, folder.write("thunderbird.csv", thunderbird)), 1);
    std::string outlook =
        "Title,First Name,Middle Name,Last Name,Suffix,E-mail Address,E-mail 2 Address,Home "
        "Phone,Business Phone,Mobile Phone\r\n"
        ",Ken,,Sato,,ken@example.jp,,03-1234-5678,,090-1111-2222\r\n";
    EXPECT_EQ(ImportCsvBook(store, folder.write("outlook.csv", outlook)), 1);
    // Outlook in Japanese, in CP932: 姓 and 名 without 表示名, and the office number too.
    std::string japanese = utf8ToCp932(
        "姓,名,電子メール アドレス,自宅電話番号,携帯電話,勤務先電話番号\r\n"
        "高橋,一郎,ichiro@example.jp,03-5555-6666,090-7777-8888,045-999-0000\r\n");
    EXPECT_EQ(ImportCsvBook(store, folder.write("outlook-ja.csv", japanese)), 1);
    EXPECT_EQ(
        storedRows(store),
        (Rows{
            normalisedCard("Berg;Anna", "", "TEL;VOICE;WORK:+49 30 1234<>TEL;CELL:+49 170 5678<>",
                           "EMAIL;INTERNET:anna@example.org<>EMAIL;INTERNET:berg@example.org<>", 1),
            normalisedCard("Sato;Ken", "", "TEL;VOICE;HOME:03-1234-5678<>TEL;CELL:090-1111-2222<>",
                           "EMAIL;INTERNET:ken@example.jp", 1),
            normalisedCard("高橋;一郎", "",
                           "TEL;VOICE;HOME:03-5555-6666<>TEL;CELL:090-7777-8888<>"
                           "TEL;VOICE;WORK:045-999-0000<>",
                           "EMAIL;INTERNET:ichiro@example.jp", 1)}));
}

TEST(CsvImport, AnUnclosedQuoteIsReadInLinearTimeAndEndsAtItsBound) {
    TempFolder folder;
    Store store = Store::inMemory();
    // 20,000 lines after an opening quote: the record stops at its bound and names the line
    // where the quote opened. (Re-reading the whole record for every line, as a quadratic reader
    // does, would take minutes here.)
    std::string text = "表示名,携帯電話\r\nA,090\r\n\"B";
    for (int i = 0; i < 20000; ++i) text += ",0" + std::to_string(i) + "\r\n";
    try {
        ImportCsvBook(store, folder.write("open.csv", utf8ToCp932(text)));
        FAIL();
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.line(), 3);
    }
    EXPECT_TRUE(storedRows(store).empty());
}

TEST(CsvImport, QuotedFieldsFollowRfc4180AndUtf8WithMarkIsRead) {
    TempFolder folder;
    Store store = Store::inMemory();
    std::string text =
        "\xEF\xBB\xBF表示名,携帯電話,電子メール アドレス\r\n"
        "\"Smith, John\",\"090\",\"a\"\"b@example.jp\"\r\n"
        "\"two\r\nlines\",080,\r\n"
        "plain\"quote,070,\r\n"
        // A quoted text keeps its breaks as the file has them, a CR alone among CR LF too.
        "\"c\rr\",060,\r\n";
    ImportCsvBook(store, folder.write("q.csv", text));
    EXPECT_EQ(storedRows(store),
              (Rows{card("Smith, John", "TEL;CELL:090<>", "EMAIL;INTERNET:a\"b@example.jp", 1),
                    card("two\r\nlines", "TEL;CELL:080<>", "", 2),
                    card("plain\"quote", "TEL;CELL:070<>", "", 3),
                    card("c\rr", "TEL;CELL:060<>", "", 4)}));
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

    // Far into a big file, read ahead of the store: still its own line, still nothing kept.
    std::string big = utf8ToCp932("表示名\r\n");
    for (int i = 0; i < 3000; ++i) big += "A" + std::to_string(i) + "\r\n";
    std::string path = folder.write("big.csv", big + "B\x85\x40\r\n");
    try {
        ImportCsvBook(store, path);
        FAIL();
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.file(), path);
        EXPECT_EQ(error.line(), 3002);
    }
    EXPECT_TRUE(storedRows(store).empty());
    EXPECT_EQ(ImportCsvBook(store, folder.write("good.csv", big)), 3000);
}

// A fuzzing finding: a primary label ("* Home") read a view of a blank-trimmed copy that was
// already gone.
TEST(CsvImport, APrimaryLabelOfGooglesIsReadSafely) {
    TempFolder folder;
    Store store = Store::inMemory();
    std::string book =
        "First Name,Last Name,E-mail 1 - Label,E-mail 1 - Value,Phone 1 - Label,Phone 1 - Value\n"
        "\"A \"\"q\"\"\",B,* Home,a@b.jp ::: c@d.jp,Mobile,+81 90-1\n";
    EXPECT_EQ(ImportCsvBook(store, folder.write("primary.csv", book)), 1);
    Connection connection = store.open();
    std::vector<std::string> extras = readExtras(connection, 1);
    EXPECT_NE(std::find(extras.begin(), extras.end(), "EMAIL;TYPE=INTERNET,HOME,pref:a@b.jp"),
              extras.end());
}

TEST(CsvImport, AFileWithoutAHeadingLineLosesNotItsFirstPerson) {
    TempFolder folder;
    std::string path =
        folder.write("nohead.csv", utf8ToCp932("山田太郎,090-1111-2222,taro@example.jp,1980/5/1\r\n"
                                               "佐藤花子,03-5555-6666,hanako@example.jp,\r\n"));
    // Its first row holds values: data, the columns named by position and guessed by value.
    CsvColumnsPreview preview = previewCsvColumns(path);
    EXPECT_TRUE(preview.firstRowIsData);
    EXPECT_TRUE(preview.needsChoice);
    EXPECT_EQ(preview.headings, (std::vector<std::string>{"1列目", "2列目", "3列目", "4列目"}));
    EXPECT_EQ(preview.guesses, (std::vector<std::string>{"name", "mobile", "mail", "birthday"}));
    EXPECT_EQ(preview.samples[0], (std::vector<std::string>{"山田太郎", "佐藤花子"}));
    // Read with the columns by position, the first person arrives, numbered 1, a mobile.
    CsvAssignment assignment = parseColumnAssignment("1=name,2=mobile,3=mail,4=birthday");
    assignment.firstRowIsData = true;
    Store store = Store::inMemory();
    EXPECT_EQ(ImportCsvBook(store, path, {}, nullptr, &assignment), 2);
    EXPECT_EQ(
        storedRows(store),
        (Rows{card("山田太郎", "TEL;CELL:090-1111-2222<>", "EMAIL;INTERNET:taro@example.jp", 1),
              card("佐藤花子", "TEL;CELL:03-5555-6666<>", "EMAIL;INTERNET:hanako@example.jp", 2)}));
    // A file whose first row is headings is not taken for data.
    EXPECT_FALSE(previewCsvColumns(folder.write("head.csv", "Nom,Portable\r\nLéa,0612345678\r\n"))
                     .firstRowIsData);
}

// A column without a heading is named by its position, in the preview, in the message and in
// what is kept, so that it reads back from the Google CSV under the same name; a cell of a stray
// CR says nothing; a value of zeros that is no date is a value.
TEST(CsvImport, AColumnWithoutAHeadingIsNamedByItsPlace) {
    TempFolder folder;
    std::string path = folder.write("book.csv",
                                    "Name,,Phone\r\nTaro,memo text,090-1111-2222\r\n"
                                    ",\r,\r\n");
    EXPECT_EQ(previewCsvColumns(path).headings,
              (std::vector<std::string>{"Name", "2列目", "Phone"}));
    Store store = Store::inMemory();
    ImportReport report;
    EXPECT_EQ(ImportCsvBook(store, path, {}, &report), 1);
    EXPECT_EQ(report.keptColumns, (std::vector<std::string>{"2列目"}));
    Connection connection = store.open();
    EXPECT_EQ(readEntry(connection, 1)->extras.at(0),
              "X-TSUNAGI-COLUMN;X-HEADING=\"2列目\":memo text");

    // Outlook's empty date is no date; zeros that are no date ("0.0", "/0/") are a value.
    ImportCsvBook(store, folder.write("outlook.csv",
                                      "Name,Notes,Birthday,Custom Field 1 - Label,Custom "
                                      "Field 1 - Value\r\nJiro,0.0,0/0/00,/0/,x\r\n"));
    EXPECT_EQ(
        readEntry(connection, 2)->extras,
        (std::vector<std::string>{"NOTE:0.0", "item1.X-TSUNAGI-FIELD:x", "item1.X-ABLabel:/0/"}));
}

TEST(CsvImport, ColumnsOfOtherLanguagesAndOfPlainValuesAreGuessed) {
    TempFolder folder;
    // French and English headings the program has no layout for, and headings that say
    // nothing over numbers and mails: each offered as what it holds, the name found.
    CsvColumnsPreview french = previewCsvColumns(
        folder.write("fr.csv",
                     "Prénom,Nom,Portable,Courriel,Société,Anniversaire\r\n"
                     "Léa,Martin,06 12 34 56 78,lea@example.fr,Acme,1990-04-01\r\n"));
    EXPECT_TRUE(french.needsChoice);
    EXPECT_EQ(french.guesses, (std::vector<std::string>{"given", "family", "mobile", "mail",
                                                        "company", "birthday"}));
    CsvColumnsPreview english = previewCsvColumns(
        folder.write("en.csv",
                     "Contact,Cell,Home,Work,Email,Notes\r\nAnn Lee,555-0100,555-0101,555-0102,"
                     "ann@example.com,hi\r\n"));
    EXPECT_EQ(english.guesses,
              (std::vector<std::string>{"name", "mobile", "home", "work", "mail", "note"}));
    CsvColumnsPreview plain =
        previewCsvColumns(folder.write("plain.csv",
                                       "A,B,C,D\r\n山田太郎,x,090-1111-2222,taro@example.jp\r\n"
                                       "佐藤花子,y,03-5555-6666,hanako@example.jp\r\n"));
    EXPECT_EQ(plain.guesses, (std::vector<std::string>{"name", "keep", "number", "mail"}));
    // A column of numbers and words mixed is left as it is.
    CsvColumnsPreview mixed =
        previewCsvColumns(folder.write("mixed.csv", "X,Y\r\nAnn,555-0100\r\nBob,unknown\r\n"));
    EXPECT_EQ(mixed.guesses, (std::vector<std::string>{"name", "keep"}));
}

}  // namespace
}  // namespace tsunagi
