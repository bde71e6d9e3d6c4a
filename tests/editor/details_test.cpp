// Editing what an entry holds beyond the phone's fields.

#include "editor/details.h"

#include <gtest/gtest.h>

#include "card/person.h"
#include "platform/error.h"
#include "store/entries.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

TEST(Details, OnlyTheKindsThatChangedAreRewritten) {
    Store store = Store::inMemory();
    {
        Connection connection = store.open();
        EntryInserter inserter(connection);
        // An old phone's card: its company and note are lines of its own.
        std::vector<std::string> columns = {"BEGIN:VCARD",
                                            "VERSION:2.1",
                                            "N;CHARSET=SHIFT_JIS:山田;太郎",
                                            "TEL;CELL:09011112222",
                                            "ORG;CHARSET=SHIFT_JIS:旧商事",
                                            "NOTE:釣り仲間",
                                            "X-JPG-MDNO:1",
                                            "END:VCARD"};
        std::vector<std::string> extras = {"URL:https://example.jp"};
        inserter.insert(std::span<const std::string>(columns),
                        std::span<const std::string>(extras));
    }
    std::vector<Detail> details = readDetails(store, 1);
    ASSERT_EQ(details.size(), 3u);
    EXPECT_EQ(details[0].kind, DetailKind::Company);
    EXPECT_EQ(details[0].value, "旧商事");
    // A new company, a birthday added, the web page removed; the note as it was.
    details[0].value = "つなぎ商事";
    details.push_back({DetailKind::Birthday, "1970/1/2"});
    std::erase_if(details, [](const Detail& d) { return d.kind == DetailKind::Website; });
    ASSERT_TRUE(writeDetails(store, 1, details));
    Connection connection = store.open();
    std::optional<EntryRow> row = readEntry(connection, 1);
    ASSERT_TRUE(row);
    std::vector<std::string> columns;
    for (const auto& column : row->columns)
        if (column) columns.push_back(*column);
    EXPECT_EQ(columns, (std::vector<std::string>{
                           "BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎",
                           "TEL;CELL:09011112222", "NOTE:釣り仲間", "X-JPG-MDNO:1", "END:VCARD"}));
    EXPECT_EQ(row->extras, (std::vector<std::string>{"ORG:つなぎ商事", "BDAY:1970-01-02"}));
    Person person = readPerson(*row);
    EXPECT_EQ(person.company(), "つなぎ商事");
    EXPECT_EQ(person.notes, (std::vector<std::string>{"釣り仲間"}));
    EXPECT_TRUE(person.websites.empty());
    EXPECT_FALSE(writeDetails(store, 99, details));
}

TEST(Details, RowsLeftAsTheyWereStayByteForByteAndAChangedOneKeepsItsKind) {
    Store store = Store::inMemory();
    const std::vector<std::string> kept = {
        "item1.ADR;type=HOME;type=pref:;;千代田区丸の内13-1;東京都;;100-0002;日本",
        "item1.X-ABADR:jp", "item2.URL;type=WORK:https://example.jp/misaki",
        "item2.X-ABLabel:_$!<HomePage>!$_", "ORG:株式会社つなぎ0;営業部"};
    {
        Connection connection = store.open();
        std::vector<std::string> columns = {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山崎;美咲",
                                            "END:VCARD"};
        EntryInserter(connection)
            .insert(std::span<const std::string>(columns), std::span<const std::string>(kept));
    }
    // One address added: the one there stays as it was, its kind 自宅・優先 and parts too.
    std::vector<Detail> details = readDetails(store, 1);
    details.push_back({DetailKind::Address, "大阪市北区1-1"});
    details.push_back({DetailKind::Website, "https://example.jp/new"});
    ASSERT_TRUE(writeDetails(store, 1, details));
    Connection connection = store.open();
    std::vector<std::string> after = kept;
    after.insert(after.end(), {"ADR:;;大阪市北区1-1;;;;", "URL:https://example.jp/new"});
    EXPECT_EQ(readExtras(connection, 1), after);

    // The old address and web page changed: each keeps its group, label and types.
    details = readDetails(store, 1);
    for (Detail& detail : details) {
        if (detail.value.starts_with("千代田区")) detail.value = "千代田区丸の内1-1";
        if (detail.value == "https://example.jp/misaki") detail.value = "https://example.jp/m";
    }
    ASSERT_TRUE(writeDetails(store, 1, details));
    EXPECT_EQ(
        readExtras(connection, 1),
        (std::vector<std::string>{
            "ORG:株式会社つなぎ0;営業部", "ADR:;;大阪市北区1-1;;;;", "URL:https://example.jp/new",
            "item1.ADR;TYPE=HOME,pref:;;千代田区丸の内1-1;;;;", "item1.X-ABADR:jp",
            "item2.URL;TYPE=WORK:https://example.jp/m", "item2.X-ABLabel:_$!<HomePage>!$_"}));
}

TEST(Details, APhotoFromAFileAndAway) {
    TempFolder folder;
    Store store = Store::inMemory();
    {
        Connection connection = store.open();
        EntryInserter inserter(connection);
        inserter.insert(
            std::vector<std::string>{"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:A", "END:VCARD"});
    }
    // Three bytes and two: base64 as RFC 4648 spells it ("abc" is YWJj, "de" is ZGU=).
    std::string picture = folder.write("face.jpg", "abcde");
    ASSERT_TRUE(writeDetails(store, 1, {{DetailKind::Photo, picture}}));
    Connection connection = store.open();
    EXPECT_EQ(readExtras(connection, 1),
              (std::vector<std::string>{"PHOTO;ENCODING=b;TYPE=JPEG:YWJjZGU="}));
    std::vector<Detail> details = readDetails(store, 1);
    ASSERT_EQ(details.size(), 1u);
    EXPECT_EQ(details[0].value, kCardPhoto);
    // Left as it is, it stays; its row removed, it goes; a file that is no picture is named.
    details.push_back({DetailKind::Company, "Acme"});
    ASSERT_TRUE(writeDetails(store, 1, details));
    EXPECT_EQ(readExtras(connection, 1),
              (std::vector<std::string>{"PHOTO;ENCODING=b;TYPE=JPEG:YWJjZGU=", "ORG:Acme"}));
    ASSERT_TRUE(writeDetails(store, 1, {{DetailKind::Company, "Acme"}}));
    EXPECT_EQ(readExtras(connection, 1), (std::vector<std::string>{"ORG:Acme"}));
    EXPECT_THROW(writeDetails(store, 1, {{DetailKind::Photo, folder.write("a.txt", "x")}}),
                 TsunagiError);
    EXPECT_EQ(readExtras(connection, 1), (std::vector<std::string>{"ORG:Acme"}));

    // A birthday that is no day of the calendar is refused and changes nothing; one that is,
    // in any of the forms people write, is stored as ISO 8601 writes it.
    for (const char* impossible : {"1960-13-01", "2001-02-29", "1980/4/31", "birthday"})
        EXPECT_THROW(writeDetails(store, 1, {{DetailKind::Birthday, impossible}}), TsunagiError)
            << impossible;
    EXPECT_EQ(readExtras(connection, 1), (std::vector<std::string>{"ORG:Acme"}));
    ASSERT_TRUE(writeDetails(store, 1, {{DetailKind::Birthday, "2000/2/29"}}));
    EXPECT_EQ(readExtras(connection, 1), (std::vector<std::string>{"BDAY:2000-02-29"}));
    ASSERT_TRUE(writeDetails(store, 1, {{DetailKind::Birthday, "--0229"}}));
    EXPECT_EQ(readExtras(connection, 1), (std::vector<std::string>{"BDAY:--02-29"}));
}

}  // namespace
}  // namespace tsunagi
