#include "import/vcf_import.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "store/entries.h"
#include "support/rows.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

// A phone backup written byte by byte in CP932: 山田;太郎 is 8E52 9363 3B 91BE 9859,
// ｱｲｳ is B1 B2 B3, ① (NEC extension) 8740, ＼ 815F.
const std::string kPhoneFile =
    "text before the first card\r\n"
    "BEGIN:VCARD\r\n"
    "VERSION:2.1\r\n"
    "N;CHARSET=SHIFT_JIS:\x8e\x52\x93\x63;\x91\xbe\x98\x59\r\n"
    "X-JPG-OWNER:0\r"
    "TEL;VOICE;HOME:0312345678\r\n"
    "TEL;CELL:09011112222\r\n"
    "EMAIL;INTERNET:taro@example.jp\r\n"
    "NOTE:memo line\r\n"
    "continued\nwith LF\r\n"
    "X-GNO:1\r\n"
    "X-JPG-MDNO:5\r\n"
    "END:VCARD\r\n"
    "text between cards\r\n"
    "BEGIN:VCARD\r\n"
    "N;CHARSET=SHIFT_JIS:\xb1\xb2\xb3\x87\x40\x81\x5f~\r\n"
    "TEL;CELL:090\r\n"
    "EMAIL;CELL:x@y.jp\r\n"
    "TEL;VOICE:03\r\n"
    "X-JPG-MDNO:6\r\n"
    "END:VCARD";

const Rows kPhoneRows = {
    {"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎", "X-JPG-OWNER:0",
     "TEL;VOICE;HOME:0312345678<>TEL;CELL:09011112222", "EMAIL;INTERNET:taro@example.jp",
     "NOTE:memo line\r\ncontinued\nwith LF", "X-GNO:1", "X-JPG-MDNO:5", "END:VCARD"},
    {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:ｱｲｳ①＼~", "TEL;CELL:090<>TEL;VOICE:03",
     "EMAIL;CELL:x@y.jp", "X-JPG-MDNO:6", "END:VCARD"},
};

TEST(VcfImport, PhoneFileWithEveryLineKind) {
    TempFolder folder;
    Store store = Store::inMemory();
    EXPECT_EQ(importVcfFile(store, folder.write("phone.vcf", kPhoneFile)), 2);
    EXPECT_EQ(storedRows(store), kPhoneRows);
}

TEST(VcfImport, EveryImportAppends) {
    TempFolder folder;
    Store store = Store::inMemory();
    std::string path = folder.write("phone.vcf", kPhoneFile);
    importVcfFile(store, path);
    importVcfFile(store, path);
    Rows twice = kPhoneRows;
    twice.insert(twice.end(), kPhoneRows.begin(), kPhoneRows.end());
    EXPECT_EQ(storedRows(store), twice);
}

TEST(VcfImport, NumbersAndMailsEachKeepOneColumnWhateverComesBetween) {
    TempFolder folder;
    Store store = Store::inMemory();
    importVcfFile(store, folder.write("a.vcf",
                                      "BEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:A\r\nTEL;CELL:1\r\n"
                                      "EMAIL;INTERNET:a@b.jp\r\nX-GNO:0\r\nTEL;VOICE:2\r\n"
                                      "EMAIL;CELL:c@d.jp\r\nEND:VCARD\r\n"));
    EXPECT_EQ(storedRows(store),
              (Rows{{"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:A", "TEL;CELL:1<>TEL;VOICE:2",
                     "EMAIL;INTERNET:a@b.jp<>EMAIL;CELL:c@d.jp", "X-GNO:0", "END:VCARD"}}));
}

TEST(VcfImport, FilesWithoutCardsAndCardsWithoutEnd) {
    TempFolder folder;
    Store store = Store::inMemory();
    // A file that holds no card at all is refused, not "0 件" read: an empty file, a web page
    // saved as .vcf.
    for (const char* text : {"just\r\ntext:here\r\n", "", "<html><body>BEGIN</body></html>\n"}) {
        try {
            importVcfFile(store, folder.write("none.vcf", text));
            ADD_FAILURE() << "a file without cards passed: " << text;
        } catch (const TsunagiError& error) {
            EXPECT_NE(error.reason().find("1 件もありません"), std::string::npos);
        }
    }
    EXPECT_TRUE(storedRows(store).empty());
    // A phone's card that a new BEGIN interrupts, and one the file ends in, refuse the whole
    // file at the line where the unclosed card began.
    const std::pair<const char*, long> unclosed[] = {
        {"BEGIN:VCARD\r\nX-GNO:1\r\nEND:VCARD\r\nBEGIN:VCARD\r\nX-JPG-MDNO:2\r\nBEGIN:VCARD\r\n"
         "X-GNO:3\r\nEND:VCARD\r\n",
         4},
        {"BEGIN:VCARD\r\nX-GNO:1\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:B\r\n"
         "TEL;CELL:0901",
         4},
    };
    for (const auto& [text, line] : unclosed) {
        std::string path = folder.write("open.vcf", text);
        try {
            importVcfFile(store, path);
            ADD_FAILURE() << "an unclosed card was kept: " << text;
        } catch (const TsunagiError& error) {
            EXPECT_EQ(error.file(), path);
            EXPECT_EQ(error.line(), line);
        }
    }
    EXPECT_TRUE(storedRows(store).empty());
}

TEST(VcfImport, BadBytesLeaveTheStoreAsItWasAndNameTheLine) {
    TempFolder folder;
    Store store = Store::inMemory();
    importVcfFile(store, folder.write("good.vcf", kPhoneFile));
    std::string bad =
        "BEGIN:VCARD\r\nX-GNO:0\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:\x85\x40\r\n"
        "END:VCARD\r\n";
    std::string path = folder.write("bad.vcf", bad);
    try {
        importVcfFile(store, path);
        FAIL() << "invalid CP932 was accepted";
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.file(), path);
        EXPECT_EQ(error.line(), 5);
    }
    EXPECT_EQ(storedRows(store), kPhoneRows);
}

// The file is read ahead of the store: an error thousands of cards in still names its own line
// and keeps none of the cards before it.
TEST(VcfImport, AnErrorFarIntoABigFileNamesItsLineAndKeepsNothing) {
    TempFolder folder;
    Store store = Store::inMemory();
    std::string file;
    for (int i = 0; i < 3000; ++i)
        file += "BEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:A\r\nX-JPG-MDNO:" + std::to_string(i) +
                "\r\nEND:VCARD\r\n";
    file += "BEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:\x85\x40\r\nEND:VCARD\r\n";
    std::string path = folder.write("big.vcf", file);
    try {
        importVcfFile(store, path);
        FAIL() << "invalid CP932 was accepted";
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.file(), path);
        EXPECT_EQ(error.line(), 3000 * 4 + 2);
    }
    EXPECT_TRUE(storedRows(store).empty());
    file.resize(file.size() - 48);
    EXPECT_EQ(importVcfFile(store, folder.write("good.vcf", file)), 3000);
}

TEST(VcfImport, CardLongerThanARowIsRefusedWithItsLine) {
    TempFolder folder;
    Store store = Store::inMemory();
    // The phone's own dialect: a card of other programs would be made short instead.
    std::string file = "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:A\r\n";
    for (int i = 0; i < 78; ++i) file += "X-LINE:" + std::to_string(i) + "\r\n";
    file += "END:VCARD\r\n";
    try {
        importVcfFile(store, folder.write("long.vcf", file));
        FAIL() << "a card of 82 lines was accepted";
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.line(), 81);
    }
    EXPECT_TRUE(storedRows(store).empty());
}

TEST(VcfImport, MissingFileAndCancelLeaveNothing) {
    TempFolder folder;
    Store store = Store::inMemory();
    EXPECT_THROW(importVcfFile(store, folder.file("missing.vcf")), TsunagiError);
    std::string many;
    for (int i = 0; i < 600; ++i) many += "BEGIN:VCARD\r\nN:a\r\nX-GNO:0\r\nEND:VCARD\r\n";
    std::string path = folder.write("many.vcf", many);
    long reported = 0;
    EXPECT_THROW(importVcfFile(store, path,
                               [&](const std::string& file, long cards) {
                                   EXPECT_EQ(file, path);
                                   reported = cards;
                                   return cards < 512;
                               }),
                 ImportCancelled);
    EXPECT_EQ(reported, 512);
    EXPECT_TRUE(storedRows(store).empty());
}

}  // namespace
}  // namespace tsunagi
