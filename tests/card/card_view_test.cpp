#include "card/card_view.h"

#include <gtest/gtest.h>

namespace tsunagi {
namespace {

EntryRow rowOf(std::vector<std::string> columns) {
    EntryRow row;
    row.id = 7;
    row.columns.resize(kCardColumns);
    for (size_t i = 0; i < columns.size(); ++i) row.columns[i] = std::move(columns[i]);
    return row;
}

TEST(CardView, PiecesKeepTheirSlotsAndClasses) {
    CardView card =
        readCard(rowOf({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;太郎",
                        "TEL;VOICE;HOME:0301<><>no colon<>TEL;CELL:0902<>",
                        "EMAIL;INTERNET:a@b.jp<>EMAIL;CELL:c@d.jp", "X-JPG-MDNO:12", "END:VCARD"}));
    EXPECT_EQ(card.name, "山田;太郎");
    ASSERT_EQ(card.numbers.size(), 2u);
    EXPECT_EQ(card.numbers[0].value, "0301");
    EXPECT_EQ(card.numbers[0].type, NumberClass::Home);
    EXPECT_EQ(card.numbers[0].slot, 0u);
    // The empty piece and the piece without a colon still take their places.
    EXPECT_EQ(card.numbers[1].slot, 3u);
    EXPECT_EQ(card.numbers[1].type, NumberClass::Cell);
    ASSERT_EQ(card.mails.size(), 2u);
    EXPECT_EQ(card.mails[1].type, MailClass::Cell);
    EXPECT_EQ(card.memoryNumber, "12");
}

TEST(CardView, TheListedColumnsStopAtColumn51AndTheLastNameWins) {
    std::vector<std::string> columns(60, "X-NOTE:x");
    columns[1] = "N;CHARSET=SHIFT_JIS:first";
    columns[40] = "N;CHARSET=SHIFT_JIS:second";
    columns[50] = "TEL;CELL:0901";
    columns[51] = "TEL;CELL:0902";
    CardView listed = readCard(rowOf(columns), kListedColumns);
    EXPECT_EQ(listed.name, "second");
    ASSERT_EQ(listed.numbers.size(), 1u);
    EXPECT_EQ(listed.numbers[0].value, "0901");
    EXPECT_EQ(readCard(rowOf(columns)).numbers.size(), 2u);
}

}  // namespace
}  // namespace tsunagi
