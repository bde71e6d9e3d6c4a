// A person comes through whole: every line an old phone's card or another program's card
// holds reaches vCard 3.0 (spelled out here from RFC 2426) and Google's CSV, and the phone's
// own cards come back byte for byte.

#include <gtest/gtest.h>

#include "commands/open_command.h"
#include "commands/save_command.h"
#include "import/vcf_import.h"
#include "platform/codec.h"
#include "support/rows.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

// The lines of `bytes` read as a vCard file, written as `kind`; the message of the save too.
struct Written {
    std::string text;
    std::string message;
    long entries = 0;
};

Written through(TempFolder& folder, const std::string& bytes, FileKind kind) {
    Store store = Store::inMemory();
    Written written;
    written.entries = importVcfFile(store, folder.write("in.vcf", bytes));
    std::string out = folder.file(kind == FileKind::GoogleCsv ? "out.csv" : "out.vcf");
    written.message = exportToFile(store, folder.path(), out, kind);
    written.text = readBytes(out);
    return written;
}

// The card without its UID line, whose value is made from the stored lines.
std::string withoutUid(std::string text) {
    for (size_t uid = text.find("UID:"); uid != std::string::npos; uid = text.find("UID:", uid))
        text.erase(uid, text.find("\r\n", uid) + 2 - uid);
    return text;
}

std::string crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// Quoted-printable of the Shift_JIS bytes of `text`, as the phone writes an address or a note.
std::string qpShiftJis(const std::string& text) {
    std::string out;
    char hex[4];
    for (unsigned char c : utf8ToCp932(text)) {
        if (c >= 0x80 || c == '=') {
            std::snprintf(hex, sizeof hex, "=%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

const std::vector<std::string> kOldPhoneCard = {
    "BEGIN:VCARD",
    "VERSION:2.1",
    "N;CHARSET=SHIFT_JIS:山田;太郎",
    "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾔﾏﾀﾞ;ﾀﾛｳ",
    "X-JPG-OWNER:0",
    "TEL;VOICE;WORK:0312345678",
    "TEL;FAX:0312345679",
    "TEL;PAGER:0201234567",
    "TEL;CAR:09011112222",
    "EMAIL;INTERNET:taro@example.jp",
    "ORG;CHARSET=SHIFT_JIS:つなぎ商事;営業部",
    "TITLE;CHARSET=SHIFT_JIS:課長",
    "BDAY:19700102",
    "ADR;HOME;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:" +
        qpShiftJis(";;千代田1-1;千代田区;東京都;100-0001;"),
    "URL:http://example.jp/taro",
    "NOTE;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:" + qpShiftJis("釣り仲間、年賀状") + "=",
    qpShiftJis("は毎年"),
    "X-GNO:1",
    "X-GN;CHARSET=SHIFT_JIS:友人",
    "X-JPG-MDNO:1",
    "END:VCARD",
};

TEST(WholePerson, AnOldPhonesCardReachesVcardThreeAndGoogleWhole) {
    TempFolder folder;
    std::string bytes = utf8ToCp932(crlf(kOldPhoneCard));
    Written vcard = through(folder, bytes, FileKind::Vcard3);
    EXPECT_EQ(vcard.entries, 1);
    EXPECT_EQ(
        withoutUid(vcard.text),
        crlf({"BEGIN:VCARD", "VERSION:3.0", "N:山田;太郎;;;", "FN:山田太郎",
              "X-PHONETIC-LAST-NAME:ヤマダ", "X-PHONETIC-FIRST-NAME:タロウ",
              "TEL;TYPE=WORK:0312345678", "TEL;TYPE=FAX:0312345679", "TEL;TYPE=PAGER:0201234567",
              "TEL;TYPE=CAR:09011112222", "EMAIL;TYPE=INTERNET:taro@example.jp",
              "NOTE:釣り仲間、年賀状は毎年", "ORG:つなぎ商事;営業部", "TITLE:課長",
              "BDAY:1970-01-02", "ADR;TYPE=HOME:;;千代田1-1;千代田区;東京都;100-0001;",
              "URL:http://example.jp/taro", "CATEGORIES:友人", "END:VCARD"}));
    EXPECT_NE(vcard.text.find("\r\nUID:urn:uuid:"), std::string::npos);

    Written google = through(folder, bytes, FileKind::GoogleCsv);
    EXPECT_EQ(google.message, "");
    for (const char* value :
         {",Work,0312345678,", ",Other Fax,0312345679,", ",Pager,0201234567,", ",Car,09011112222",
          ",つなぎ商事,課長,営業部,1970-01-02,釣り仲間、年賀状は毎年,,* myContacts ::: 友人,",
          ",Home,\"千代田1-1\n千代田区\n東京都\n100-0001\",千代田1-1,千代田区,,東京都,100-0001,,,",
          ",Other,http://example.jp/taro"})
        EXPECT_NE(google.text.find(value), std::string::npos) << value;

    // The phone's file is the card as it came.
    Written phone = through(folder, bytes, FileKind::PhoneCards);
    EXPECT_EQ(phone.text, bytes);
}

TEST(WholePerson, APhonesOwnFullWidthReadingComesBackAsWritten) {
    TempFolder folder;
    std::string bytes =
        utf8ToCp932(crlf({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:鈴木;一郎",
                          "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:スズキ;イチロウ", "X-JPG-OWNER:0",
                          "TEL;CELL:09012345678", "X-GNO:0", "X-JPG-MDNO:1", "END:VCARD"}));
    EXPECT_EQ(through(folder, bytes, FileKind::PhoneCards).text, bytes);
}

TEST(WholePerson, NamesAsTheCardGivesThem) {
    TempFolder folder;
    Written card = through(folder,
                           crlf({"BEGIN:VCARD", "VERSION:3.0", "N:Gump;Forrest;;;", "FN:Joe Due",
                                 "TEL:0311112222", "END:VCARD",
                                 // Every part of N, a colon inside the given name included.
                                 "BEGIN:VCARD", "VERSION:3.0", "N:Lee;Ann:Marie;Jo;Dr.;Jr.",
                                 "EMAIL:ann@example.com", "END:VCARD",
                                 // One name in two languages: the Japanese one for the phone.
                                 "BEGIN:VCARD", "VERSION:4.0", "N;ALTID=1;LANGUAGE=en:Endo;Miho;;;",
                                 "N;ALTID=1;LANGUAGE=ja;SORT-AS=\"えんどう,みほ\":遠藤;美穂;;;",
                                 "TEL;VALUE=uri:tel:+81-90-1234-5678", "END:VCARD"}),
                           FileKind::Vcard3);
    ASSERT_EQ(card.entries, 3);
    for (const char* line : {"N:Gump;Forrest;;;\r\nFN:Joe Due\r\n",
                             "N:Lee;Ann:Marie;Jo;Dr.;Jr.\r\nFN:Dr. Ann:Marie Jo Lee Jr.\r\n",
                             "N:遠藤;美穂;;;\r\nFN:遠藤美穂\r\nX-PHONETIC-LAST-NAME:えんどう\r\nX-"
                             "PHONETIC-FIRST-NAME:みほ\r\n",
                             "N;ALTID=1;LANGUAGE=en:Endo;Miho;;;\r\n"})
        EXPECT_NE(card.text.find(line), std::string::npos) << line;

    // Google's CSV: the display name of the card's own under File As, every part of N.
    Written google =
        through(folder,
                crlf({"BEGIN:VCARD", "VERSION:3.0", "N:Gump;Forrest;;;", "FN:Joe Due", "END:VCARD",
                      "BEGIN:VCARD", "VERSION:3.0", "N:Lee;Ann;Jo;Dr.;Jr.", "END:VCARD"}),
                FileKind::GoogleCsv);
    EXPECT_NE(google.text.find("\r\nForrest,,Gump,,,,,,,Joe Due,"), std::string::npos);
    EXPECT_NE(google.text.find("\r\nAnn,Jo,Lee,,,,Dr.,Jr.,,,"), std::string::npos);
}

TEST(WholePerson, EachNumberIsItsOwnItem) {
    TempFolder folder;
    Written card =
        through(folder,
                crlf({"BEGIN:VCARD", "VERSION:3.0", "N:Shop;;;;",
                      // A shop's number and its fax on the same digits.
                      "TEL;TYPE=WORK:03-1234-5678", "TEL;TYPE=WORK,FAX:03-1234-5678",
                      // Two extensions of one office number.
                      "TEL;VALUE=uri;TYPE=work:tel:+81-3-5555-7777;ext=12",
                      "TEL;VALUE=uri;TYPE=work:tel:+81-3-5555-7777;ext=34",
                      // A SIP address, and Android's label of the user's own.
                      "TEL:sip:shop@example.jp",
                      "TEL;X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,=E5=AE=9F=E5=AE=B6):"
                      "0422-11-2222",
                      "END:VCARD"}),
                FileKind::Vcard3);
    EXPECT_NE(card.text.find("TEL;TYPE=WORK:03-1234-5678\r\n"
                             "TEL;TYPE=WORK,FAX:03-1234-5678\r\n"
                             "TEL;TYPE=WORK:+81-3-5555-7777 ext. 12\r\n"
                             "TEL;TYPE=WORK:+81-3-5555-7777 ext. 34\r\n"
                             "TEL:sip:shop@example.jp\r\n"
                             "item1.TEL:0422-11-2222\r\n"
                             "item1.X-ABLabel:実家\r\n"),
              std::string::npos)
        << card.text;
    EXPECT_EQ(card.text.find("X-CUSTOM"), std::string::npos);
}

TEST(WholePerson, DatesMessengersAndCardsWithoutAPersonsName) {
    TempFolder folder;
    std::string text = crlf(
        {"BEGIN:VCARD", "VERSION:3.0", "N:Sato;Ken;;;", "BDAY;X-APPLE-OMIT-YEAR=1604:1604-03-10",
         "item1.X-ABDATE:2010-05-01", "item1.X-ABLabel:_$!<Anniversary>!$_",
         "item2.X-ABRELATEDNAMES:Yui", "item2.X-ABLabel:_$!<Spouse>!$_",
         "IMPP;X-SERVICE-TYPE=Skype:skype:ken.sato", "X-JABBER:ken@jabber.example",
         "X-SOCIALPROFILE;TYPE=twitter:https://twitter.com/ken", "END:VCARD",
         // Cards without a person's name are named by what they hold.
         "BEGIN:VCARD", "VERSION:3.0", "NICKNAME:Kenny", "END:VCARD", "BEGIN:VCARD", "VERSION:3.0",
         "IMPP:xmpp:someone@example.org", "END:VCARD",
         // Only an empty card is no entry.
         "BEGIN:VCARD", "VERSION:3.0", "PRODID:-//x//y", "END:VCARD"});
    Written card = through(folder, text, FileKind::Vcard3);
    EXPECT_EQ(card.entries, 3);
    for (const char* line :
         {"BDAY:--03-10\r\n", "item1.X-ABRELATEDNAMES:Yui\r\nitem1.X-ABLabel:_$!<Spouse>!$_\r\n",
          "item2.X-ABDATE:2010-05-01\r\nitem2.X-ABLabel:_$!<Anniversary>!$_\r\n",
          "IMPP;X-SERVICE-TYPE=Skype:skype:ken.sato\r\n",
          "IMPP;X-SERVICE-TYPE=Jabber:xmpp:ken@jabber.example\r\n",
          "X-SOCIALPROFILE;TYPE=twitter:https://twitter.com/ken\r\n",
          // The phone's line holds the nickname; the card has no person's name all the same.
          "N:;;;;\r\nFN:Kenny\r\nNICKNAME:Kenny\r\n", "N:;someone@example.org;;;\r\n"})
        EXPECT_NE(card.text.find(line), std::string::npos) << line;

    Written google = through(folder, text, FileKind::GoogleCsv);
    for (const char* value :
         {",Spouse,Yui,Anniversary,2010-05-01,Other,Skype,ken.sato,Other,Jabber,"
          "ken@jabber.example,X-SOCIALPROFILE;TYPE=twitter,https://twitter.com/ken",
          ", --03-10,"})
        EXPECT_NE(google.text.find(value), std::string::npos) << value << "\n" << google.text;
    EXPECT_NE(google.text.find("Relation 1 - Label,Relation 1 - Value,Event 1 - Label,Event 1 - "
                               "Value,IM 1 - Label,IM 1 - Service,IM 1 - Value,IM 2 - Label"),
              std::string::npos);
}

// An iPhone's company card is marked to be shown by its company, a person's card likewise where
// the user chose so: the mark goes back to today's phones, where it was lost. Google has no
// field for it and shows a contact without a name by its company of itself.
TEST(WholePerson, AnIphonesCompanyCardStaysOne) {
    TempFolder folder;
    std::string text = crlf(
        {"BEGIN:VCARD", "VERSION:3.0", "PRODID:-//Apple Inc.//iPhone OS 17.2//EN", "N:;;;;",
         "FN:株式会社ミナト精機", "ORG:株式会社ミナト精機;営業部",
         "TEL;type=WORK;type=VOICE;type=pref:03-5555-1234", "X-ABShowAs:COMPANY", "END:VCARD",
         "BEGIN:VCARD", "VERSION:3.0", "N:田中;太郎;;;", "FN:田中 太郎", "ORG:ミナト精機;",
         "TEL;type=CELL;type=VOICE;type=pref:090-1111-2222", "X-ABShowAs:COMPANY", "END:VCARD"});
    Written card = through(folder, text, FileKind::Vcard3);
    EXPECT_NE(withoutUid(card.text).find("N:;;;;\r\nFN:株式会社ミナト精機\r\nTEL;TYPE=WORK,PREF:"
                                         "03-5555-1234\r\nORG:株式会社ミナト精機;営業部\r\n"
                                         "X-ABSHOWAS:COMPANY\r\n"),
              std::string::npos)
        << card.text;
    EXPECT_NE(card.text.find("ORG:ミナト精機\r\nX-ABSHOWAS:COMPANY\r\n"), std::string::npos)
        << card.text;
    // It says nothing the user would miss: no message names it.
    EXPECT_EQ(card.message.find("X-ABSHOWAS"), std::string::npos) << card.message;
    // Read back, the card comes out the same.
    Written again = through(folder, card.text, FileKind::Vcard3);
    EXPECT_EQ(withoutUid(again.text), withoutUid(card.text));

    Written google = through(folder, text, FileKind::GoogleCsv);
    EXPECT_EQ(google.text.find("X-ABSHOWAS"), std::string::npos) << google.text;
    EXPECT_EQ(google.text.find("Custom Field"), std::string::npos) << google.text;
    EXPECT_EQ(google.message.find("X-ABSHOWAS"), std::string::npos) << google.message;
}

TEST(WholePerson, ACompanysReadingAsVcardFourSortsIt) {
    TempFolder folder;
    std::string text = crlf({"BEGIN:VCARD", "VERSION:4.0", "N:;;;;", "FN:ミナト精機",
                             "ORG;SORT-AS=\"みなとせいき,えいぎょうぶ\":ミナト精機;営業部",
                             "TEL:0312345678", "END:VCARD",
                             // A reading of its own stands, said before or after.
                             "BEGIN:VCARD", "VERSION:4.0", "N:田中;太郎;;;",
                             "ORG;SORT-AS=ﾐﾅﾄ:ミナト精機", "X-PHONETIC-ORG:みなと", "END:VCARD"});
    Written card = through(folder, text, FileKind::Vcard3);
    EXPECT_NE(card.text.find("ORG:ミナト精機;営業部\r\nX-PHONETIC-ORG:みなとせいき\r\n"),
              std::string::npos)
        << card.text;
    EXPECT_NE(card.text.find("ORG:ミナト精機\r\nX-PHONETIC-ORG:みなと\r\n"), std::string::npos)
        << card.text;
    Written again = through(folder, card.text, FileKind::Vcard3);
    EXPECT_EQ(withoutUid(again.text), withoutUid(card.text));
    // The phone reads a business contact as its company.
    Written phone = through(folder, text, FileKind::PhoneCards);
    EXPECT_NE(phone.text.find(utf8ToCp932("N;CHARSET=SHIFT_JIS:ミナト精機\r\n"
                                          "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾐﾅﾄｾｲｷ\r\n")),
              std::string::npos);
}

TEST(WholePerson, CardsNestedWithoutAgentAndASoftBreakBeforeAFold) {
    TempFolder folder;
    Store store = Store::inMemory();
    // Three cards, the second and third begun before the first was ended.
    EXPECT_EQ(importVcfFile(store, folder.write("nested.vcf",
                                                "BEGIN:VCARD\r\nVERSION:2.1\r\nN:A;;;;\r\n"
                                                "BEGIN:VCARD\r\nVERSION:2.1\r\nN:B;;;;\r\nEND:"
                                                "VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nN:C;;;;\r\n"
                                                "END:VCARD\r\nEND:VCARD\r\n")),
              3);
    // AGENT's card stays part of its own.
    EXPECT_EQ(
        importVcfFile(store, folder.write("agent.vcf",
                                          "BEGIN:VCARD\r\nVERSION:2.1\r\nN:D;;;;\r\nAGENT:\r\n"
                                          "BEGIN:VCARD\r\nN:E;;;;\r\nEND:VCARD\r\n"
                                          "END:VCARD\r\n")),
        1);
    Written note = through(folder,
                           "BEGIN:VCARD\r\nVERSION:2.1\r\nN:F;;;;\r\n"
                           "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E3=81=82=\r\n"
                           " =E3=81=84\r\nEND:VCARD\r\n",
                           FileKind::Vcard3);
    EXPECT_NE(note.text.find("NOTE:あい\r\n"), std::string::npos) << note.text;
}

TEST(WholePerson, AnEmbeddedPhotoIsNamedNotSaidToBeKept) {
    TempFolder folder;
    Written google = through(folder,
                             "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Ito;Aoi;;;\r\n"
                             "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQ\r\nEND:VCARD\r\n",
                             FileKind::GoogleCsv);
    EXPECT_NE(google.message.find("写真 1 件は書き出していません（Aoi Ito）"), std::string::npos)
        << google.message;
}

TEST(WholePerson, AFeaturePhonesFivePartNameAndTheLinesItsMakersAdd) {
    TempFolder folder;
    // A docomo backup: the name in five parts (one of them whole in the family part), a number
    // labelled by the maker's own line, two group lines, an anniversary, an empty number, the
    // empty lines of what was not filled in, and a photo's bytes in quoted-printable.
    std::string backup =
        utf8ToCp932(crlf({"BEGIN:VCARD",
                          "VERSION:2.1",
                          "N;CHARSET=SHIFT_JIS:小山;和子;;;",
                          "TEL;CELL:09011112222",
                          "TEL;CUSTOM:0276370001",
                          "X-DCM-LABEL;CHARSET=SHIFT_JIS:実家",
                          "X-DCM-GN-ORIGINAL;CHARSET=SHIFT_JIS:友人",
                          "X-DCM-GN-ORIGINAL;CHARSET=SHIFT_JIS:お茶会",
                          "X-DCM-CONTACTS_EVENT;ANNIVERSARY:1965-11-03",
                          "ADR;HOME:;;;;;;",
                          "URL:",
                          "PHOTO:",
                          "TEL;HOME:",
                          "END:VCARD",
                          "BEGIN:VCARD",
                          "VERSION:2.1",
                          "N;CHARSET=SHIFT_JIS:大塚 健二;;;;",
                          "PHOTO;TYPE=JPEG;ENCODING=QUOTED-PRINTABLE:=FF=D8=FF=E0=00=10JFIF=",
                          "=00=FF=D9",
                          "END:VCARD"}));
    Written vcard = through(folder, backup, FileKind::Vcard3);
    EXPECT_EQ(withoutUid(vcard.text),
              crlf({"BEGIN:VCARD", "VERSION:3.0", "N:小山;和子;;;", "FN:小山和子",
                    "TEL;TYPE=CELL:09011112222", "item1.TEL:0276370001", "item1.X-ABLabel:実家",
                    "item2.X-ABDATE:1965-11-03", "item2.X-ABLabel:_$!<Anniversary>!$_",
                    "CATEGORIES:友人,お茶会", "END:VCARD", "BEGIN:VCARD", "VERSION:3.0",
                    "N:大塚 健二;;;;", "FN:大塚 健二",
                    // FF D8 FF E0 00 10 'J' 'F' 'I' 'F' 00 FF D9, as RFC 4648 spells it.
                    "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgD/2Q==", "END:VCARD"}));
    EXPECT_EQ(vcard.message, "");
    Written google = through(folder, backup, FileKind::GoogleCsv);
    EXPECT_NE(google.text.find("\r\n和子,,小山,"), std::string::npos);
    EXPECT_NE(google.text.find(",大塚 健二,"), std::string::npos);
    EXPECT_EQ(google.text.find(";"), std::string::npos);
    // One embedded photo, the second card's, and no word of the empty ones.
    EXPECT_NE(google.message.find("写真 1 件"), std::string::npos);
    EXPECT_NE(google.message.find("大塚 健二"), std::string::npos);
    // The phone's own lines come back byte for byte, the empty number left as the phone wrote
    // it and no word of it.
    Written phone = through(folder, backup, FileKind::PhoneCards);
    EXPECT_EQ(phone.message, "");
}

TEST(WholePerson, OtherWritersLinesAreMadeOurs) {
    TempFolder folder;
    std::string card =
        crlf({"BEGIN:VCARD", "VERSION:2.1", "N:Kimura;Tsubasa", "TEL;CELL:09033334444",
              "X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,LINE):tsubasa_k",
              "X-MS-TEL;VOICE;CALLBACK:0276-37-0004", "X-MS-ANNIVERSARY:20090502",
              "X-ODD(NAME)_X:kept", "BDAY:00/0/0", "END:VCARD"});
    Written vcard = through(folder, card, FileKind::Vcard3);
    EXPECT_EQ(withoutUid(vcard.text),
              crlf({"BEGIN:VCARD", "VERSION:3.0", "N:Kimura;Tsubasa;;;", "FN:Tsubasa Kimura",
                    "TEL;TYPE=CELL:09033334444", "TEL;TYPE=CALLBACK:0276-37-0004",
                    "IMPP;X-SERVICE-TYPE=LINE:x-apple:tsubasa_k", "item1.X-ABDATE:2009-05-02",
                    "item1.X-ABLabel:_$!<Anniversary>!$_", "X-ODD-NAME-X:kept", "END:VCARD"}));
    // Outlook's number reaches the phone's file.
    Written phone = through(folder, card, FileKind::PhoneCards);
    EXPECT_NE(phone.text.find("TEL;VOICE:0276370004\r\n"), std::string::npos);
}

}  // namespace
}  // namespace tsunagi
