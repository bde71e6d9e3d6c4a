#include "card/checks.h"

#include <gtest/gtest.h>

#include <string>

namespace tsunagi {
namespace {

TEST(Checks, IsAllDigits) {
    EXPECT_EQ(IsAllDigits("0123"), true);
    EXPECT_EQ(IsAllDigits("12a"), false);
    EXPECT_EQ(IsAllDigits("０１２"), false);
    EXPECT_EQ(IsAllDigits(""), std::nullopt);
    EXPECT_EQ(IsAllDigits(" 1"), false);
}

TEST(Checks, IsMailAddressAtEachRuleOfThePattern) {
    for (const char* good :
         {"taro@example.jp", "A.b-c_d@x-y_z.co.JP", "a@b.cd", "a@b..cd", "a@b.c1de"})
        EXPECT_TRUE(IsMailAddress(good)) << good;
    for (const char* bad :
         {"", "@example.jp", "a@.jp", "a@b.c", "a@b.c1", "a@b.jp ", " a@b.jp", "a@b.c.d",
          "a b@c.jp", "a@b@c.jp", "太郎@example.jp", "a@exa.mple.j2", "a+b@example.jp"})
        EXPECT_FALSE(IsMailAddress(bad)) << bad;
    EXPECT_TRUE(IsMailAddress("a@sub.domain.jp"));
    EXPECT_FALSE(IsMailAddress("a@sub.domain.j"));
}

TEST(PhoneNumbers, TypedWithAJapaneseInputMethodTheyAreDialledToo) {
    EXPECT_EQ(asciiNumber("０９０－１２３４－５６７８"), "090-1234-5678");
    EXPECT_EQ(phoneDigits("０９０－１２３４－５６７８"), "09012345678");
    EXPECT_EQ(phoneDigits("03ー1234ー5678"), "0312345678");
    EXPECT_EQ(phoneDigits("03ｰ1234‐5678"), "0312345678");
    EXPECT_EQ(phoneDigits("＋８１　９０−１２３４−５６７８"), "09012345678");
    EXPECT_EQ(phoneDigits("（０３）１２３４．５６７８"), "0312345678");
    // The long-vowel mark is a hyphen only between digits; an extension is no digit.
    EXPECT_EQ(phoneDigits("ー0312345678"), std::nullopt);
    EXPECT_EQ(phoneDigits("03-1234-5678 内線123"), std::nullopt);
    NumberParts parts = splitExtension("03-1234-5678 内線123");
    EXPECT_EQ(parts.main, "03-1234-5678");
    EXPECT_EQ(parts.extension, "123");
    EXPECT_EQ(splitExtension("+81-3-1234-5678;ext=456").extension, "456");
    EXPECT_EQ(splitExtension("03-1234-5678 ext. 9").extension, "9");
    EXPECT_EQ(splitExtension("03-1234-5678 x12").extension, "12");
    EXPECT_EQ(splitExtension("03-1234-5678").extension, "");
    EXPECT_EQ(splitExtension("Box 12").extension, "");
    // A phone's pause or wait before the extension; digits must follow them alone.
    parts = splitExtension("03-5555-0001,123");
    EXPECT_EQ(parts.main, "03-5555-0001");
    EXPECT_EQ(parts.extension, "123");
    EXPECT_EQ(splitExtension("+81 3-5555-0001,,45").extension, "45");
    EXPECT_EQ(splitExtension("0355550001;7").extension, "7");
    EXPECT_EQ(splitExtension("03-5555-0001,").extension, "");
    EXPECT_EQ(splitExtension("03-5555-0001,#12").extension, "");
    EXPECT_EQ(numberKey("03-5555-0001,123"), "0355550001");
    // Digits with hyphens, brackets and blanks, as most numbers come, and every other shape.
    for (auto [number, key] : {std::pair{"090-1234-5678", "09012345678"},
                               {" (03) 5555.0001 ", "0355550001"},
                               {"+81 90-1234-5678", "09012345678"},
                               {"０９０ー１２３４ー５６７８", "09012345678"},
                               {"03-5555-0001 x 12", "0355550001"},
                               {"-", "-"}})
        EXPECT_EQ(numberKey(number), key) << number;
    EXPECT_EQ(asciiNumber("ソニー"), "ソニー");
}

TEST(PhoneNumbers, AsThePhoneDialsThem) {
    EXPECT_EQ(phoneDigits("03-1234-5678"), "0312345678");
    EXPECT_EQ(phoneDigits("+81 90-1234-5678"), "09012345678");
    EXPECT_EQ(phoneDigits("+81 (0)3 1234 5678"), "0312345678");
    EXPECT_EQ(phoneDigits("(03) 1234 5678"), "0312345678");
    EXPECT_EQ(phoneDigits("03.1234.5678"), "0312345678");
    EXPECT_EQ(phoneDigits("+1 (212) 555-0100"),
              "0101212555010"
              "0");
    EXPECT_EQ(phoneDigits("03-ABC"), std::nullopt);
    EXPECT_EQ(phoneDigits("090+1"), std::nullopt);
    EXPECT_EQ(phoneDigits(" - "), std::nullopt);
    EXPECT_EQ(phoneDigits(std::string(23, '1')), std::string(23, '1'));
    EXPECT_EQ(phoneDigits(std::string(24, '1')), std::nullopt);
}

}  // namespace
}  // namespace tsunagi
