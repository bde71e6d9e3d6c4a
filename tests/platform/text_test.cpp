#include "platform/text.h"

#include <gtest/gtest.h>

#include "platform/codec.h"
#include "platform/error.h"

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

TEST(Text, NamedEntriesSayTheFirstFewAndCountTheRest) {
    EXPECT_EQ(namedEntries({"山田", "", "鈴木"}, 2), "山田、（名前なし） ほか 1 件");
    // Of more entries than the names held.
    EXPECT_EQ(namedEntries({"山田", "鈴木"}, 5, 100000), "山田、鈴木 ほか 99998 件");
    EXPECT_EQ(namedEntries({"山田", "鈴木"}, 5, 1), "山田、鈴木");
}

}  // namespace
}  // namespace tsunagi
