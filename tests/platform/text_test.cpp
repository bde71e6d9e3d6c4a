#include "platform/text.h"

#include <gtest/gtest.h>

#include "platform/codec.h"
#include "platform/error.h"
#include "platform/user_interface.h"

namespace tsunagi {
namespace {

TEST(Text, SplittingCountingAndCutting) {
    EXPECT_EQ(splitAll("a<>b<>", "<>"), (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(pieceAt("a:b:c", ":", 1), "b");
    EXPECT_EQ(pieceAt("a", ":", 1), "");
    EXPECT_EQ(trimBlanks("  a b \t "), "a b \t");
    EXPECT_EQ(trimBlanks("\u3000a"), "\u3000a");
    EXPECT_EQ(characterCount("山田ｱa"), 4u);
    EXPECT_EQ(leftCharacters("山田太郎です", 3), "山田太");
    EXPECT_EQ(leftCharacters("ab", 5), "ab");
    EXPECT_EQ(removeAll("03-12-34", "-"), "031234");
}

TEST(Codec, Cp932AsWindowsWritesIt) {
    // Yen sign and overline stay ASCII; the NEC extension and half-width katakana are there.
    std::string bytes = "\x5c\x7e\x81\x5f\x87\x40\xb1\x8e\x52";
    EXPECT_EQ(cp932ToUtf8(bytes), "\\~＼①ｱ山");
    EXPECT_EQ(utf8ToCp932("\\~＼①ｱ山"), bytes);
    EXPECT_THROW(cp932ToUtf8("\x81"), TsunagiError);
    EXPECT_THROW(cp932ToUtf8("\x85\x40"), TsunagiError);
}

TEST(Codec, UnmappableCharactersBecomeQuestionMarksAndAreCounted) {
    Cp932Encoder encoder;
    std::string out;
    EXPECT_EQ(encoder.encode("a😀b🎉", out), 2);
    EXPECT_EQ(out, "a?b?");
    EXPECT_TRUE(isValidUtf8("山田"));
    EXPECT_FALSE(isValidUtf8("\xE5\xB1"));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));
}

TEST(UserInterface, FiltersFromTheWindowsFilterText) {
    std::vector<FileFilter> filters =
        filtersFromText("VCF (*.VCF)|*.vcf|CSV (*.CSV)|*.csv|XLS (*.XLS)|*.xls");
    ASSERT_EQ(filters.size(), 3u);
    EXPECT_EQ(filters[0].name, "VCF");
    EXPECT_EQ(filters[0].extensions, (std::vector<std::string>{"vcf", "VCF"}));
    EXPECT_EQ(filters[2].name, "XLS");
    EXPECT_EQ(filtersFromText("").size(), 0u);
}

}  // namespace
}  // namespace tsunagi
