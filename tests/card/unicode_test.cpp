#include "card/unicode.h"

#include <gtest/gtest.h>

namespace tsunagi {
namespace {

TEST(Unicode, ReadingsInFullWidthKatakana) {
    EXPECT_EQ(fullWidthKatakana("ﾔﾏﾀﾞ ﾀﾛｳ"), "ヤマダ タロウ");
    EXPECT_EQ(fullWidthKatakana("ｶﾞｯｺｰ｡"), "ガッコー。");
    EXPECT_EQ(fullWidthKatakana("山田 abc ＡＢ"), "山田 abc ＡＢ");  // only katakana widens
    EXPECT_EQ(fullWidthKatakana(""), "");
}

TEST(Unicode, JapaneseScript) {
    EXPECT_TRUE(isJapaneseScript("山田"));
    EXPECT_TRUE(isJapaneseScript("やまだ"));
    EXPECT_TRUE(isJapaneseScript("ヤマダー"));
    EXPECT_TRUE(isJapaneseScript("ﾔﾏﾀﾞ"));
    EXPECT_FALSE(isJapaneseScript("Smith"));
    EXPECT_FALSE(isJapaneseScript("山田 太郎"));  // a blank is no script of its own
}

TEST(Unicode, NameKeysFoldWidthBlanksAndCase) {
    EXPECT_EQ(nameKey("ｽｽﾞｷ"), nameKey("スズキ"));
    EXPECT_EQ(nameKey("山田;太郎"), nameKey("山田　太郎"));
    EXPECT_EQ(nameKey("Ｍａｒｙ Smith"), nameKey("marysmith"));
    EXPECT_NE(nameKey("山田"), nameKey("山口"));
}

}  // namespace
}  // namespace tsunagi
