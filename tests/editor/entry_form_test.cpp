#include "editor/entry_form.h"

#include <gtest/gtest.h>

#include "card/card_view.h"
#include "card/checks.h"
#include "card/person.h"
#include "store/entries.h"

namespace tsunagi {
namespace {

const std::vector<std::string> kSixItems = {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:", "TEL;",
                                            "EMAIL;",      "X-JPG-MDNO:",          "END:VCARD"};

EntryRow rowOf(std::vector<std::string> columns) {
    EntryRow row;
    row.id = 7;
    row.columns.resize(kCardColumns);
    for (size_t c = 0; c < columns.size(); ++c) row.columns[c] = columns[c];
    return row;
}

TEST(EntryForm, LoadingFillsSlotsByPieceIndex) {
    FormContent form = formFromRow(
        rowOf({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;太郎:x", "TEL;CELL:0901<>TEL;VOICE:0302<>",
               "EMAIL;CELL:m@x.jp<>EMAIL;X400:z@y.jp<>EMAIL;INTERNET:p@c.jp", "X-JPG-MDNO:3",
               "END:VCARD"}));
    EXPECT_EQ(form.name, "山田;太郎");
    EXPECT_EQ(form.numbers[0].text, "0901");
    EXPECT_EQ(form.numbers[0].type, "携帯");
    EXPECT_EQ(form.numbers[1].text, "0302");
    EXPECT_EQ(form.numbers[1].type, "電話");
    EXPECT_EQ(form.numbers[2].text, "");
    EXPECT_EQ(form.numbers[2].type, "電話");
    EXPECT_EQ(form.mails[0].text, "m@x.jp");
    EXPECT_EQ(form.mails[0].type, "携帯");
    EXPECT_EQ(form.mails[1].text, "");  // neither INTERNET nor CELL: no address, type PC
    EXPECT_EQ(form.mails[1].type, "PC");
    EXPECT_EQ(form.mails[2].text, "p@c.jp");
}

TEST(EntryForm, LoadingTypeRulesBlankFirstPiecesAndLaterColumns) {
    FormContent form = formFromRow(
        rowOf({"<>TEL;VOICE;WORK:03-01-02<>TEL;VOICE;HOME;CELL:1<>TEL;HOME:2<>TEL;CELL:4", "N:bare",
               "TEL;VOICE;HOME:9"}));
    // The later number column overwrites the slots it fills.
    EXPECT_EQ(form.numbers[0].text, "9");
    EXPECT_EQ(form.numbers[0].type, "自宅");
    EXPECT_EQ(form.numbers[1].text, "03-01-02");  // a blank first piece keeps its index
    EXPECT_EQ(form.numbers[1].type, "会社");
    EXPECT_EQ(form.numbers[2].text, "1");
    EXPECT_EQ(form.numbers[2].type, "携帯");  // two codes: the later row of the table
    EXPECT_EQ(form.name, "");                 // not the character-set name line
    EXPECT_EQ(formFromRow(rowOf({"TEL;HOME:2"})).numbers[0].type, "電話");  // HOME alone is no code
}

TEST(EntryForm, WorkedExamplesOfNewAndUpdate) {
    FormContent form = emptyForm();
    form.name = "AB";
    form.numbers[1] = {"03-01", "自宅"};
    EXPECT_EQ(newEntryColumns(kSixItems, form),
              (std::vector<std::string>{"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:AB",
                                        "TEL;VOICE;HOME:0301<>", "X-JPG-MDNO:", "END:VCARD"}));
    EntryRow stored = rowOf({"BEGIN:VCARD", "X-JPG-MDNO:12", "END:VCARD"});
    EXPECT_EQ(updatedEntryColumns(kSixItems, form, stored),
              (std::vector<std::string>{"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:AB",
                                        "TEL;VOICE;HOME:03-01<>", "X-JPG-MDNO:12", "END:VCARD"}));
}

TEST(EntryForm, EveryNumberShapeTheImportsTakeCanBeUpdated) {
    FormContent form = emptyForm();
    form.numbers = {Slot{"+81 90-1234-5678", "携帯"}, Slot{"(03) 1234-5678", "自宅"},
                    Slot{"03.5555.6666", "会社"}};
    EXPECT_TRUE(formProblems(normalisedForm(form)).empty());
    form.numbers[0].text = "０９０ー１２３４ー５６７８";
    EXPECT_TRUE(formProblems(normalisedForm(form)).empty());
    form.numbers[0].text = "090-1234-5678 内線1";
    EXPECT_EQ(formProblems(normalisedForm(form)).size(), 1u);
}

TEST(EntryForm, FieldChecksAndLimits) {
    const std::vector<std::string> full = {
        "BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:", "X-JPG-OWNER:", "TEL;",
        "EMAIL;",      "X-GNO:",      "X-JPG-MDNO:",          "END:VCARD"};
    EXPECT_EQ(newEntryColumns(full, emptyForm()),
              (std::vector<std::string>{"BEGIN:VCARD", "VERSION:2.1", "X-JPG-OWNER:0", "X-GNO:0",
                                        "X-JPG-MDNO:", "END:VCARD"}));
    FormContent form = emptyForm();
    form.name = "一二三四五六七八九十";
    form.numbers = {Slot{"03 12", "自宅"}, Slot{"０３", "携帯"}, Slot{std::string(30, '1'), "謎"}};
    std::string longMail = std::string(60, 'a') + "@example.jp";
    form.mails = {Slot{"bad@x.c", "PC"}, Slot{longMail, "携帯"}, Slot{"ok@x.jp", "PC"}};
    std::vector<std::string> columns = newEntryColumns(full, form);
    EXPECT_EQ(columns[2], "N;CHARSET=SHIFT_JIS:一二三四五六七八");
    // "03 12" is a number as the imports take them, dialled as 0312; a long one is cut.
    EXPECT_EQ(columns[4],
              "TEL;VOICE;HOME:0312<>TEL;CELL:03<>TEL;VOICE:" + std::string(24, '1') + "<>");
    EXPECT_EQ(columns[5], "EMAIL;CELL:" + longMail.substr(0, 60) + "<>EMAIL;INTERNET:ok@x.jp<>");

    FormContent hyphensOnly = emptyForm();
    hyphensOnly.numbers[0] = {"---", "電話"};
    hyphensOnly.numbers[1] = {std::string(30, '2'), "電話"};
    EntryRow stored = rowOf({"X-JPG-OWNER:5", "X-GNO:3"});
    std::vector<std::string> updated = updatedEntryColumns(full, hyphensOnly, stored);
    EXPECT_EQ(updated[2], "X-JPG-OWNER:5");
    EXPECT_EQ(updated[3], "TEL;VOICE:" + std::string(30, '2') + "<>");
    EXPECT_EQ(updated[4], "X-GNO:3");
}

TEST(EntryForm, AMergedEntryKeepsWhatTheFormCannotShow) {
    const std::vector<std::string> full = {
        "BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:", "X-JPG-OWNER:", "TEL;",
        "EMAIL;",      "X-GNO:",      "X-JPG-MDNO:",          "END:VCARD"};
    EntryRow stored =
        rowOf({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:A",
               "TEL;CELL:1<>TEL;CELL:2<>TEL;CELL:3<>TEL;VOICE;WORK:4<>TEL;VOICE:5", "END:VCARD"});
    FormContent form = formFromRow(stored);
    EXPECT_NE(form.notice.find("電話番号 2 件"), std::string::npos);
    EXPECT_EQ(formFromRow(rowOf({"N;CHARSET=SHIFT_JIS:B"})).notice, "");
    form.numbers[0].text = "9";
    std::vector<std::string> columns = updatedEntryColumns(full, form, stored);
    EXPECT_EQ(columns[4], "TEL;CELL:9<>TEL;CELL:2<>TEL;CELL:3<>TEL;VOICE;WORK:4<>TEL;VOICE:5<>");
}

TEST(EntryForm, UpdateKeepsTheLinesTheFormDoesNotShow) {
    const std::vector<std::string> full = {
        "BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:", "X-JPG-OWNER:", "TEL;",
        "EMAIL;",      "X-GNO:",      "X-JPG-MDNO:",          "END:VCARD"};
    EntryRow stored = rowOf({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田",
                             "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾔﾏﾀﾞ", "X-JPG-OWNER:0",
                             "TEL;CELL:0901", "NOTE:first\r\nsecond", "EMAIL;INTERNET:a@b.jp",
                             "X-GNO:1", "X-CLASS:PRIVATE", "X-JPG-MDNO:4", "END:VCARD"});
    FormContent form = formFromRow(stored);
    form.name = "山本";
    EXPECT_EQ(updatedEntryColumns(full, form, stored),
              (std::vector<std::string>{"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山本",
                                        "X-JPG-OWNER:0", "TEL;CELL:0901<>",
                                        "EMAIL;INTERNET:a@b.jp<>", "X-GNO:1", "X-JPG-MDNO:4",
                                        "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾔﾏﾀﾞ",
                                        "NOTE:first\r\nsecond", "X-CLASS:PRIVATE", "END:VCARD"}));
}

TEST(EntryForm, UpdateKeepsPhoneValuesPastEmptyColumnsAndEmptiesWhatIsLeft) {
    Store store = Store::inMemory();
    {
        Connection connection = store.open();
        // An empty column (as the workbook import stores them) before the kept lines.
        EntryInserter(connection)
            .insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:O'Neil", "X-JPG-OWNER:1",
                     "", "", "X-GNO:4", "X-JPG-MDNO:17", "NOTE:a", "NOTE:b", "NOTE:c",
                     "END:VCARD"});
    }
    FormContent form = formContentOf(store, 1);
    EXPECT_EQ(form.name, "O'Neil");
    form.name = "D'Arcy";
    ASSERT_TRUE(rewriteEntry(store, 1, form));
    Connection connection = store.open();
    std::optional<EntryRow> row = readEntry(connection, 1);
    ASSERT_TRUE(row);
    std::vector<std::string> used;
    for (const auto& column : row->columns)
        if (column) used.push_back(*column);
    EXPECT_EQ(used, (std::vector<std::string>{
                        "BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:D'Arcy", "X-JPG-OWNER:1",
                        "X-GNO:4", "X-JPG-MDNO:17", "NOTE:a", "NOTE:b", "NOTE:c", "END:VCARD"}));
    EXPECT_FALSE(rewriteEntry(store, 99, form));
    EXPECT_EQ(formContentOf(store, 99).name, "");
    addEntry(store, form);
    removeEntry(store, 1);
    EXPECT_EQ(countEntries(connection), 1);
}

TEST(EntryForm, ANameCutForThePhoneIsKeptWholeForTodaysPhones) {
    Store store = Store::inMemory();
    {
        Connection connection = store.open();
        EntryInserter(connection)
            .insert({"BEGIN:VCARD", "VERSION:2.1",
                     "N;CHARSET=SHIFT_JIS:Lefèvre-Beaumont;Jean-Christophe", "X-JPG-OWNER:0",
                     "TEL;CELL:09011112222", "X-GNO:0", "X-JPG-MDNO:1", "END:VCARD"});
    }
    auto person = [&store] {
        Connection connection = store.open();
        return readPerson(*readEntry(connection, 1));
    };
    // Only the number changed: the phone's line holds its 8 characters, the person the whole
    // name; the same again changes nothing more.
    for (int time = 0; time < 2; ++time) {
        FormContent form = formContentOf(store, 1);
        form.numbers[0].text = "09099998888";
        ASSERT_TRUE(rewriteEntry(store, 1, normalisedForm(form)));
        Connection connection = store.open();
        EntryRow row = *readEntry(connection, 1);
        EXPECT_EQ(readCard(row).name.value_or(""), "Lefèvre-");
        EXPECT_EQ(row.extras, (std::vector<std::string>{"N:Lefèvre-Beaumont;Jean-Christophe;;;"}));
        EXPECT_EQ(builtName(person()), "Jean-Christophe Lefèvre-Beaumont");
    }
    // A name the card said again stays beside the one typed.
    {
        Connection connection = store.open();
        std::vector<std::string> card = {
            "BEGIN:VCARD",   "VERSION:2.1", "N;CHARSET=SHIFT_JIS:Lefèvre-Beaumont;Jean-Christophe",
            "X-JPG-OWNER:0", "X-GNO:0",     "X-JPG-MDNO:3",
            "END:VCARD"};
        std::vector<std::string> extras = {"N:Lefèvre-Beaumont;Jean-Christophe;;;",
                                           "N:ルフェーヴル;ジャン;;;"};
        EntryInserter(connection).insert(card, extras);
    }
    FormContent renamed = formContentOf(store, 2);
    renamed.name = "Lefèvre-Beaumont;Jean-Pierre";
    ASSERT_TRUE(rewriteEntry(store, 2, normalisedForm(renamed)));
    {
        Connection connection = store.open();
        EXPECT_EQ(readEntry(connection, 2)->extras,
                  (std::vector<std::string>{"N:Lefèvre-Beaumont;Jean-Pierre;;;",
                                            "N:ルフェーヴル;ジャン;;;"}));
    }
    // A new entry typed with a long name: the same.
    FormContent typed = emptyForm();
    typed.name = "長谷川;明日香子さん太郎";
    addEntry(store, typed);
    Connection connection = store.open();
    EntryRow row = *readEntry(connection, 3);
    EXPECT_EQ(readCard(row).name.value_or(""), "長谷川;明日香子");  // ";" counts
    EXPECT_EQ(builtName(readPerson(row)), "長谷川明日香子さん太郎");
}

}  // namespace
}  // namespace tsunagi
