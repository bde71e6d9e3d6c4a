// vCards shaped the way real exports break them: folds before a colon and inside parameters,
// notes that mention END:VCARD, nested cards, soft breaks before a property, UTF-16 without a
// mark, files without any card. Each must arrive whole or be refused with the right reason.

#include <gtest/gtest.h>

#include "commands/save_command.h"
#include "import/vcf_import.h"
#include "platform/error.h"
#include "support/rows.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

struct Imported {
    Rows rows;
    ImportReport report;
};

Imported importText(TempFolder& folder, const std::string& bytes) {
    Store store = Store::inMemory();
    Imported imported;
    importVcfFile(store, folder.write("shape.vcf", bytes), {}, &imported.report);
    imported.rows = storedRows(store);
    return imported;
}

// A line folded at 75 octets as RFC 2425 says, the way iOS writes it.
std::string folded(const std::string& line) {
    std::string out;
    size_t at = 0, width = 75;
    while (line.size() - at > width) {
        out += line.substr(at, width) + "\r\n ";
        at += width;
        width = 74;
    }
    return out + line.substr(at) + "\r\n";
}

TEST(RealShapes, ACroppedPhotoFoldedBeforeItsColonLeavesTheNumberAndMailAlone) {
    TempFolder folder;
    std::string photo(3000, 'A');
    std::string card =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:鈴木;健二;;;\r\n"
        "TEL;type=CELL:+81 90-1357-2468\r\n" +
        folded(
            "PHOTO;ENCODING=b;TYPE=JPEG;X-ABCROP-RECTANGLE=ABClipRect_1&0&0&671&"
            "671&9dIk1HtT3cVZ7Lb0QxYw5e8Z2fA==:/9j/" +
            photo) +
        "EMAIL;type=INTERNET:kenji@example.jp\r\n" +
        // A fold inside the parameters, with a tab.
        "TEL;TY\r\n\tPE=HOME:03-1111-2222\r\nEND:VCARD\r\n";
    Imported got = importText(folder, card);
    EXPECT_EQ(got.rows,
              (Rows{normalisedCard("鈴木;健二", "",
                                   "TEL;CELL:+81 90-1357-2468<>TEL;VOICE;HOME:03-1111-2222<>",
                                   "EMAIL;INTERNET:kenji@example.jp<>", 1)}));
    EXPECT_TRUE(got.report.leftOut.count("PHOTO"));
}

TEST(RealShapes, ANoteThatMentionsEndVcardAndNestedAgentCardsEndNothing) {
    TempFolder folder;
    std::string text =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:田中;美咲;;;\r\n"
        "NOTE:check that the file ends with END:VCARD\r\nTEL;TYPE=CELL:090-1111-2222\r\n"
        "AGENT:BEGIN:VCARD\\nFN:Secretary\\nTEL:03-0000-0000\\nEND:VCARD\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Smith;John\r\nAGENT:\r\nBEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N:Friday;Fred\r\nTEL;WORK:+1-213-555-1234\r\nEND:VCARD\r\nTEL;CELL:090-3333-4444\r\n"
        "END:VCARD\r\n";
    Imported got = importText(folder, text);
    EXPECT_EQ(got.rows,
              (Rows{normalisedCard("田中;美咲", "", "TEL;CELL:090-1111-2222<>", "", 1),
                    normalisedCard("Smith;John", "", "TEL;CELL:090-3333-4444<>", "", 2)}));
    EXPECT_TRUE(got.report.leftOut.count("AGENT"));
}

TEST(RealShapes, SoftBreaksBareLinesAndALongQuotedPrintableNote) {
    TempFolder folder;
    // A value that ends in a soft break before the next property keeps that property; an old
    // phone's value broken over a bare line is joined.
    std::string text =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=B1=B1=E7=94="
        "B0=\r\n"
        "TEL;CELL:09012345678\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:\r\n"
        ";=E8=8A=B1=E5=AD=90\r\nTEL;HOME:0311112222\r\nEND:VCARD\r\n";
    Imported got = importText(folder, text);
    EXPECT_EQ(got.rows, (Rows{normalisedCard("山田", "", "TEL;CELL:09012345678<>", "", 1),
                              normalisedCard("花子", "", "TEL;VOICE;HOME:0311112222<>", "", 2)}));

    // A note of a mebibyte in quoted-printable lines: joined once, not once per line.
    std::string note =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Long;Note\r\n"
        "NOTE;ENCODING=QUOTED-PRINTABLE:";
    for (int i = 0; i < 14000; ++i) note += std::string(72, 'x') + "=\r\n";
    note += "end\r\nTEL:0312345678\r\nEND:VCARD\r\n";
    Imported big = importText(folder, note);
    ASSERT_EQ(big.rows.size(), 1u);
    EXPECT_EQ(big.rows[0], normalisedCard("Long;Note", "", "TEL;VOICE:0312345678<>", "", 1));
}

TEST(RealShapes, Utf16WithoutAMarkIsReadAndFullWidthNumbersReachThePhoneFile) {
    TempFolder folder;
    std::string utf8 =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:佐藤;一郎;;;\r\n"
        "TEL;TYPE=CELL:０９０－１２３４－５６７８\r\nTEL;TYPE=HOME:03ー1234ー5678\r\n"
        "END:VCARD\r\n";
    std::string utf16;
    // UTF-16LE by hand: every character of this card is in the BMP.
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = utf8[i];
        char32_t point;
        size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : 3;
        point = length == 1 ? c : length == 2 ? (c & 0x1F) : (c & 0x0F);
        for (size_t k = 1; k < length; ++k) point = (point << 6) | (utf8[i + k] & 0x3F);
        utf16 += static_cast<char>(point & 0xFF);
        utf16 += static_cast<char>(point >> 8);
        i += length;
    }
    Store store = Store::inMemory();
    ImportReport report;
    EXPECT_EQ(importVcfFile(store, folder.write("utf16.vcf", utf16), {}, &report), 1);
    std::string out = folder.file("out.vcf");
    EXPECT_EQ(exportToFile(store, folder.path(), out, FileKind::PhoneCards), "");
    std::string written = readBytes(out);
    EXPECT_NE(written.find("TEL;CELL:09012345678\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("TEL;VOICE;HOME:0312345678\r\n"), std::string::npos) << written;
}

TEST(RealShapes, EachCardItsOwnCharacterSetAndLineEnds) {
    TempFolder folder;
    // A UTF-8 export with one stray Latin-1 byte in a note: only that value is touched.
    std::string utf8 =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:田中;美咲;;;\r\nNOTE:caf\xe9\r\n"
        "TEL;TYPE=CELL:090-1111-2222\r\nEND:VCARD\r\n";
    // Google folds at 75 octets, even inside a character: "山" cut after its first byte.
    std::string google = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:" + std::string(71, 'x') +
                         "\xe5\r\n \xb1\xb1;;;;\r\nTEL:0312345678\r\nEND:VCARD\r\n";
    // The phone's own backup in Shift_JIS after them, as `cat` joins two exports.
    std::string phone =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:\x8e\x52\x93\x63\r\n"
        "TEL;CELL:09033334444\r\nEND:VCARD\r\n";
    // And cards with LF line ends after the CR LF ones.
    std::string lf =
        "BEGIN:VCARD\nVERSION:3.0\nN:Lf;Only;;;\nTEL:0355556666\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:4.0\nFN:Four\nN:Four;;;;\nEMAIL:four@example.jp\n"
        "END:VCARD\n";
    Imported got = importText(folder, utf8 + google + phone + lf);
    ASSERT_EQ(got.rows.size(), 5u);
    EXPECT_EQ(got.rows[0], normalisedCard("田中;美咲", "", "TEL;CELL:090-1111-2222<>", "", 1));
    EXPECT_EQ(got.rows[1].at(2), "N;CHARSET=SHIFT_JIS:" + std::string(71, 'x') + "山");
    EXPECT_EQ(got.rows[2].at(2), "N;CHARSET=SHIFT_JIS:山田");
    EXPECT_EQ(got.rows[3], normalisedCard("Lf;Only", "", "TEL;VOICE:0355556666<>", "", 4));
    EXPECT_EQ(got.rows[4], normalisedCard("Four", "", "", "EMAIL;INTERNET:four@example.jp<>", 5));
}

TEST(RealShapes, CompaniesGroupsEmptyCardsReadingsAndAnUnfoldedPhoto) {
    TempFolder folder;
    std::string text =
        // Android: a business contact with no person's name.
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:;;;;\r\nORG:株式会社つなぎ;営業部\r\n"
        "TEL;WORK:03-1234-5678\r\nEND:VCARD\r\n"
        // A vCard 4.0 group is no entry; a card with only a note is one, without a name.
        "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Friends\r\n"
        "MEMBER:urn:uuid:03a0e51f\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:nothing else\r\nEND:VCARD\r\n"
        // Outlook's 2.1 export writes the reading as X-MS-N-YOMI.
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8:山田;太郎\r\n"
        "X-MS-N-YOMI;CHARSET=UTF-8:ヤマダ;タロウ\r\nTEL;CELL:09012345678\r\nEND:VCARD\r\n"
        // A photo of 1.5 MB in one unfolded line: left out without being held.
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Photo;Big;;;\r\nPHOTO;ENCODING=b;TYPE=JPEG:" +
        std::string(1500000, 'A') + "\r\nTEL:0312345678\r\nEND:VCARD\r\n";
    Imported got = importText(folder, text);
    EXPECT_EQ(got.rows,
              (Rows{normalisedCard("株式会社つなぎ", "", "TEL;VOICE;WORK:03-1234-5678<>", "", 1),
                    normalisedCard("", "", "", "", 3),
                    normalisedCard("山田;太郎", "ﾔﾏﾀﾞ;ﾀﾛｳ", "TEL;CELL:09012345678<>", "", 4),
                    normalisedCard("Photo;Big", "", "TEL;VOICE:0312345678<>", "", 5)}));
    EXPECT_EQ(got.report.notEntries, 1);
    EXPECT_FALSE(got.report.leftOut.count("PHOTO"));  // its head alone is no photo to keep
    EXPECT_TRUE(got.report.leftOut.count("ORG"));     // the name, and kept as the company too
    EXPECT_EQ(got.report.tooLong, (std::set<std::string>{"PHOTO"}));
    // The group is named, with how many it holds.
    EXPECT_EQ(got.report.groups, (std::vector<std::string>{"Friends（メンバー 1 人）"}));
    EXPECT_NE(got.report.note().find("読み込んでいません：Friends（メンバー 1 人）"),
              std::string::npos);

    // A long line the program would keep still refuses the file, naming its line.
    try {
        importText(folder, "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:" + std::string(1100000, 'x') +
                               "\r\nEND:VCARD\r\n");
        ADD_FAILURE() << "a 1 MiB note passed";
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.line(), 3);
    }
}

}  // namespace
}  // namespace tsunagi
