#include "card/dialect.h"

#include <gtest/gtest.h>

namespace tsunagi {
namespace {

TEST(Dialect, LinesAreRecognisedInOrder) {
    EXPECT_EQ(classifyLine("BEGIN:VCARD"), LineKind::Begin);
    EXPECT_EQ(classifyLine("END:VCARD"), LineKind::End);
    EXPECT_EQ(classifyLine("TEL;CELL:0901"), LineKind::Number);
    EXPECT_EQ(classifyLine("EMAIL;INTERNET:a@b.jp"), LineKind::Mail);
    EXPECT_EQ(classifyLine("X-GNO:0"), LineKind::Property);
    EXPECT_EQ(classifyLine("continued text"), LineKind::Continuation);
    // A number line that happens to mention a mail is still a number line.
    EXPECT_EQ(classifyLine("TEL;VOICE:EMAIL;"), LineKind::Number);
}

TEST(Dialect, CardWordsAreFoundAnywhereInTheLineAsTheyStand) {
    for (std::string_view line :
         {"BEGIN:VCARD", "END:VCARD", "NOTE:see BEGIN:VCARD here", "xEND:VCARDy",
          "END:VCARDBEGIN:VCARD", "BEGIN:VCARD END:VCARD", ":VCARD", "GIN:VCARD", "ND:VCARD",
          "BEGIN:VCAR", "begin:vcard", "BEGIN;VCARD", "N:VCARD:VCARD", "BEGIN:BEGIN:VCARD", "",
          "TEL;VOICE:0311"}) {
        CardWords words = cardWordsIn(line);
        EXPECT_EQ(words.begin, line.find("BEGIN:VCARD") != std::string_view::npos) << line;
        EXPECT_EQ(words.end, line.find("END:VCARD") != std::string_view::npos) << line;
    }
}

std::vector<std::string> joinedPieces(std::string_view value) {
    std::vector<std::string> pieces;
    forEachPiece(value, [&](std::string_view piece) { pieces.emplace_back(piece); });
    return pieces;
}

TEST(Dialect, JoinedValuesInBothFormsGiveTheSamePieces) {
    std::vector<std::string> expected = {"TEL;CELL:0901", "TEL;VOICE:0302"};
    EXPECT_EQ(joinedPieces("TEL;CELL:0901<>TEL;VOICE:0302"), expected);
    EXPECT_EQ(joinedPieces("TEL;CELL:0901<>TEL;VOICE:0302<>"), expected);
    EXPECT_EQ(joinedPieces("<>TEL;CELL:0901<><>TEL;VOICE:0302<>"), expected);
    EXPECT_TRUE(joinedPieces("").empty());
}

TEST(Dialect, PiecesSplitIntoHeadAndValue) {
    PieceParts parts = splitPiece("TEL;VOICE;HOME:03-1234:x");
    EXPECT_EQ(parts.head, "TEL;VOICE;HOME");
    EXPECT_EQ(parts.value, "03-1234");
    EXPECT_EQ(splitPiece("no colon").value, "");
    EXPECT_EQ(nameOfLine("N;CHARSET=SHIFT_JIS:山田;太郎"), "山田;太郎");
    EXPECT_EQ(nameOfLine("N:Smith"), std::nullopt);
}

TEST(Dialect, NumberHeadsClassifyByTheFirstWordThatHolds) {
    // HOME wins over CELL when a head names both, as the list page and the workbook file it.
    EXPECT_EQ(classifyNumberHead("TEL;VOICE;HOME;CELL"), NumberClass::Home);
    EXPECT_EQ(classifyNumberHead("TEL;CELL;WORK"), NumberClass::Cell);
    EXPECT_EQ(classifyNumberHead("TEL;X-NEC-HOTEL"), NumberClass::Other);
    EXPECT_EQ(classifyMailHead("EMAIL;INTERNET;CELL"), MailClass::Internet);
    EXPECT_EQ(classifyMailHead("EMAIL;X400"), MailClass::Neither);
}

TEST(Dialect, CardsFromTheTemplateSkipWhatHasNoValue) {
    std::vector<std::string> lineTemplate = {
        "BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:", "X-JPG-OWNER:", "TEL;",
        "EMAIL;",      "X-GNO:",      "X-JPG-MDNO:",          "END:VCARD"};
    CardFields fields;
    fields.name = "AB";
    fields.numbers = "TEL;VOICE;HOME:0301<>";
    fields.memoryNumber = "3";
    std::vector<std::string> expected = {
        "BEGIN:VCARD",           "VERSION:2.1", "N;CHARSET=SHIFT_JIS:AB", "X-JPG-OWNER:0",
        "TEL;VOICE;HOME:0301<>", "X-GNO:0",     "X-JPG-MDNO:3",           "END:VCARD"};
    EXPECT_EQ(buildCardColumns(lineTemplate, fields), expected);

    CardFields empty;
    empty.numbers = "";
    empty.mails = "";
    std::vector<std::string> kept = buildCardColumns(lineTemplate, empty);
    ASSERT_EQ(kept.size(), 8u);
    EXPECT_EQ(kept[3], "");
    EXPECT_EQ(kept[4], "");
}

}  // namespace
}  // namespace tsunagi
