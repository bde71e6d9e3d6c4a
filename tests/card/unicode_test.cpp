#include "card/unicode.h"

#include <gtest/gtest.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>

namespace tsunagi {
namespace {

TEST(Unicode, ReadingsInFullWidthKatakana) {
    EXPECT_EQ(fullWidthKatakana("ﾔﾏﾀﾞ ﾀﾛｳ"), "ヤマダ タロウ");
    EXPECT_EQ(fullWidthKatakana("ｶﾞｯｺｰ｡"), "ガッコー。");
    EXPECT_EQ(fullWidthKatakana("山田 abc ＡＢ"), "山田 abc ＡＢ");  // only katakana widens
    EXPECT_EQ(fullWidthKatakana(""), "");
}

// ICU's own transliterator, which our tables stand in for.
std::string byIcu(const char* rules, const std::string& utf8) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> transliterator(icu::Transliterator::createInstance(
        icu::UnicodeString::fromUTF8(rules), UTRANS_FORWARD, status));
    EXPECT_TRUE(U_SUCCESS(status));
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
    transliterator->transliterate(text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

std::string utf8Of(std::u32string_view text) {
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF32(
        reinterpret_cast<const UChar32*>(text.data()), static_cast<int32_t>(text.size()));
    std::string out;
    unicode.toUTF8String(out);
    return out;
}

TEST(Unicode, KanaTablesAgreeWithIcuOverEveryKana) {
    const char* toFull = "[\\uFF61-\\uFF9F] Halfwidth-Fullwidth";
    const char* toHalf = "[\\u30A1-\\u30FC] Fullwidth-Halfwidth";
    // Every half-width kana alone, with each voicing mark after it, and between other letters.
    for (char32_t kana = 0xFF61; kana <= 0xFF9F; ++kana) {
        for (std::u32string text :
             {std::u32string{kana}, std::u32string{kana, 0xFF9E}, std::u32string{kana, 0xFF9F},
              std::u32string{'a', kana, 0x5C71}, std::u32string{kana, 0xFF9E, 0xFF9E}}) {
            std::string utf8 = utf8Of(text);
            EXPECT_EQ(fullWidthKatakana(utf8), byIcu(toFull, utf8)) << utf8;
        }
    }
    // Every full-width katakana, and every hiragana, as half-width.
    for (char32_t kana = 0x30A1; kana <= 0x30FC; ++kana) {
        std::string utf8 = utf8Of(std::u32string{'x', kana, 0x30A2});
        EXPECT_EQ(halfWidthKatakana(utf8), byIcu(toHalf, utf8)) << utf8;
    }
    for (char32_t kana = 0x3041; kana <= 0x3096; ++kana) {
        std::string utf8 = utf8Of(std::u32string{kana});
        EXPECT_EQ(katakanaOf(utf8), utf8Of(std::u32string{kana + 0x60})) << utf8;
        EXPECT_EQ(halfWidthKatakana(utf8), byIcu(toHalf, katakanaOf(utf8))) << utf8;
    }
    EXPECT_EQ(halfWidthKatakana("やまだ ヴァイオリン ガッコー・パン"), "ﾔﾏﾀﾞ ｳﾞｧｲｵﾘﾝ ｶﾞｯｺｰ･ﾊﾟﾝ");
    EXPECT_EQ(katakanaOf("ゔ山ゖ"), "ヴ山ヶ");
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
