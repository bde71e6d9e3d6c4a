#include "card/unicode.h"

#include <gtest/gtest.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/uscript.h>

#include <memory>
#include <tuple>
#include <vector>

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

// Names in Latin letters as ICU spells them, with the letters filter romajiOf applies.
std::string romajiByIcu(const std::string& utf8) {
    static const std::unique_ptr<icu::Transliterator> transliterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(icu::Transliterator::createInstance(
            "Halfwidth-Fullwidth; Hiragana-Latin; Katakana-Latin; Latin-ASCII; Lower",
            UTRANS_FORWARD, status));
        EXPECT_TRUE(U_SUCCESS(status));
        return made;
    }();
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
    transliterator->transliterate(text);
    std::string latin, letters;
    text.toUTF8String(latin);
    for (char c : latin)
        if (c >= 'a' && c <= 'z' && !(c == 'u' && !letters.empty() && letters.back() == 'o') &&
            !(c == 'o' && !letters.empty() && letters.back() == 'o'))
            letters += c;
    return letters;
}

TEST(Unicode, RomajiByTablesAgreesWithIcuOverEveryKanaAndEveryPair) {
    // Each script's kana (katakana, hiragana, half-width), the iteration marks (ヽ, ゞ) and the
    // combining voicing marks aside: ICU spells those by rules of its own, checked below.
    for (auto [first, last, smallTsu] :
         {std::tuple<char32_t, char32_t, char32_t>{0x30A1, 0x30FC, 0x30C3},
          {0x3041, 0x3096, 0x3063},
          {0xFF66, 0xFF9F, 0xFF6F}}) {
        // Every kana alone, every two in a row, and every two after ッ (ッキャ, ッチ, ッバ).
        for (char32_t a = first; a <= last; ++a) {
            std::string one = utf8Of(std::u32string{a});
            EXPECT_EQ(romajiOf(one), romajiByIcu(one)) << one;
            for (char32_t b = first; b <= last; ++b)
                for (std::u32string text : {std::u32string{a, b}, std::u32string{smallTsu, a, b}}) {
                    std::string utf8 = utf8Of(text);
                    ASSERT_EQ(romajiOf(utf8), romajiByIcu(utf8)) << utf8;
                }
        }
    }
    for (std::string name :
         {"ﾍﾞｲｶｰ ｿﾌｨｱ", "Sophia Baker", "ﾀﾝ ｳｪｲ", "Lefèvre-Beaumont", "Ｓｏｐｈｉａ", "Straße",
          "サトウ", "はせがわ まなぶ", "ヴァイオリン", "山田 タロウ", "ﾎﾟｰﾙ・ｼﾞｬｯｸ", "Œdipe", "ǅ",
          "ｼﾞｪｰﾑｽﾞ", "ッ", "アッ", "ンア", ""}) {
        EXPECT_EQ(romajiOf(name), romajiByIcu(name)) << name;
    }
    for (std::string marked : {"カヽ", "キャヽ", "かゝ", "かゞ", "ァヽヽ", "ッヽ", "ヴヽ", "ンヽ",
                               "カ\u3099", "ッカ\u3099", "ウ\u3099", "ﾊﾟﾊﾟ", "ｱﾞ"})
        EXPECT_EQ(romajiOf(marked), romajiByIcu(marked)) << marked;
    EXPECT_EQ(romajiOf("ﾍﾞｲｶｰ ｿﾌｨｱ"), "beikasofia");
    EXPECT_EQ(romajiOf("サトウ"), "sato");
}

// The keys by tables against the same keys through ICU, which a letter only ICU folds (é, kept
// at the end) sends the whole text through.
TEST(Unicode, NameKeysByTablesAgreeWithIcuOverEveryCharacterTheyTake) {
    auto byIcu = [](std::string (*key)(std::string_view), const std::string& text) {
        std::string keyed = key(text + "é");
        EXPECT_TRUE(keyed.ends_with("é")) << text;
        return keyed.substr(0, keyed.size() - std::string("é").size());
    };
    std::vector<std::u32string> texts;
    for (auto [first, last] : {std::pair<char32_t, char32_t>{0x01, 0x7F},
                               {0x3000, 0x30FF},
                               {0x4E00, 0x9FFF},
                               {0xF900, 0xFAFF},
                               {0xFF00, 0xFFEF}})
        for (char32_t c = first; c <= last; ++c) texts.push_back({c});
    // Half-width kana with the voicing marks after them, and a word around a character.
    for (char32_t c = 0xFF61; c <= 0xFF9F; ++c) {
        texts.push_back({c, 0xFF9E});
        texts.push_back({c, 0xFF9F});
        texts.push_back({U'Ｙ', c, U' ', U'ａ'});
    }
    for (const std::u32string& text : texts) {
        std::string utf8 = utf8Of(text);
        ASSERT_EQ(nameKey(utf8), byIcu(nameKey, utf8)) << utf8;
        ASSERT_EQ(searchKey(utf8), byIcu(searchKey, utf8)) << utf8;
        ASSERT_EQ(kanjiFormKey(utf8), byIcu(kanjiFormKey, utf8)) << utf8;
    }
    for (std::string text :
         {"山田 太郎", "ﾔﾏﾀﾞ;ﾀﾛｳ", "髙橋　一郎（会社）", "ＡＢＣ商事㈱", "渡邉 誠",
          "Jean-Christophe", "ヴァイオリン", "\xE5\xB1", "\xE5\xB1\xB1\x80"}) {
        EXPECT_EQ(nameKey(text), byIcu(nameKey, text)) << text;
        EXPECT_EQ(kanjiFormKey(text), byIcu(kanjiFormKey, text)) << text;
    }
    EXPECT_EQ(kanjiFormKey("髙橋　ｲﾁﾛｳ"), "高橋いちろう");
}

TEST(Unicode, JapaneseScript) {
    EXPECT_TRUE(isJapaneseScript("山田"));
    EXPECT_TRUE(isJapaneseScript("やまだ"));
    EXPECT_TRUE(isJapaneseScript("ヤマダー"));
    EXPECT_TRUE(isJapaneseScript("ﾔﾏﾀﾞ"));
    EXPECT_FALSE(isJapaneseScript("Smith"));
    EXPECT_FALSE(isJapaneseScript("山田 太郎"));  // a blank is no script of its own

    // Whether a text holds a letter of these scripts, against ICU over every code point, and
    // a broken sequence that would decode to a kanji's number is none.
    for (char32_t c = 1; c < 0x30000; ++c) {
        if (c >= 0xD800 && c < 0xE000) continue;
        std::string text = "a" + utf8Of(std::u32string(1, c));
        UErrorCode status = U_ZERO_ERROR;
        UScriptCode script = uscript_getScript(static_cast<UChar32>(c), &status);
        bool japanese =
            script == USCRIPT_HAN || script == USCRIPT_HIRAGANA || script == USCRIPT_KATAKANA;
        ASSERT_EQ(hasJapaneseScript(text), japanese) << static_cast<unsigned>(c);
    }
    EXPECT_FALSE(hasJapaneseScript("\xE4\x41\x41"));
    EXPECT_FALSE(hasJapaneseScript("\xE5\xB1"));  // cut short
    EXPECT_TRUE(hasJapaneseScript("\xE5\xB1 \xE5\xB1\xB1"));
}

TEST(Unicode, NameKeysFoldWidthBlanksAndCase) {
    EXPECT_EQ(nameKey("ｽｽﾞｷ"), nameKey("スズキ"));
    EXPECT_EQ(nameKey("山田;太郎"), nameKey("山田　太郎"));
    EXPECT_EQ(nameKey("Ｍａｒｙ Smith"), nameKey("marysmith"));
    EXPECT_NE(nameKey("山田"), nameKey("山口"));
}

TEST(Unicode, PersonNameKeysLeaveOutWhatIsWrittenAroundANameButNeverTheNameItself) {
    const std::string key = personNameKey("浅野;健");
    EXPECT_EQ(key, personNameKey("浅野健"));
    for (const char* written : {"浅野;健(会社)", "浅野健さん", "浅野健様", "浅野 健 先生",
                                "浅野健くん(携帯)", "淺野健殿", "浅野健氏"})
        EXPECT_EQ(personNameKey(written), key) << written;
    EXPECT_EQ(personNameKey("ｱｻﾉ健ちゃん"), personNameKey("あさの健"));
    const std::string company = personNameKey("ミナト精機");
    for (const char* written : {"株式会社ミナト精機", "ミナト精機株式会社", "(株)ミナト精機",
                                "㈱ミナト精機", "ﾐﾅﾄ精機（有）", "合同会社ﾐﾅﾄ精機様"})
        EXPECT_EQ(personNameKey(written), company) << written;
    for (const char* written : {"株式会社ミナト", "(有)ミナト", "ミナト有限会社"})
        EXPECT_EQ(personNameKey(written), personNameKey("ミナト")) << written;
    // A legal form in parentheses stays where it is all there is; a word alone is kept.
    EXPECT_EQ(personNameKey("(株)"), "(株)");
    EXPECT_EQ(personNameKey("先生"), "先生");
    EXPECT_EQ(personNameKey("さん"), "さん");
    EXPECT_NE(personNameKey("(会社)"), "");
    // The same key into a string that held a longer one before.
    std::string into = "とても長い名前のキーがここにありました";
    personNameKey("株式会社ミナト精機", into);
    EXPECT_EQ(into, company);
}

}  // namespace
}  // namespace tsunagi
