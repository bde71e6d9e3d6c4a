// The exports for today's phones against goldens spelled out from RFC 2426 and Google's own
// headings (golden/make_smartphone_golden.py), and read back by our own import.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "commands/open_command.h"
#include "commands/save_command.h"
#include "import/vcf_import.h"
#include "platform/codec.h"
#include "store/entries.h"
#include "store/identity.h"
#include "support/rows.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

const std::string kGolden = std::string(TSUNAGI_FIXTURES) + "/export/golden/";
const std::string kLong =
    "寿限無寿限無五劫の擦り切れ海砂利水魚の水行末雲来末風来末食う寝る処に住む処";

// The store's identity seed, so that the UIDs its entries are given are the golden's.
const char* const kSeed = "0123456789abcdef fedcba9876543210";

void addPeople(const Store& store) {
    Connection connection = store.open();
    setIdentitySeed(connection, std::string(kSeed).erase(16, 1));
    EntryInserter inserter(connection);
    inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎",
                     "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾔﾏﾀﾞ;ﾀﾛｳ", "X-JPG-OWNER:0",
                     "TEL;VOICE;HOME:03-1234-5678<>TEL;CELL:090-1111-2222<>TEL;VOICE;WORK:045-555-"
                     "6666<>TEL;VOICE:0311112222",
                     "EMAIL;INTERNET:taro@example.jp<>EMAIL;CELL:taro@docomo.ne.jp",
                     "NOTE:first\r\nsecond", "X-GNO:0", "X-JPG-MDNO:1", "END:VCARD"});
    inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:Smith;John",
                     "EMAIL;INTERNET:john@example.com<>", "NOTE:a,b;c\\d", "END:VCARD"});
    inserter.insert(
        {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:ｽｽﾞｷ;ｲﾁﾛｳ", "TEL;CELL:080-3333-4444<>", "END:VCARD"});
    inserter.insert(
        {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:" + kLong, "TEL;VOICE:0120-123-456", "END:VCARD"});
}

TEST(SmartphoneGoldens, VcardThreeAndGoogleCsvForEveryShape) {
    TempFolder folder;
    Store store = Store::inMemory();
    addPeople(store);
    std::string vcf = folder.file("phone.vcf"), google = folder.file("google.csv");
    EXPECT_EQ(exportToFile(store, folder.path(), vcf, FileKind::Vcard3), "");
    EXPECT_EQ(exportToFile(store, folder.path(), google, FileKind::GoogleCsv), "");
    EXPECT_EQ(readBytes(vcf), readBytes(kGolden + "smartphone.vcf"));
    EXPECT_EQ(readBytes(google), readBytes(kGolden + "google.csv"));
}

TEST(SmartphoneGoldens, OurOwnImportReadsBothBack) {
    TempFolder folder;
    Store store = Store::inMemory();
    addPeople(store);
    std::string vcf = folder.file("phone.vcf"), google = folder.file("google.csv");
    exportToFiles(store, folder.path(), {{vcf, FileKind::Vcard3}, {google, FileKind::GoogleCsv}});
    Store fromVcard = Store::inMemory(), fromCsv = Store::inMemory();
    ASSERT_EQ(importVcfFile(fromVcard, vcf), 4);
    Rows rows = storedRows(fromVcard);
    EXPECT_EQ(rows[0][2], "N;CHARSET=SHIFT_JIS:山田;太郎");
    EXPECT_EQ(rows[0][3], "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾔﾏﾀﾞ;ﾀﾛｳ");
    EXPECT_EQ(rows[0][5],
              "TEL;VOICE;HOME:03-1234-5678<>TEL;CELL:090-1111-2222<>TEL;VOICE;WORK:045-555-6666<>"
              "TEL;VOICE:0311112222<>");
    EXPECT_EQ(rows[0][6], "EMAIL;INTERNET:taro@example.jp<>EMAIL;CELL:taro@docomo.ne.jp<>");
    EXPECT_EQ(rows[1][2], "N;CHARSET=SHIFT_JIS:Smith;John");
    EXPECT_EQ(rows[2][2], "N;CHARSET=SHIFT_JIS:スズキ;イチロウ");
    EXPECT_EQ(rows[3][2], "N;CHARSET=SHIFT_JIS:" + kLong);  // whole, as it was typed
    ImportReport report;
    EXPECT_EQ(importFile(fromCsv, google, FileKind::AddressBook, {}, &report), 4);
    EXPECT_EQ(storedRows(fromCsv)[0][5], rows[0][5]);
    EXPECT_EQ(storedRows(fromCsv)[0][3], rows[0][3]);
}

std::string exported(const Store& store, TempFolder& folder, FileKind kind,
                     const std::string& message = "") {
    std::string path = folder.file(kind == FileKind::Vcard3 ? "out.vcf" : "out.csv");
    EXPECT_EQ(exportToFile(store, folder.path(), path, kind), message);
    return readBytes(path);
}

// The cards of `files` (name, bytes) written as vCard 3.0, read back and written again: the
// same bytes, which are returned.
std::string readsBackTheSame(TempFolder& folder,
                             const std::vector<std::pair<std::string, std::string>>& files) {
    Store store = Store::inMemory();
    for (const auto& [name, bytes] : files) importVcfFile(store, folder.write(name, bytes));
    std::string once = exported(store, folder, FileKind::Vcard3);
    Store again = Store::inMemory();
    importVcfFile(again, folder.write("once.vcf", once));
    EXPECT_EQ(exported(again, folder, FileKind::Vcard3), once);
    return once;
}

// A reading with a ";" within its family or given part keeps the part whole: the phone's line,
// which splits the reading at its ";", is not where it is read from again. A given reading
// alone stays the given one.
TEST(SmartphoneGoldens, ReadingsHoldingASemicolonReadBackAsWritten) {
    TempFolder folder;
    std::string once = readsBackTheSame(
        folder,
        {{"three.vcf",
          "BEGIN:VCARD\r\nVERSION:3.0\r\nN:A;B;;;\r\nX-PHONETIC-LAST-NAME:P\\;Q\r\n"
          "X-PHONETIC-FIRST-NAME:R\r\nEND:VCARD\r\n"},
         {"two.vcf",
          "BEGIN:VCARD\r\nVERSION:2.1\r\nN:C;D\r\nSOUND;X-IRMC-N:S;T\\;U\r\n"
          "END:VCARD\r\n"},
         // The phone's own card with today's reading line of a ";" alone, cut short.
         {"phone.vcf", "BEGIN:VCARD\nN;CHARSET=SHIFT_JIS:\nX-PHONETIC-LAST-NAME:;END:VCARD"},
         // A given reading alone, in the phone's line and in today's.
         {"given.vcf",
          "BEGIN:VCARD\nSOUND:;a\nN;CHARSET=SHIFT_JIS:\nEND:VCARD\n"
          "BEGIN:VCARD\r\nVERSION:3.0\r\nN:E;;;;\r\nX-PHONETIC-FIRST-NAME:g\r\nEND:VCARD\r\n"}});
    for (const char* line :
         {"X-PHONETIC-LAST-NAME:P\\;Q\r\nX-PHONETIC-FIRST-NAME:R\r\n",
          "X-PHONETIC-LAST-NAME:S\r\nX-PHONETIC-FIRST-NAME:T\\;U\r\n",
          "X-PHONETIC-LAST-NAME:\\;END:VCARD\r\n", "FN:\r\nX-PHONETIC-FIRST-NAME:a\r\n",
          "FN:E\r\nX-PHONETIC-FIRST-NAME:g\r\n"})
        EXPECT_NE(once.find(line), std::string::npos) << line << "\n" << once;
}

// The entries of `store` (`entries` of them) written as Google's CSV, read back and written
// again: the same bytes, which are returned.
std::string googleReadsBackTheSame(TempFolder& folder, const Store& store, long entries = 1) {
    std::string once = exported(store, folder, FileKind::GoogleCsv);
    Store again = Store::inMemory();
    EXPECT_EQ(importFile(again, folder.write("once.csv", once), FileKind::AddressBook), entries);
    EXPECT_EQ(exported(again, folder, FileKind::GoogleCsv), once);
    return once;
}

// vCard 4.0's numbers read back as written: a card with a number alone (a tel: URI) is named by
// the number as people read it and stays nameless; a number of no type is a voice number. A
// 2.1 card's "tel\:" is read as the URI it spells, and written so.
TEST(SmartphoneGoldens, VcardFoursNumbersReadBackAsWritten) {
    TempFolder folder;
    std::string once =
        readsBackTheSame(folder, {{"four.vcf",
                                   "BEGIN:VCARD\r\nVERSION:4.0\r\n"
                                   "TEL;VALUE=uri;TYPE=cell:tel:+81-90-1234-5678;"
                                   "ext=5\r\nEND:VCARD\r\n"
                                   "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Aki\r\n"
                                   "TEL;VALUE=uri:tel:+81-3-5555-0000\r\n"
                                   "TEL:0312345678\r\nEND:VCARD\r\n"},
                                  {"escaped.vcf", "BEGIN:VCARD\nTEL;P:tel\\:p\nEND:VCARD"},
                                  // A URI of no number says more than nothing: kept as it is.
                                  {"none.vcf", "BEGIN:VCARD\nTEL:TEl:\nEND:VCARD"},
                                  // A tab after a URI's number is no part of it.
                                  {"tab.vcf", "BEGIN:VCARD\nFN:T\nTEL:tel:+\t\nEND:VCARD"},
                                  // Nor does a URI whose number is a URI again.
                                  {"twice.vcf", "BEGIN:VCARD\nTEL:tEl:tel:\nEND:VCARD"}});
    EXPECT_NE(once.find("\r\nTEL;TYPE=VOICE:tEl:tel:\r\n"), std::string::npos) << once;
    EXPECT_NE(once.find("FN:T\r\nTEL;TYPE=VOICE:+\r\n"), std::string::npos) << once;
    EXPECT_NE(once.find("N:;;;;\r\nFN:+81-90-1234-5678 ext. 5\r\n"), std::string::npos) << once;
    EXPECT_NE(once.find("\r\nTEL;TYPE=VOICE:TEl:\r\n"), std::string::npos) << once;
    EXPECT_NE(once.find("TEL;TYPE=VOICE:+81-3-5555-0000\r\nTEL;TYPE=VOICE:0312345678\r\n"),
              std::string::npos)
        << once;
    EXPECT_NE(once.find("\r\nTEL;TYPE=P:p\r\n"), std::string::npos) << once;
}

// A number of no type is a voice number whatever it holds, a colon or a card's last line
// included, and a mail of no type an Internet mail (a type of control characters is none), as
// vCard 3.0 reads them back; an address (sip:, or any written as one: VALUE=uri) is none. A tel:
// URI is written as people read it, escaped as any text.
TEST(SmartphoneGoldens, ANumberOrAMailOfNoTypeReadsBackAsWritten) {
    TempFolder folder;
    std::string once = readsBackTheSame(
        folder, {{"odd.vcf", "BEGIN:VCARD\nX-JPG-\nTEL:END:VCARD"},
                 {"uri.vcf", "BEGIN:VCARD\nTEL:tel:1;ext=;\nTEl:tel: 2\nEND:VCARD"},
                 {"mail.vcf", "BEGIN:VCARD\nEMAIL:R\rEMAIL;T:;\nEND:VCARD"},
                 {"control.vcf", "BEGIN:VCARD\nN;CHARSET=SHIFT_JIS:\nTEL;\x1d:5\nEND:VCARD"},
                 // The phone's own number of a type holding the joiner.
                 {"joiner.vcf", "BEGIN:VCARD\nTEL;<>:7\nN;CHARSET=SHIFT_JIS:\rEND:VCARD"},
                 {"phone-sip.vcf", "BEGIN:VCARD\nX-JPG-\nTEL:sip:b@example.jp\nEND:VCARD"},
                 // A tab after a number, in a file of two line ends, is no part of it.
                 {"tab.vcf", "BEGIN:VCARD\nTEL:tel:\rTEL:1\t\nEND:VCARD"},
                 {"sip.vcf",
                  "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:A\r\nTEL;VALUE=uri:sip:a@example.jp\r\n"
                  "END:VCARD\r\n"}});
    for (const char* line :
         {"TEL;TYPE=VOICE:END:VCARD\r\n", "EMAIL;TYPE=INTERNET:R\r\n", "TEL;TYPE=VOICE:5\r\n",
          "TEL;TYPE=VOICE:7\r\n", "TEL;TYPE=VOICE:1 ext. \\;\r\nTEL;TYPE=VOICE:2\r\n",
          "TEL;VALUE=uri:sip:a@example.jp\r\n", "TEL:sip:b@example.jp\r\n",
          "FN:1\r\nTEL;TYPE=VOICE:1\r\n"})
        EXPECT_NE(once.find(line), std::string::npos) << line << "\n" << once;
}

// A number of blanks and line breaks alone, in the phone's own lines, is no number, and a line
// break after a number or a mail no part of it, as vCard 3.0 reads them back (a file of CR
// line ends with a line feed in a number's line; an empty line after a number's).
TEST(SmartphoneGoldens, ABlankNumberIsNone) {
    TempFolder folder;
    std::string once =
        readsBackTheSame(folder, {{"blank.vcf",
                                   "BEGIN:VCARD\rN:A\rX-JPG-\rTEL:\n\r"
                                   "TEL;VOICE;ENCODING=QUOTED-PRINTABLE:=0A\rEND:VCARD"},
                                  {"after.vcf",
                                   "BEGIN:VCARD\nN;CHARSET=SHIFT_JIS:B\nTEL:03\n\n"
                                   "EMAIL:b@example.jp\n\nEND:VCARD\n"},
                                  // A tel: URI without a number in the phone's own line: it was
                                  // written, and gone when read back.
                                  {"uri.vcf",
                                   "BEGIN:VCARD\rN;CHARSET=SHIFT_JIS:C\rTEL:tel:\r"
                                   "TEL;CELL:tel:;ext=5\rTEL:tel:04\rX-JPG-MDNO:3\rEND:VCARD"}});
    EXPECT_EQ(once.find("TEL;TYPE=VOICE:\\n"), std::string::npos) << once;
    EXPECT_EQ(once.find("tel:\r\n"), std::string::npos) << once;
    EXPECT_EQ(once.find("tel:;"), std::string::npos) << once;
    EXPECT_NE(once.find("N:;C;;;\r\nFN:C\r\nTEL;TYPE=VOICE:04\r\n"), std::string::npos) << once;
    EXPECT_NE(once.find("TEL;TYPE=VOICE:03\r\nEMAIL;TYPE=INTERNET:b@example.jp\r\n"),
              std::string::npos)
        << once;
}

// Types written with blanks after their commas, or a line break among them, are the same
// types: written once in one form, they read back the same, as do parameters that hold control
// characters.
TEST(SmartphoneGoldens, TypesWithBlanksReadBackAsWritten) {
    TempFolder folder;
    // A control character, which no parameter may hold, is left out, and the type is read
    // as it is then written: a mobile number's.
    const char control[] =
        "BEGIN:VCARD\nTEL;\\\0:p\nX-A;X-B=c\x01d:e\nX-C;TYPE=\x02:f\nEND:VCARD\n";
    const char cell[] = "BEGIN:VCARD\nTEL;CEL\0L:1\t\nEND:VCARD\n";
    // A parameter named by a line break alone (a card cut short, no END) names nothing.
    const char named[] = "BEGIN:VCARD\nX-JPG-\n;\r=END:VCARD";
    // A parameter's value escapes nothing: its backslashes are kept as they are.
    const char backslashes[] = "BEGIN:VCARD\nTEL;\\\\\x8f:x\rEND:VCARD";
    // A reading of line breaks alone, in the phone's own line or in a phone card's line of
    // today's phones, is none.
    const char breaks[] =
        "BEGIN:VCARD\nX-JPG-\nSOUND:\n\nEND:VCARD\n"
        "BEGIN:VCARD\nX-JPG-\nX-PHONETIC-LAST-NAME:\n\nEND:VCARD";
    // A name of what no name may hold, made into one that a reader knows (X-MS-TEL, a number),
    // stays a line of its own.
    const char made[] = "BEGIN:VCARD\rN;CHARSET=SHIFT_JIS:\nMS\xdaTEL:END:VCARD";
    // A photo's digits in the phone's own line end at its empty line: the break is no digit.
    const char photo[] = "BEGIN:VCARD\nN;CHARSET=SHIFT_JIS:\nPHOTO;BASE64:A\n\nEND:VCARD";
    // A type given twice in the phone's own line is one type.
    const char twice[] = "BEGIN:VCARD\nX-JPG-\rTEL;CELL;CELL:2\nEND:VCARD";
    // A parameter named by a quote, or by a colon in quotes, is written without them; one
    // written so as TYPE is one of the types.
    const char quoted[] =
        "BEGIN:VCARD\nN;CHARSET=SHIFT_JIS:\n;\"=\"END:VCARD\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:3.0\nFN:q\nX-Q;\"a:b\"=c;d=e:v\nEND:VCARD\n"
        "BEGIN:VCARD\n;T;TYPE\"=i\":e\nEND:VCARD\n"
        "BEGIN:VCARD\nN;CHARSET=SHIFT_JIS:\n;T;TYPE\"=\"END:VCARD";
    // A parameter of no name or no value says nothing beside a mail's phone types.
    const char empty[] =
        "BEGIN:VCARD\nEMAIL;CELL;=:@\rEND:VCARD\nBEGIN:VCARD\nEMAIL;CELL;X=:b@\n"
        "TEL;CELL;=Y:3\nEND:VCARD";
    std::string once = readsBackTheSame(
        folder, {{"blanks.vcf",
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nN:A;;;;\r\n"
                  "TEL;TYPE=\"work, fax\":0312345678\r\n"
                  "item1.TEL;TYPE=cell:09011112222\r\nEND:VCARD\r\n"},
                 {"break.vcf", "BEGIN:VCARD\rN;CHARSET=SHIFT_JIS:\nEMAIL;\nEND:VCARD"},
                 {"control.vcf", std::string(control, sizeof control - 1)},
                 {"cell.vcf", std::string(cell, sizeof cell - 1)},
                 {"named.vcf", std::string(named, sizeof named - 1)},
                 {"backslashes.vcf", std::string(backslashes, sizeof backslashes - 1)},
                 {"breaks.vcf", std::string(breaks, sizeof breaks - 1)},
                 {"twice.vcf", std::string(twice, sizeof twice - 1)},
                 {"photo.vcf", std::string(photo, sizeof photo - 1)},
                 {"made.vcf", std::string(made, sizeof made - 1)},
                 {"empty.vcf", std::string(empty, sizeof empty - 1)},
                 {"quoted.vcf", std::string(quoted, sizeof quoted - 1)}});
    EXPECT_NE(once.find("TEL;TYPE=WORK,FAX:0312345678\r\n"), std::string::npos) << once;
    EXPECT_EQ(once.find_first_of(std::string("\x01\x02\0", 3)), std::string::npos) << once;
    EXPECT_NE(once.find("\r\nX-C:f\r\n"), std::string::npos) << once;
    EXPECT_NE(once.find("\r\nTEL;TYPE=CELL:1\r\n"), std::string::npos) << once;
    EXPECT_NE(once.find("\r\nTEL;TYPE=\\\\\uFFFD:x\r\n"), std::string::npos) << once;
    EXPECT_EQ(once.find("X-PHONETIC"), std::string::npos) << once;
    EXPECT_NE(once.find("\r\nTEL;TYPE=CELL:2\r\n"), std::string::npos) << once;
    for (const char* line :
         {"\r\nEMAIL;TYPE=INTERNET,CELL:@\r\n", "\r\nEMAIL;TYPE=INTERNET,CELL:b@\r\n",
          "\r\nTEL;TYPE=CELL:3\r\n", "\r\nX-:VCARD\r\n", "\r\nX-Q;AB=c;D=e:v\r\n"})
        EXPECT_NE(once.find(line), std::string::npos) << line << "\n" << once;
    for (size_t at = once.find('\r'); at != std::string::npos; at = once.find('\r', at + 1))
        EXPECT_EQ(once.substr(at, 2), "\r\n") << "a line break inside a line at " << at;
}

// Bytes of no character in the names of a line and its parameters are read in the card's set
// as its values are: the file written is UTF-8 through, folded between characters, and reads
// back the same.
TEST(SmartphoneGoldens, BytesOfNoCharacterInALinesNamesAreReadAsText) {
    TempFolder folder;
    std::string once = readsBackTheSame(
        folder, {{"names.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nN:山田;花子;;;\r\nPHOTO;" +
                                   std::string(80, '\xb6') +
                                   "ENCODING=b;TYPE=JPEG:AAEC\r\nX-\xb6;X-\xb7=\xb8:v\r\n"
                                   "\xb9.NOTE:n\r\nEND:VCARD\r\n"}});
    EXPECT_TRUE(isValidUtf8(once)) << once;
    // A 3.0 card is UTF-8: each byte of none is replaced.
    EXPECT_NE(once.find("PHOTO;\uFFFD\uFFFD"), std::string::npos) << once;
}

// Text that the phone's own lines send as base64 is read as another program's card's is: the
// text it encodes, or the digits as they are where they encode nothing; a photo stays bytes,
// without other bytes among its digits, and a photo of no digits is none.
TEST(SmartphoneGoldens, TextInBase64OfThePhonesOwnLinesIsText) {
    TempFolder folder;
    std::string once = readsBackTheSame(
        folder, {{"phone.vcf",
                  "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:a\r\n"
                  "NOTE;ENCODING=B:44Oh44Oi\r\nX-FOO;ENCODING=B:E!D\r\n"
                  "PHOTO;ENCODING=BASE64;TYPE=JPEG:/9j/AA==\r\nX-GNO:0\r\nX-JPG-MDNO:1\r\n"
                  "END:VCARD\r\n"},
                 // A card cut short: a line of no name, whose digits encode nothing.
                 {"short.vcf", "BEGIN:VCARD\nX-JPG-\n;ENCODING=B:END:VCARD"},
                 {"junk.vcf",
                  "BEGIN:VCARD\nPHOTO;BASE64::\nN;CHARSET=SHIFT_JIS:\nEND:VCARD\n"
                  "BEGIN:VCARD\nN;CHARSET=SHIFT_JIS:b\n"
                  "PHOTO;ENCODING=BASE64;TYPE=GIF:R0l:GOD\nEND:VCARD\n"}});
    for (const char* line :
         {"\r\nNOTE:メモ\r\n", "\r\nX-FOO:E!D\r\n", "\r\nPHOTO;ENCODING=b;TYPE=JPEG:/9j/AA==\r\n",
          "\r\nX-:END:VCARD\r\n", "\r\nPHOTO;ENCODING=b;TYPE=GIF:R0lGOD\r\n"})
        EXPECT_NE(once.find(line), std::string::npos) << line << "\n" << once;
    size_t photos = 0;
    for (size_t at = once.find("\r\nPHOTO"); at != std::string::npos;
         at = once.find("\r\nPHOTO", at + 1))
        ++photos;
    EXPECT_EQ(photos, 2u) << once;
}

// A column's heading reaches Google's CSV as a label that reads back the same: one of control
// characters alone is no heading, and the column is named by its place; one with blanks before
// a control character is written without them, as Google's labels are read.
TEST(SmartphoneGoldens, OddHeadingsReadBackFromGoogleAsWritten) {
    TempFolder folder;
    // A heading of a "*" is a label of its own, not the mark of a preferred one; one of zeros
    // in a date's shape is no date, and nor are its values; one of a capital and a ";" is no
    // property with its parameters, nor is one of the name of a property Google's columns hold.
    // One of blanks and control characters alone is none, named by its place.
    const char book[] = "Name,\x01,F \0,*,0/0/0,F;,N,\0 \0\r\nB,1,2,3,0/0/00,5,6,7\r\n";
    Store store = Store::inMemory();
    ASSERT_EQ(importFile(store, folder.write("book.csv", std::string(book, sizeof book - 1)),
                         FileKind::AddressBook),
              1);
    std::string once = googleReadsBackTheSame(folder, store);
    EXPECT_NE(once.find(",2列目,1,F,2,*,3,0/0/0,0/0/00,F;,5,N,6,8列目,7\r\n"), std::string::npos)
        << once;

    // A book made from vCards, headed by the lines' names: a number, mail, address or note is
    // always in Google's own columns, so a field of such a label is the user's word, where it
    // was taken for a line of that property and lost.
    Store converted = Store::inMemory();
    ASSERT_EQ(importFile(converted,
                         folder.write("converted.csv",
                                      "Name,TEL;TYPE=CELL,EMAIL;TYPE=INTERNET,NOTE;LANGUAGE=en\r\n"
                                      "山田 太郎,090-1234-5678,t@example.jp,memo\r\n"),
                         FileKind::AddressBook),
              1);
    once = googleReadsBackTheSame(folder, converted);
    EXPECT_NE(once.find(",TEL;TYPE=CELL,090-1234-5678,EMAIL;TYPE=INTERNET,t@example.jp,"
                        "NOTE;LANGUAGE=en,memo\r\n"),
              std::string::npos)
        << once;

    // A custom field of no label has none again.
    Store google = Store::inMemory();
    ASSERT_EQ(importFile(google,
                         folder.write("google.csv",
                                      "Name,Custom Field 1 - Label,Custom Field 1 - Value\r\n"
                                      "C,,8\r\n"),
                         FileKind::AddressBook),
              1);
    once = googleReadsBackTheSame(folder, google);
    EXPECT_NE(once.find("* myContacts,,8\r\n"), std::string::npos) << once;
}

// A ";" within a family or a given name stays in it: the phone's line escapes it as vCard 2.1
// does, and every format reads the name back with its parts as they were.
TEST(SmartphoneGoldens, ASemicolonInANamePartStaysInIt) {
    TempFolder folder;
    const std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:B\\;C;D;;;\r\nEND:VCARD\r\n";
    std::string once = readsBackTheSame(folder, {{"semi.vcf", card}});
    EXPECT_NE(once.find("N:B\\;C;D;;;\r\nFN:D B\\;C\r\n"), std::string::npos) << once;

    Store store = Store::inMemory();
    ASSERT_EQ(
        importFile(store, folder.write("book.csv", "First Name,Last Name\r\nD,B;C\r\nF,E\r\n"),
                   FileKind::AddressBook),
        2);
    importFile(store, folder.write("again.vcf", card), FileKind::PhoneCards);
    std::string google = googleReadsBackTheSame(folder, store, 3);
    EXPECT_NE(google.find("\r\nD,,B;C,"), std::string::npos) << google;
    std::string path = folder.file("phone.vcf");
    exportToFile(store, folder.path(), path, FileKind::PhoneCards);
    std::string phone = readBytes(path);
    EXPECT_NE(phone.find("N;CHARSET=SHIFT_JIS:B\\;C;D\r\n"), std::string::npos) << phone;
    // The address book runs family and given together; the part's own ";" stays.
    std::string book = folder.file("book-out.csv");
    exportToFile(store, folder.path(), book, FileKind::AddressBook);
    EXPECT_NE(readBytes(book).find("\r\nB;CD, , , B;CD, "), std::string::npos) << readBytes(book);
    Store again = Store::inMemory();
    importFile(again, path, FileKind::PhoneCards);
    std::string written = folder.file("again.csv");
    exportToFile(again, folder.path(), written, FileKind::GoogleCsv);
    EXPECT_EQ(readBytes(written), google);
}

// A card without a name is named by its nickname or messenger only where it has no name lines:
// empty ones (as ours are for an entry without a name) say it has none, and it stays so.
TEST(SmartphoneGoldens, ACardWithEmptyNameLinesStaysNameless) {
    TempFolder folder;
    std::string once = readsBackTheSame(
        folder, {{"icq.vcf",
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nX-ICQ:12345\r\nEND:VCARD\r\n"
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nN:;;;;\r\nFN:\r\nX-ICQ:67890\r\nEND:VCARD\r\n"
                  "BEGIN:VCARD\r\nX-JPG-\r\nX-ICQ:END:VCARD\r\n"}});
    EXPECT_NE(once.find("N:;12345;;;\r\nFN:12345\r\n"), std::string::npos) << once;
    EXPECT_NE(once.find("N:;;;;\r\nFN:\r\nIMPP;X-SERVICE-TYPE=ICQ:aim:67890\r\n"),
              std::string::npos)
        << once;
    EXPECT_NE(once.find("N:;;;;\r\nFN:\r\nIMPP;X-SERVICE-TYPE=ICQ:aim:END:VCARD\r\n"),
              std::string::npos)
        << once;
}

// An older program's messenger line becomes IMPP, a URI: a control character of its handle (a
// line break of base64's bytes) is written as a URI writes it, and the line stays one line.
TEST(SmartphoneGoldens, AMessengerHandleWithALineBreakStaysOneLine) {
    TempFolder folder;
    std::string once =
        readsBackTheSame(folder, {{"icq.vcf", "BEGIN:VCARD\nX-ICQ;ENCODING=b:HA1\rEND:VCARD"},
                                  {"aim.vcf",
                                   "BEGIN:VCARD\r\nVERSION:3.0\r\nN:A;;;;\r\n"
                                   "X-AIM:a\\nb\r\nEND:VCARD\r\n"}});
    EXPECT_NE(once.find("IMPP;X-SERVICE-TYPE=ICQ:aim:%1C%0A\r\nUID:"), std::string::npos) << once;
    EXPECT_NE(once.find("IMPP;X-SERVICE-TYPE=AIM:aim:a%0Ab\r\nUID:"), std::string::npos) << once;
}

// A number or a mail that holds the phone's joiner "<>" is kept beside the phone's line, which
// it would break apart, and read back as written, from a card or Google's CSV alike; the phone's
// file names it as left out.
TEST(SmartphoneGoldens, ValuesHoldingThePhonesJoinerReadBackAsWritten) {
    TempFolder folder;
    std::string once =
        readsBackTheSame(folder, {{"joiner.vcf",
                                   "BEGIN:VCARD\rEMAIL:<>:.\nEND:VCARD\n"
                                   "BEGIN:VCARD\r\nVERSION:3.0\r\nN:J;;;;\r\nTEL;TYPE=CELL:1<>2\r\n"
                                   "EMAIL:j@example.jp\r\nEND:VCARD\r\n"}});
    for (const char* line : {"FN:<>:.\r\nEMAIL;TYPE=INTERNET:<>:.\r\n", "TEL;TYPE=CELL:1<>2\r\n",
                             "EMAIL;TYPE=INTERNET:j@example.jp\r\n"})
        EXPECT_NE(once.find(line), std::string::npos) << line << "\n" << once;

    Store store = Store::inMemory();
    ASSERT_EQ(
        importFile(store,
                   folder.write("book.csv",
                                "Name,Given Name,E-mail 1 - Type,E-mail 1 - Value,"
                                "Phone 1 - Type,Phone 1 - Value\r\nA,A,Home,a<>b,Mobile,09<>1\r\n"),
                   FileKind::AddressBook),
        1);
    std::string google = googleReadsBackTheSame(folder, store);
    EXPECT_NE(google.find(",Home,a<>b,Mobile,09<>1\r\n"), std::string::npos) << google;
    EXPECT_EQ(exportToFile(store, folder.path(), folder.file("phone.vcf"), FileKind::PhoneCards),
              "電話機の形式にない次の項目は書き出していません：「<>」を含むメールアドレス、「<>」"
              "を含む電話番号（A）。すべて残すには、vCard 3.0 か Google 連絡先 CSV "
              "で保存してください。");
}

// A date that is no date keeps its backslashes and line breaks, escaped in its line: a
// birthday of the phone's own card that runs on over a line break, another card's date of a
// backslash, and Google's birthday of backslashes read back as written.
TEST(SmartphoneGoldens, DatesOfBackslashesAndLineBreaksReadBackAsWritten) {
    TempFolder folder;
    std::string once = readsBackTheSame(
        folder, {{"phone.vcf", "XBEGIN:VCARD\rN;CHARSET=SHIFT_JIS:\nBDAY:\nEND:VCARD"},
                 {"three.vcf",
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nN:D;;;;\r\n"
                  "item1.X-ABDATE:a\\\\b\r\nEND:VCARD\r\n"}});
    for (const char* line : {"BDAY:\\nEND:VCARD\r\n", "X-ABDATE:a\\\\b\r\n"})
        EXPECT_NE(once.find(line), std::string::npos) << line << "\n" << once;

    Store store = Store::inMemory();
    ASSERT_EQ(importFile(store, folder.write("book.csv", "Name,Birthday\r\nB,\\\\\r\n"),
                         FileKind::AddressBook),
              1);
    std::string google = googleReadsBackTheSame(folder, store);
    EXPECT_NE(google.find(",\\\\,"), std::string::npos) << google;
}

// A card that says two birthdays keeps both, the first as the person's; one said twice is one.
TEST(SmartphoneGoldens, ASecondBirthdayOfAnotherDayIsKept) {
    TempFolder folder;
    const std::string card =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:B;;;;\r\nBDAY:1980-01-01\r\nBDAY:19800101\r\n"
        "BDAY:1981-02-02\r\nEND:VCARD\r\n";
    std::string once = readsBackTheSame(folder, {{"two.vcf", card}});
    EXPECT_NE(once.find("BDAY:1980-01-01\r\nBDAY:1981-02-02\r\n"), std::string::npos) << once;
    EXPECT_EQ(once.find("BDAY:19800101"), std::string::npos) << once;

    Store store = Store::inMemory();
    importVcfFile(store, folder.write("again.vcf", card));
    std::string google = googleReadsBackTheSame(folder, store);
    EXPECT_NE(google.find(",1980-01-01,"), std::string::npos) << google;
    EXPECT_NE(google.find(",BDAY,1981-02-02\r\n"), std::string::npos) << google;
}

// A card says one name, display name and reading; one it says again (vCard 4.0 allows display
// names in several) is kept after the first, which stays the phone's, and the phone's file
// names it. One said twice alike is one.
TEST(SmartphoneGoldens, ANameSaidAgainIsKeptAfterTheFirst) {
    TempFolder folder;
    const std::string card =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:山田;太郎;;;\r\nN:山田;太郎;;;\r\nN:Yamada;Taro;;;\r\n"
        "FN:山田 太郎\r\nFN:Taro Yamada\r\nX-PHONETIC-LAST-NAME:ヤマダ\r\n"
        "X-PHONETIC-LAST-NAME:やまだ\r\nX-PHONETIC-FIRST-NAME:タロウ\r\n"
        "TEL;TYPE=CELL:090-1111-2222\r\nEND:VCARD\r\n";
    std::string once = readsBackTheSame(folder, {{"two.vcf", card}});
    EXPECT_EQ(once.substr(0, once.find("TEL")),
              "BEGIN:VCARD\r\nVERSION:3.0\r\nN:山田;太郎;;;\r\nFN:山田 太郎\r\n"
              "X-PHONETIC-LAST-NAME:ヤマダ\r\nX-PHONETIC-FIRST-NAME:タロウ\r\n")
        << once;
    EXPECT_NE(once.find("N:Yamada;Taro;;;\r\nFN:Taro Yamada\r\nX-PHONETIC-LAST-NAME:やまだ\r\n"),
              std::string::npos)
        << once;
    // Google's CSV holds those said again as custom fields, each marked as no book's column of
    // that heading ("N"), and they come back as they were.
    Store three = Store::inMemory();
    importVcfFile(three, folder.write("three.vcf", card));
    std::string threeGoogle = googleReadsBackTheSame(folder, three);
    EXPECT_NE(threeGoogle.find("N;VALUE=text,Yamada;Taro;;;,FN;VALUE=text,Taro Yamada,"
                               "X-PHONETIC-LAST-NAME;VALUE=text,やまだ"),
              std::string::npos)
        << threeGoogle;
    Store threeBack = Store::inMemory();
    importFile(threeBack, folder.write("three.csv", threeGoogle), FileKind::AddressBook);
    std::string threeCard = exported(threeBack, folder, FileKind::Vcard3);
    EXPECT_EQ(threeCard.substr(0, threeCard.find("UID")), once.substr(0, once.find("UID")));
    // A vCard 4.0 card of two display names: Google's CSV holds the second as a custom field,
    // which comes back the second.
    Store four = Store::inMemory();
    importFile(four,
               folder.write("four.vcf",
                            "BEGIN:VCARD\r\nVERSION:4.0\r\nFN;LANGUAGE=ja:山田太郎\r\n"
                            "FN;LANGUAGE=en:Taro Yamada\r\nN:山田;太郎;;;\r\nEND:VCARD\r\n"),
               FileKind::PhoneCards);
    std::string fourGoogle = googleReadsBackTheSame(folder, four);
    EXPECT_NE(fourGoogle.find(",FN;LANGUAGE=en,Taro Yamada\r\n"), std::string::npos) << fourGoogle;
    Store fromGoogle = Store::inMemory();
    importFile(fromGoogle, folder.write("four.csv", fourGoogle), FileKind::AddressBook);
    std::string fourCard = exported(fromGoogle, folder, FileKind::Vcard3);
    EXPECT_NE(fourCard.find("N:山田;太郎;;;\r\nFN:山田太郎\r\nFN;LANGUAGE=en:Taro Yamada\r\n"),
              std::string::npos)
        << fourCard;
    // A phone's card of two readings: the second stays before the line after it; one said
    // again alike but for its blanks is one.
    once = readsBackTheSame(folder, {{"phone.vcf",
                                      "BEGIN:VCARD\r\nX-JPG-\r\nX-PHONETIC-LAST-NAME:R\r\n"
                                      "X-PHONETIC-LAST-NAME:V\r\nX-FOO:f\r\n"
                                      "X-PHONETIC-LAST-NAME:R \r\nEND:VCARD\r\n"}});
    EXPECT_NE(once.find("X-PHONETIC-LAST-NAME:R\r\nX-PHONETIC-LAST-NAME:V\r\nX-FOO:f\r\n"
                        "UID:"),
              std::string::npos)
        << once;

    Store store = Store::inMemory();
    ImportReport report;
    importFile(store, folder.write("again.vcf", card), FileKind::PhoneCards, {}, &report);
    EXPECT_NE(report.note().find("表示名、名前、読み"), std::string::npos) << report.note();
    std::string path = folder.file("phone.vcf");
    EXPECT_NE(exportToFile(store, folder.path(), path, FileKind::PhoneCards)
                  .find("名前、表示名、読み（山田 太郎）"),
              std::string::npos);
    std::string phone = readBytes(path);
    EXPECT_NE(phone.find(utf8ToCp932("N;CHARSET=SHIFT_JIS:山田;太郎\r\n"
                                     "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾔﾏﾀﾞ;ﾀﾛｳ\r\n")),
              std::string::npos);
}

// Japanese phones', Outlook's and vCard 3.0's readings said twice: the first stands, as the
// phone's reading, and the other is kept after it, named as a reading; an empty one gives way
// to one after it, as an empty name or display name does. A SOUND that is a sound clip is kept
// too, and Google's CSV, which holds text only, names it where it leaves it out.
TEST(SmartphoneGoldens, AReadingSaidAgainAndASoundClipAreKept) {
    TempFolder folder;
    const std::string card =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:\r\nN:山田;太郎\r\nFN:\r\nFN:1\r\nFN:p\r\n"
        "SOUND;X-IRMC-N:\r\nSOUND;X-IRMC-N:ﾔﾏﾀﾞ;ﾀﾛｳ\r\nSOUND;X-IRMC-N:ﾔﾏﾀﾞ;ﾀｲﾛｳ\r\n"
        "X-MS-N-YOMI:ﾔﾏﾀﾞ;ﾀﾛｳ\r\nX-MS-N-YOMI:ﾔﾏﾀﾞ;ﾀｲﾁ\r\nSORT-STRING:やまだ\r\n"
        "SORT-STRING:ヤマダ\r\nSOUND;TYPE=WAVE;ENCODING=b:UklGRiQA\r\n\r\n"
        "SOUND;VALUE=uri:https://example.jp/taro.wav\r\nTEL;CELL:09011112222\r\nEND:VCARD\r\n";
    std::string once = readsBackTheSame(folder, {{"twice.vcf", utf8ToCp932(card)}});
    EXPECT_NE(once.find("N:山田;太郎;;;\r\nFN:1\r\nX-PHONETIC-LAST-NAME:ﾔﾏﾀﾞ\r\n"
                        "X-PHONETIC-FIRST-NAME:ﾀﾛｳ\r\n"),
              std::string::npos)
        << once;
    EXPECT_NE(once.find("SOUND;TYPE=X-IRMC-N:ﾔﾏﾀﾞ;ﾀﾛｳ\r\nSOUND;TYPE=X-IRMC-N:ﾔﾏﾀﾞ;ﾀｲﾛｳ\r\n"
                        "X-MS-N-YOMI:ﾔﾏﾀﾞ;ﾀﾛｳ\r\nX-MS-N-YOMI:ﾔﾏﾀﾞ;ﾀｲﾁ\r\n"
                        "SORT-STRING:やまだ\r\nSORT-STRING:ヤマダ\r\n"
                        "SOUND;ENCODING=b;TYPE=WAVE:UklGRiQA\r\n"
                        "SOUND;VALUE=uri:https://example.jp/taro.wav\r\n"),
              std::string::npos)
        << once;
    EXPECT_NE(once.find("FN:p\r\n"), std::string::npos) << once;
    EXPECT_EQ(once.find("FN:\r\n"), std::string::npos) << once;
    // A display name that is the card's number says no more than an empty one.
    std::string shown =
        readsBackTheSame(folder, {{"shown.vcf",
                                   "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:090\r\nFN:A\r\nFN:B\r\n"
                                   "TEL:090\r\nEND:VCARD\r\n"}});
    EXPECT_NE(shown.find("N:;A;;;\r\nFN:A\r\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("FN:B\r\n"), std::string::npos) << shown;

    Store store = Store::inMemory();
    ImportReport report;
    importFile(store, folder.write("again.vcf", utf8ToCp932(card)), FileKind::PhoneCards, {},
               &report);
    EXPECT_NE(report.note().find("読み"), std::string::npos) << report.note();
    EXPECT_NE(report.note().find("音声"), std::string::npos) << report.note();
    std::string path = folder.file("phone.vcf");
    EXPECT_NE(exportToFile(store, folder.path(), path, FileKind::PhoneCards)
                  .find("表示名、読み、音声（山田 太郎）"),
              std::string::npos);
    EXPECT_NE(cp932ToUtf8(readBytes(path)).find("SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾔﾏﾀﾞ;ﾀﾛｳ\r\n"),
              std::string::npos);
    EXPECT_EQ(exportToFile(store, folder.path(), folder.file("google.csv"), FileKind::GoogleCsv),
              "Google 連絡先 CSV は文字しか持てないため、カードに埋め込まれた次のデータは"
              "書き出していません：1（音声）。vCard 3.0 には残ります。");
    std::string google = readBytes(folder.file("google.csv"));
    Store fromGoogle = Store::inMemory();
    importFile(fromGoogle, folder.file("google.csv"), FileKind::AddressBook);
    EXPECT_EQ(googleReadsBackTheSame(folder, fromGoogle), google);
    EXPECT_NE(google.find(",SOUND;TYPE=X-IRMC-N,ﾔﾏﾀﾞ;ﾀｲﾛｳ,"), std::string::npos) << google;
    EXPECT_NE(google.find(",SOUND;VALUE=uri,https://example.jp/taro.wav"), std::string::npos)
        << google;
}

// A CSV column's heading is kept as a quoted parameter: a quote within it, which would end it
// there, is kept as an apostrophe, and the column reads back the same from Google's CSV. Google
// joins a person's nicknames, and a company's units, in one cell: they come back apart. A
// place's latitude and longitude come back as the parts they are. A contact of a note alone,
// with no name, number or mail, is a row of Google's all the same, and comes back.
TEST(SmartphoneGoldens, GooglesCellsReadBackAsWritten) {
    TempFolder folder;
    Store store = Store::inMemory();
    importFile(store, folder.write("quote.csv", "Name,\"m\"\": c\",e\\f\r\n山田,/,3\r\n"),
               FileKind::AddressBook);
    std::string google = googleReadsBackTheSame(folder, store);
    EXPECT_NE(google.find(",m': c,/,e\\f,3\r\n"), std::string::npos) << google;

    Store nicknames = Store::inMemory();
    importVcfFile(nicknames, folder.write("nick.vcf",
                                          "BEGIN:VCARD\r\nVERSION:3.0\r\nN:A;B;;;\r\n"
                                          "NICKNAME:はな,a\\,b\r\nORG:明治商会;営業部;第一課\r\n"
                                          "GEO:35.0;139.0\r\nEND:VCARD\r\n"));
    google = googleReadsBackTheSame(folder, nicknames);
    EXPECT_NE(google.find(",\"はな ::: a,b\",,"), std::string::npos) << google;
    Store fromGoogle = Store::inMemory();
    importFile(fromGoogle, folder.write("nick.csv", google), FileKind::AddressBook);
    std::string card = exported(fromGoogle, folder, FileKind::Vcard3);
    for (const char* line :
         {"NICKNAME:はな,a\\,b\r\n", "ORG:明治商会;営業部;第一課\r\n", "GEO:35.0;139.0\r\n"})
        EXPECT_NE(card.find(line), std::string::npos) << line << "\n" << card;

    Store noted = Store::inMemory();
    importVcfFile(noted, folder.write("note.vcf",
                                      "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:メモだけ\r\n"
                                      "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\n"
                                      "X-FOO:a\r\nEND:VCARD\r\n"));
    google = googleReadsBackTheSame(folder, noted, 2);
    EXPECT_NE(google.find(",メモだけ,,* myContacts"), std::string::npos) << google;
    // A property whose parameter holds a ":" keeps it in quotes in its custom field's label;
    // a contact of a reading alone is a row too.
    Store colon = Store::inMemory();
    importVcfFile(colon, folder.write("colon.vcf",
                                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nX-Q;TYPE=\"a:b\":v\r\n"
                                      "END:VCARD\r\nBEGIN:VCARD\r\nSOUND:;a\r\n"
                                      "N;CHARSET=SHIFT_JIS:\r\nEND:VCARD\r\n"));
    google = googleReadsBackTheSame(folder, colon, 2);
    EXPECT_NE(google.find(",\"X-Q;TYPE=\"\"a:b\"\"\",v\r\n"), std::string::npos) << google;
    Store colonBack = Store::inMemory();
    importFile(colonBack, folder.write("colon.csv", google), FileKind::AddressBook);
    card = exported(colonBack, folder, FileKind::Vcard3);
    EXPECT_NE(card.find("\r\nX-Q;TYPE=\"a:b\":v\r\n"), std::string::npos) << card;
    EXPECT_NE(card.find("\r\nN:;;;;\r\nFN:\r\nX-PHONETIC-FIRST-NAME:a\r\n"), std::string::npos)
        << card;
    // Nor does a ";" in quotes end a parameter of the label: a name said again comes back.
    Store semicolon = Store::inMemory();
    importVcfFile(semicolon, folder.write("semi.vcf", "BEGIN:VCARD\nN:e\nN;\";\":\\a\nEND:VCARD"));
    std::string direct = exported(semicolon, folder, FileKind::Vcard3);
    Store semicolonBack = Store::inMemory();
    importFile(semicolonBack, folder.write("semi.csv", googleReadsBackTheSame(folder, semicolon)),
               FileKind::AddressBook);
    card = exported(semicolonBack, folder, FileKind::Vcard3);
    EXPECT_EQ(card.substr(0, card.find("UID")), direct.substr(0, direct.find("UID")));
    // A value that reads as Excel's text formula ("=\"\"") is written as one, and comes back.
    Store formula = Store::inMemory();
    importVcfFile(formula, folder.write("formula.vcf", "BEGIN:VCARD\n:=\"\"\rEND:VCARD"));
    google = googleReadsBackTheSame(folder, formula);
    EXPECT_NE(google.find(",X-,\"=\"\"=\"\"\"\"\"\"\"\r\n"), std::string::npos) << google;
    // A row of a custom field's label alone holds nobody, nor does a name of a ";" alone.
    Store separator = Store::inMemory();
    for (const char* file : {"Name\n;\n", "Name\n;\r"})
        EXPECT_EQ(importFile(separator, folder.write("semicolon.csv", file), FileKind::AddressBook),
                  0)
            << file;
    // A column of a book headed as a name property is the user's: it reads back a column,
    // never the contact's name, where the row names nobody.
    Store headed = Store::inMemory();
    importFile(headed, folder.write("headed.csv", "Mobile Phone,N;C=\r\n1,x\r\n"),
               FileKind::AddressBook);
    google = googleReadsBackTheSame(folder, headed);
    EXPECT_NE(google.find(",* myContacts,Mobile,1,N;C=,x\r\n"), std::string::npos) << google;
    // A line break within a part of such a line comes back a line break, where it came back
    // as "\n" from the second round on.
    Store parted = Store::inMemory();
    importFile(parted,
               folder.write("parted.csv",
                            "Name,Mobile Phone,N;ALTID=1;LANGUAGE=en,N;C=\r\n"
                            "A,1,\"Smith\nJr;John\",\"\r\"\r\n"),
               FileKind::AddressBook);
    google = googleReadsBackTheSame(folder, parted);
    EXPECT_NE(google.find(",N;ALTID=1;LANGUAGE=en,\"Smith\nJr;John\",N;C=,\"\n\"\r\n"),
              std::string::npos)
        << google;
    // Nor is one headed with a parameter in lower case, which ours never write: it stays as
    // headed, beside a number.
    Store lower = Store::inMemory();
    importFile(lower, folder.write("lower.csv", "Mobile Phone,N;e=\r\n1,m\r\n"),
               FileKind::AddressBook);
    google = googleReadsBackTheSame(folder, lower);
    EXPECT_NE(google.find(",* myContacts,Mobile,1,N;e=,m\r\n"), std::string::npos) << google;
    // A parameter of other letters than Latin ones, as a card may have it, is still ours: the
    // line comes back as it was.
    Store katakana = Store::inMemory();
    importVcfFile(katakana, folder.write("kana.vcf",
                                         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\n"
                                         "X-FOO;ｶ=J:v\r\nEND:VCARD\r\n"));
    Store kanaBack = Store::inMemory();
    importFile(kanaBack, folder.write("kana.csv", exported(katakana, folder, FileKind::GoogleCsv)),
               FileKind::AddressBook);
    std::string kanaCard = exported(kanaBack, folder, FileKind::Vcard3);
    EXPECT_NE(kanaCard.find("\r\nX-FOO;ｶ=J:v\r\n"), std::string::npos) << kanaCard;
    Store labelled = Store::inMemory();
    EXPECT_EQ(importFile(labelled,
                         folder.write("label.csv",
                                      "First Name,Labels,Custom Field 1 - Label,Custom "
                                      "Field 1 - Value\r\n,* myContacts,ラベル,\r\n"),
                         FileKind::AddressBook),
              0);

    // A name holding a line break (a phone's card broken over two lines) keeps its parts: the
    // phone's line has the break as CR LF, the kept name as one character.
    Store broken = Store::inMemory();
    importVcfFile(broken, folder.write("broken.vcf", utf8ToCp932("BEGIN:VCARD\nN;CHARSET=SHIFT_JIS:"
                                                                 ";A\nD;H\nEND:VCARD\n")));
    Store back = Store::inMemory();
    importFile(back, folder.write("broken.csv", exported(broken, folder, FileKind::GoogleCsv)),
               FileKind::AddressBook);
    card = exported(back, folder, FileKind::Vcard3);
    EXPECT_NE(card.find("N:;A\\nD;H;;\r\n"), std::string::npos) << card;
    // A family name ending in "\\", which would escape the phone line's ";" after it, stays
    // the family name.
    std::string once = readsBackTheSame(
        folder, {{"backslash.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nN:\\\\;B;;;\r\nEND:VCARD\r\n"}});
    EXPECT_NE(once.find("\r\nN:\\\\;B;;;\r\n"), std::string::npos) << once;
    Store backslash = Store::inMemory();
    importFile(backslash, folder.write("backslash.csv", utf8ToCp932("姓,名\n\\\r,B")),
               FileKind::AddressBook);
    google = googleReadsBackTheSame(folder, backslash);
    EXPECT_NE(google.find("\r\nB,,\\,"), std::string::npos) << google;
    // A CR alone within a part of a book's name is a line break too, as Google's CSV has it.
    Store carriageReturn = Store::inMemory();
    importFile(carriageReturn, folder.write("cr.csv", "Name\n;;\"\r\"\n"), FileKind::AddressBook);
    google = googleReadsBackTheSame(folder, carriageReturn);
    EXPECT_NE(google.find(",\"\"\"\n\"\"\","), std::string::npos) << google;
}

// A name of a middle name alone names the person, never the company beside it: it was lost,
// the card named by its company. A title alone names nobody, and is kept beside the company.
// Both read back the same from vCard 3.0 and Google's CSV.
TEST(SmartphoneGoldens, ANameOfOtherPartsAloneNamesThePerson) {
    TempFolder folder;
    std::string once = readsBackTheSame(
        folder,
        {{"middle.vcf", "BEGIN:VCARD\nORG:明治商会\nN:;;Lee\nEND:VCARD"},
         // A title alone names nobody: the company names the card, the title is kept.
         {"prefix.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nN:;;;Dr.;\r\nORG:X\r\nEND:VCARD\r\n"}});
    for (const char* line :
         {"N:;;Lee;;\r\nFN:Lee\r\nORG:明治商会\r\n", "N:;;;Dr.;\r\nFN:X\r\nORG:X\r\n"})
        EXPECT_NE(once.find(line), std::string::npos) << line << "\n" << once;

    Store store = Store::inMemory();
    importFile(store,
               folder.write("google.csv",
                            "First Name,Middle Name,Organization Name,Phone 1 - "
                            "Value\r\n,Lee,明治商会,03\r\n"),
               FileKind::AddressBook);
    std::string google = googleReadsBackTheSame(folder, store);
    EXPECT_NE(google.find("\r\n,Lee,,,,,,,,,明治商会,"), std::string::npos) << google;
    EXPECT_NE(cp932ToUtf8(exported(store, folder, FileKind::PhoneCards,
                                   "電話機の形式にない次の項目は書き出していません：敬称やミドル"
                                   "ネーム、会社名（Lee）"
                                   "。すべて残すには、vCard 3.0 か Google 連絡先 CSV "
                                   "で保存してください。"))
                  .find("\r\nN;CHARSET=SHIFT_JIS:Lee\r\n"),
              std::string::npos);
}

// A card whose only name is its nickname (Android writes it as the FN too, over an empty N) is
// named by it in the phone's line, and reads back nameless, as it came, from vCard 3.0 and
// from Google's CSV; so does a card of an empty N and a nickname.
TEST(SmartphoneGoldens, ACardNamedByItsNicknameAloneReadsBackNameless) {
    TempFolder folder;
    const std::string android =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:;;;;\r\nFN:Taro\r\nNICKNAME:Taro,タロ\r\n"
        "TEL;TYPE=CELL:090-1111-2222\r\nEND:VCARD\r\n";
    std::string once = readsBackTheSame(
        folder,
        {{"android.vcf", android}, {"empty.vcf", "BEGIN:VCARD\nN:\rNICKNAME:i\nEND:VCARD"}});
    for (const char* line :
         {"N:;;;;\r\nFN:Taro\r\nNICKNAME:Taro,タロ\r\n", "N:;;;;\r\nFN:i\r\nNICKNAME:i\r\n"})
        EXPECT_NE(once.find(line), std::string::npos) << line << "\n" << once;

    Store store = Store::inMemory();
    importVcfFile(store, folder.write("android.vcf", android));
    // Only the nickname is left out of the phone's file: it has no other name to leave out.
    const std::string leftOut =
        "電話機の形式にない次の項目は書き出していません：ニックネーム（Taro）。すべて残すには、"
        "vCard 3.0 か Google 連絡先 CSV で保存してください。";
    EXPECT_NE(cp932ToUtf8(exported(store, folder, FileKind::PhoneCards, leftOut))
                  .find("\r\nN;CHARSET=SHIFT_JIS:Taro\r\n"),
              std::string::npos);
    std::string google = googleReadsBackTheSame(folder, store);
    EXPECT_NE(google.find("\r\n,,,,,,,,Taro ::: タロ,"), std::string::npos) << google;
    Store fromGoogle = Store::inMemory();
    importFile(fromGoogle, folder.write("google.csv", google), FileKind::AddressBook);
    EXPECT_NE(cp932ToUtf8(exported(fromGoogle, folder, FileKind::PhoneCards, leftOut))
                  .find("\r\nN;CHARSET=SHIFT_JIS:Taro\r\n"),
              std::string::npos);
    EXPECT_NE(exported(fromGoogle, folder, FileKind::Vcard3)
                  .find("N:;;;;\r\nFN:Taro\r\nNICKNAME:Taro,タロ\r\n"),
              std::string::npos);
    // So is a business contact of Google's: its company alone is left out of the list page.
    Store company = Store::inMemory();
    importFile(company,
               folder.write("company.csv",
                            "First Name,Organization Name,Phone 1 - Label,Phone 1 "
                            "- Value\r\n,明治商会,Work,03\r\n"),
               FileKind::AddressBook);
    exported(company, folder, FileKind::ListPage,
             "この形式にない次の項目は書き出していません：会社名（明治商会）。すべて残すには、"
             "vCard 3.0 か Google 連絡先 CSV で保存してください。");
}

// A ";" in a 2.1 card's number or mail is escaped as in any text, whether the phone's line or
// a line kept as it came gave it, so that it reads back the same whichever gives it then.
TEST(SmartphoneGoldens, ASemicolonInANumberIsEscapedWhicheverLineGaveIt) {
    TempFolder folder;
    std::string once = readsBackTheSame(folder, {{"semi.vcf",
                                                  "BEGIN:VCARD\r\nVERSION:2.1\r\nN:A\r\n"
                                                  "TEL;CELL:090;1\r\nTEL;X-FOO:091;2\r\n"
                                                  "EMAIL;X-BAR:a;b@example.jp\r\nEND:VCARD\r\n"}});
    EXPECT_NE(once.find("TEL;TYPE=CELL:090\\;1\r\n"), std::string::npos) << once;
    EXPECT_NE(once.find(".TEL:091\\;2\r\n"), std::string::npos) << once;
    EXPECT_NE(once.find("EMAIL;TYPE=X-BAR:a\\;b@example.jp\r\n"), std::string::npos) << once;
}

// A card of two photos: the person's own is written first and the other after it, so that a
// second reading takes the same one for the person's and writes them in the same order.
TEST(SmartphoneGoldens, TwoPhotosReadBackInTheirOrder) {
    TempFolder folder;
    std::string once =
        readsBackTheSame(folder, {{"two.vcf",
                                   "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Sato;Aki\r\n"
                                   "PHOTO;ENCODING=BASE64;JPEG:AAEC\r\n\r\n"
                                   "PHOTO;VALUE=URL:http://example.jp/aki.jpg\r\n"
                                   "PHOTO;ENCODING=BASE64;JPEG:/9j/\r\n\r\nEND:VCARD\r\n"}});
    EXPECT_NE(once.find("PHOTO;ENCODING=b;TYPE=JPEG:AAEC\r\n"
                        "PHOTO;VALUE=uri:http://example.jp/aki.jpg\r\n"
                        "PHOTO;ENCODING=b;TYPE=JPEG:/9j/\r\n"),
              std::string::npos)
        << once;
}

// Google reads " ::: " as between two values of a kind: a value that holds it is written as
// it is, and named, since reading the file back parts it.
TEST(SmartphoneGoldens, AValueHoldingGooglesSeparatorIsNamed) {
    TempFolder folder;
    Store store = Store::inMemory();
    importVcfFile(store, folder.write("sep.vcf",
                                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\n"
                                      "TEL:03 ::: 04\r\nNICKNAME:a ::: b\r\n"
                                      "EMAIL:a@example.jp\r\nEND:VCARD\r\n"));
    std::string google = exported(
        store, folder, FileKind::GoogleCsv,
        "Google 連絡先 CSV は「 ::: 」を値の区切りとして読むため、次の値は読み込み直すと分かれ"
        "ます：A（ニックネーム a ::: b、電話番号 03 ::: 04）。vCard 3.0 には 1 つのまま残ります。");
    EXPECT_NE(google.find(",03 ::: 04"), std::string::npos) << google;
    // Values without it say nothing.
    Store plain = Store::inMemory();
    importVcfFile(plain, folder.write("plain.vcf",
                                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:B\r\n"
                                      "TEL:03:::04\r\nEND:VCARD\r\n"));
    exported(plain, folder, FileKind::GoogleCsv);
}

TEST(SmartphoneGoldens, RichCardsKeepEverythingThroughTheStoreAndBack) {
    TempFolder folder;
    // An iPhone card of every property: out as vCard 3.0 and the Google CSV, as spelled out.
    Store store = Store::inMemory();
    ImportReport report;
    ASSERT_EQ(importVcfFile(store, kGolden + "rich-iphone.vcf", {}, &report), 1);
    EXPECT_EQ(exported(store, folder, FileKind::Vcard3),
              readBytes(kGolden + "rich-iphone-out.vcf"));
    // Google's CSV links a photo; the one held in the card is named, not said to be kept.
    EXPECT_EQ(exported(store, folder, FileKind::GoogleCsv,
                       "Google 連絡先 CSV は写真をリンクでしか持てないため、カードに埋め込まれた"
                       "写真 1 件は書き出していません（Mary Ann O'Brien）。写真は vCard 3.0 "
                       "に残ります。"),
              readBytes(kGolden + "rich-iphone-google.csv"));
    // Read back and written again: the same.
    Store again = Store::inMemory();
    ASSERT_EQ(importVcfFile(again, kGolden + "rich-iphone-out.vcf"), 1);
    EXPECT_EQ(exported(again, folder, FileKind::Vcard3),
              readBytes(kGolden + "rich-iphone-out.vcf"));
    // A rich Google row comes back as it was.
    Store google = Store::inMemory();
    ASSERT_EQ(importFile(google, kGolden + "rich-google.csv", FileKind::AddressBook), 1);
    EXPECT_EQ(exported(google, folder, FileKind::GoogleCsv),
              readBytes(kGolden + "rich-google.csv"));
    // The phone's own file keeps only the phone's lines, the readings in half-width katakana.
    std::string phone = folder.file("phone.vcf");
    exportToFile(store, folder.path(), phone, FileKind::PhoneCards);
    std::string text = cp932ToUtf8(readBytes(phone));
    EXPECT_NE(text.find("SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ｵﾌﾞﾗｲｴﾝ;ﾒｱﾘｰ\r\n"), std::string::npos);
    EXPECT_EQ(text.find("ORG"), std::string::npos);
    EXPECT_EQ(text.find("PHOTO"), std::string::npos);
}

TEST(SmartphoneGoldens, WhatAnEntryHoldsBeyondThePhoneSurvivesTheFormDeleteAndClear) {
    Store store = Store::inMemory();
    ASSERT_EQ(importVcfFile(store, kGolden + "rich-iphone.vcf"), 1);
    Connection connection = store.open();
    size_t held = readExtras(connection, 1).size();
    EXPECT_GT(held, 10u);
    // The input form rewrites the phone's lines; the rest stays.
    std::optional<EntryRow> row = readEntry(connection, 1);
    ASSERT_TRUE(row);
    std::vector<std::string> columns;
    for (const std::optional<std::string>& column : row->columns)
        if (column) columns.push_back(*column);
    columns[2] = "N;CHARSET=SHIFT_JIS:O'Brien;Mimi";
    EXPECT_TRUE(updateEntry(connection, 1, columns));
    EXPECT_EQ(readExtras(connection, 1).size(), held);
    deleteEntry(connection, 1);
    EXPECT_TRUE(readExtras(connection, 1).empty());
    ASSERT_EQ(importVcfFile(store, kGolden + "rich-iphone.vcf"), 1);
    clearEntries(connection);
    Statement left = connection.prepare("select count(*) from entry_extras;");
    ASSERT_TRUE(left.step());
    EXPECT_EQ(left.integer(0), 0);
}

}  // namespace
}  // namespace tsunagi
