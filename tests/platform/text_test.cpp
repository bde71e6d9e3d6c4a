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

TEST(Text, Base64BothWays) {
    // RFC 4648's test vectors, and every byte.
    const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [bytes, digits] : vectors) {
        EXPECT_EQ(base64Encode(bytes), digits);
        EXPECT_EQ(base64Decode(digits), std::string(bytes));
    }
    std::string every;
    for (int c = 0; c < 256; ++c) every += static_cast<char>(c);
    EXPECT_EQ(base64Decode(base64Encode(every)), every);
    // Folded as a card folds it.
    EXPECT_EQ(base64Decode("Zm9v\r\n YmFy"), std::string("foobar"));
    for (const char* bad : {"Zm9v\xff", "Zg=x", "Z", "Zm9vY", "Zg==="})
        EXPECT_EQ(base64Decode(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace tsunagi
