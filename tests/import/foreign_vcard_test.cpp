// Address books that other programs write, read from fixtures written in their shapes (see
// fixtures/make_fixtures.py), and written back out as the phone's card file.

#include <gtest/gtest.h>

#include "commands/save_command.h"
#include "export/vcard3_writer.h"
#include "import/vcf_import.h"
#include "platform/codec.h"
#include "support/rows.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

const std::string kFixtures = std::string(TSUNAGI_FIXTURES) + "/import/fixtures/";

struct Imported {
    Rows rows;
    ImportReport report;
};

Imported importFixture(const std::string& name) {
    Store store = Store::inMemory();
    Imported imported;
    importVcfFile(store, kFixtures + name, {}, &imported.report);
    imported.rows = storedRows(store);
    return imported;
}

// The store's entries as vCard 3.0.
std::string vcard3Of(const Store& store) {
    Connection connection = store.open();
    StringSink out;
    writeVcard3(storedRows(connection), out);
    return out.text;
}

const std::string kLongName = "寿限無寿限無五劫の擦り切れ海砂利水魚の水行末雲来末風来末";

TEST(ForeignVcard, AJapanesePhoneWithLfLineEndsIsReadLineForLine) {
    Imported phone = importFixture("feature-phone-lf.vcf");
    EXPECT_EQ(phone.report.normalised, 0);
    EXPECT_EQ(
        phone.rows,
        (Rows{{"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:佐藤;花子",
               "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ｻﾄｳ;ﾊﾅｺ",
               "TEL;CELL:09011112222<>TEL;X-NEC-HOTEL:0355556666", "EMAIL;CELL:hanako@docomo.ne.jp",
               "ADR;HOME;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:;;=93=8C=8B=9E=93=73=90="
               "E7=91=E3=93=63=8B=E6=31=2D=31;;;;",
               "X-GNO:2", "X-GN;CHARSET=SHIFT_JIS:友人", "END:VCARD"},
              // HOTEL;OKURA is a name: a line is a number line by its property name.
              {"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:HOTEL;OKURA",
               "TEL;VOICE:0312345678", "END:VCARD"}}));
}

TEST(ForeignVcard, SmartphonesAndMailProgramsInEveryVersion) {
    Imported android = importFixture("android-21.vcf");
    EXPECT_EQ(android.rows,
              (Rows{normalisedCard("山田;" + kLongName, "ﾔﾏﾀﾞ",
                                   "TEL;CELL:+81 90-1234-5678<>TEL;VOICE;HOME:03.1234.5678<>"
                                   "TEL;VOICE;WORK:(03) 9876 5432<>",
                                   "EMAIL;INTERNET:yamada@example.jp<>", 1)}));
    EXPECT_EQ(android.report.leftOut, (std::set<std::string>{"NICKNAME", "PHOTO"}));

    Imported iphone = importFixture("iphone-30.vcf");
    EXPECT_EQ(iphone.rows,
              (Rows{normalisedCard("伊藤;博文", "ｲﾄｳ;ﾋﾛﾌﾞﾐ",
                                   "TEL;CELL:090-2222-3333<>TEL;VOICE;HOME:+81 (0)3 1234 5678<>",
                                   "EMAIL;INTERNET:hirobumi@example.jp<>", 1)}));
    EXPECT_EQ(iphone.report.leftOut,
              (std::set<std::string>{"ADR", "ORG", "PHOTO", "PRODID", "X-ABLABEL"}));

    // Google's rich contact has over 80 lines and still becomes one short card.
    Imported google = importFixture("google-30.vcf");
    EXPECT_EQ(google.rows,
              (Rows{normalisedCard("高橋;一郎", "", "TEL;CELL:080-4444-5555<>",
                                   "EMAIL;INTERNET:ichiro@example.jp<>", 1),
                    normalisedCard(
                        "Public;Jane", "",
                        "TEL;CELL:+1 (415) 555-0100<>TEL;VOICE;WORK:+44 20 7946 0000<>",
                        "EMAIL;INTERNET:jane@example.com<>EMAIL;INTERNET:jq@example.org<>", 2)}));
    EXPECT_EQ(google.report.normalised, 2);
    EXPECT_EQ(google.report.leftOut, (std::set<std::string>{"CATEGORIES", "NOTE", "URL"}));

    Imported four = importFixture("vcard-40.vcf");
    EXPECT_EQ(four.rows,
              (Rows{normalisedCard("渡辺;健", "ﾜﾀﾅﾍﾞ;ｹﾝ",
                                   "TEL;CELL:+81-90-5555-6666<>TEL;VOICE;HOME:+81-3-5555-7777<>",
                                   "EMAIL;INTERNET:ken@example.jp<>", 1)}));

    EXPECT_EQ(importFixture("lower-case.vcf").rows,
              (Rows{normalisedCard("小林;誠", "", "TEL;CELL:070-1111-2222<>",
                                   "EMAIL;INTERNET:makoto@example.jp<>", 1)}));
    EXPECT_EQ(importFixture("mixed-case.vcf").rows,
              (Rows{normalisedCard("中村;愛", "", "TEL;VOICE;HOME:0422-11-2233<>", "", 1)}));
    EXPECT_NE(google.report.note().find("URL"), std::string::npos);
}

TEST(ForeignVcard, TheMergedCardFileHoldsOnlyThePhonesDialect) {
    TempFolder folder;
    Store store = Store::inMemory();
    long cards = 0;
    for (const char* name : {"feature-phone-lf.vcf", "android-21.vcf", "iphone-30.vcf",
                             "google-30.vcf", "vcard-40.vcf", "lower-case.vcf", "mixed-case.vcf"})
        cards += importVcfFile(store, kFixtures + name);
    EXPECT_EQ(cards, 9);
    std::string path = folder.file("merged.vcf");
    exportToFile(store, folder.path(), path, FileKind::PhoneCards);
    std::string text = cp932ToUtf8(readBytes(path));
    EXPECT_EQ(text.find("UTF-8"), std::string::npos);
    // The phone's own quoted-printable address stays; nothing of the others is encoded.
    size_t qp = text.find("QUOTED-PRINTABLE");
    EXPECT_EQ(text.find("QUOTED-PRINTABLE", qp + 1), std::string::npos);
    size_t names = 0;
    for (size_t at = 0; (at = text.find("\r\nN;CHARSET=SHIFT_JIS:", at)) != std::string::npos; ++at)
        ++names;
    EXPECT_EQ(names, 9u);
    // Numbers of every written form are dialled as digits.
    for (const char* line :
         {"TEL;CELL:09012345678\r\n", "TEL;VOICE;HOME:0312345678\r\n",
          "TEL;VOICE;WORK:0398765432\r\n", "TEL;CELL:01014155550100\r\n",
          "TEL;VOICE;WORK:010442079460000\r\n", "TEL;CELL:09055556666\r\n",
          "TEL;VOICE;HOME:0355557777\r\n", "N;CHARSET=SHIFT_JIS:HOTEL;OKURA\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST(ForeignVcard, ValuesValidInNoCharacterSetAreKeptWithTheBadBytesReplacedAndNamed) {
    TempFolder folder;
    Store store = Store::inMemory();
    std::string file =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN;CHARSET=UTF-8:\xff\xfe;x\r\n"
        "TEL:0312345678\r\nEND:VCARD\r\n";
    ImportReport report;
    EXPECT_EQ(importVcfFile(store, folder.write("bad.vcf", file), {}, &report), 1);
    EXPECT_EQ(storedRows(store).at(0).at(2), "N;CHARSET=SHIFT_JIS:\uFFFD\uFFFD;x");
    EXPECT_EQ(report.damaged, (std::vector<std::string>{"\uFFFD\uFFFD x"}));
    EXPECT_NE(report.note().find("置き換えて"), std::string::npos) << report.note();

    // A CHARSET of its own lets a Shift_JIS value stand in a UTF-8 file.
    std::string mixed =
        "BEGIN:VCARD\nVERSION:3.0\nFN:伊藤\nN;CHARSET=SHIFT_JIS:\x8e\x52;\x93\x63\n"
        "END:VCARD\n";
    importVcfFile(store, folder.write("mixed.vcf", mixed));
    EXPECT_EQ(storedRows(store).at(1).at(2), "N;CHARSET=SHIFT_JIS:山;田");
}

// Parameters are text in the card's character set as its values are: a Shift_JIS SORT-AS is the
// reading in UTF-8, and a byte valid in no set is replaced there too, never written to a UTF-8
// file as it came.
TEST(ForeignVcard, ParametersAreReadInTheCardsCharacterSet) {
    TempFolder folder;
    Store store = Store::inMemory();
    importVcfFile(store, folder.write("sjis.vcf", utf8ToCp932("BEGIN:VCARD\r\nVERSION:2.1\r\n"
                                                              "N;CHARSET=SHIFT_JIS;SORT-AS=\"ﾔﾏﾀﾞ,"
                                                              "ﾀﾛｳ\":山田;太郎\r\n"
                                                              "FN;CHARSET=SHIFT_JIS:山田 太郎\r\n"
                                                              "END:VCARD\r\n")));
    ImportReport report;
    importVcfFile(store,
                  folder.write("bad.vcf", "BEGIN:VCARD\nN;SORT-AS=\"\xe3\":\xce\nEND:VCARD\n"), {},
                  &report);
    EXPECT_EQ(report.damaged.size(), 1u);
    const std::string out = vcard3Of(store);
    EXPECT_TRUE(isValidUtf8(out)) << out;
    EXPECT_NE(out.find("X-PHONETIC-LAST-NAME:ﾔﾏﾀﾞ\r\nX-PHONETIC-FIRST-NAME:ﾀﾛｳ\r\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("X-PHONETIC-LAST-NAME:\uFFFD\r\n"), std::string::npos) << out;
}

// Text that a 2.1 writer sent as base64 is the text it encodes (UTF-8 where the card names no
// set); digits that encode nothing, and bytes among a photo's digits, never reach a UTF-8 file.
TEST(ForeignVcard, TextSentAsBase64IsReadAsText) {
    TempFolder folder;
    Store store = Store::inMemory();
    ImportReport report;
    importVcfFile(store,
                  folder.write("b64.vcf",
                               "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                               "N;ENCODING=BASE64;CHARSET=UTF-8:5bGx55SwO+WkqumDjg==\r\n"
                               "NOTE;ENCODING=B:44Oh44Oi\r\n"
                               "TITLE;ENCODING=B:\xff\r\n"
                               "PHOTO;ENCODING=BASE64;TYPE=JPEG:/9j/\xe3\x80\x80"
                               "AA==\r\n"
                               "END:VCARD\r\n"),
                  {}, &report);
    EXPECT_EQ(report.damaged, (std::vector<std::string>{"山田 太郎"}));
    const std::string out = vcard3Of(store);
    EXPECT_TRUE(isValidUtf8(out)) << out;
    for (const char* line : {"N:山田;太郎;;;\r\n", "NOTE:メモ\r\n", "TITLE:\uFFFD\r\n",
                             "PHOTO;ENCODING=b;TYPE=JPEG:/9j/AA==\r\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
}

// In a file of UTF-8 alone, bytes that quoted-printable or base64 hide are read as any other
// card's: Shift_JIS where they are no UTF-8, else each bad byte replaced and the card named;
// never raw bytes in a UTF-8 file.
TEST(ForeignVcard, BytesHiddenByATransferEncodingAreReadInAUtf8File) {
    TempFolder folder;
    Store store = Store::inMemory();
    ImportReport report;
    importVcfFile(store,
                  folder.write("hidden.vcf",
                               "BEGIN:VCARD\r\nVERSION:2.1\r\nN:京;太郎\r\n"
                               "NOTE;ENCODING=QUOTED-PRINTABLE:=9F\r\nTITLE;ENCODING=b:n6\r\n"
                               "X-MEMO;ENCODING=QUOTED-PRINTABLE:=8E=52=93=63\r\n"
                               "ROLE;ENCODING=b:jlKTYw==\r\nEND:VCARD\r\n"),
                  {}, &report);
    EXPECT_EQ(report.damaged, (std::vector<std::string>{"京 太郎"}));
    const std::string out = vcard3Of(store);
    EXPECT_TRUE(isValidUtf8(out)) << out;
    for (const char* line :
         {"NOTE:\uFFFD\r\n", "TITLE:\uFFFD\r\n", "X-MEMO:山田\r\n", "ROLE:山田\r\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
}

// A soft break of quoted-printable before a fold is one break: only where the line is
// quoted-printable, not where a parameter's name or value merely holds the word.
TEST(ForeignVcard, ASoftBreakBeforeAFoldOnlyInQuotedPrintable) {
    TempFolder folder;
    Store store = Store::inMemory();
    importVcfFile(store,
                  folder.write("folds.vcf",
                               "BEGIN:VCARD\r\nVERSION:2.1\r\nN:A\r\n"
                               "NOTE;QUOTED-PRINTABLE:abc=\r\n def\r\n"
                               "TITLE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:=E5=B1=\r\n =B1\r\n"
                               "ROLE;X-ENCODING=QUOTED-PRINTABLE:a=\r\n b\r\nEND:VCARD\r\n"));
    const std::string out = vcard3Of(store);
    for (const char* line : {"NOTE:abcdef\r\n", "TITLE:山\r\n", "ROLE:a=b\r\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
}

// An empty line of a group (an iPhone's labelled mail left empty) says nothing: the card's
// other mails are the phone's own lines, as they would be without it, and read back the same.
TEST(ForeignVcard, AnEmptyLabelledMailSaysNothing) {
    TempFolder folder;
    Store store = Store::inMemory();
    importVcfFile(store, folder.write("empty.vcf",
                                      "BEGIN:VCARD\rm.EMAIL:\nEMAIL:a@example.jp\n"
                                      "m.X-ABLabel:work\nEND:VCARD"));
    const std::string out = vcard3Of(store);
    EXPECT_NE(out.find("\r\nEMAIL;TYPE=INTERNET:a@example.jp\r\nUID:"), std::string::npos) << out;
}

// A card with only a nickname is named by it, as Android writes one (its own row) as well as
// vCard 3.0 (NICKNAME); written for today's phones and read again, it is the same card.
TEST(ForeignVcard, ACardOfANicknameAloneIsNamedByIt) {
    TempFolder folder;
    Store store = Store::inMemory();
    importVcfFile(store,
                  folder.write("nick.vcf",
                               "BEGIN:VCARD\r\nVERSION:2.1\r\nX-ANDROID-CUSTOM;CHARSET=UTF-8;"
                               "ENCODING=QUOTED-PRINTABLE:vnd.android.cursor.item/nickname;"
                               "=E3=83=A4=E3=83=9E;1;;;;;;;;;;;;;\r\n"
                               "TEL;CELL:09011112222\r\nEND:VCARD\r\n"
                               "BEGIN:VCARD\r\nVERSION:3.0\r\nNICKNAME:Ken,Kenny\r\n"
                               "END:VCARD\r\n"));
    Rows rows = storedRows(store);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][2], "N;CHARSET=SHIFT_JIS:ヤマ");
    EXPECT_EQ(rows[1][2], "N;CHARSET=SHIFT_JIS:Ken");
    const std::string once = vcard3Of(store);
    Store again = Store::inMemory();
    importVcfFile(again, folder.write("once.vcf", once));
    EXPECT_EQ(vcard3Of(again), once);
}

}  // namespace
}  // namespace tsunagi
