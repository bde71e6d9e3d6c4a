#include "card/vcard_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tsunagi {
namespace {

TEST(VcardLine, NameGroupParametersAndValue) {
    VcardLine line;
    ASSERT_TRUE(parseVcardLine("item1.tel;type=CELL,voice;TYPE=\"pref\":+81 90-1234-5678", line));
    EXPECT_EQ(line.name, "TEL");
    ASSERT_EQ(line.parameters.size(), 2u);
    EXPECT_EQ(line.parameters[0].name, "TYPE");
    EXPECT_EQ(line.parameters[1].value, "pref");  // quotes removed
    EXPECT_TRUE(line.hasType("cell"));
    EXPECT_TRUE(line.hasType("VOICE"));
    EXPECT_FALSE(line.hasType("HOME"));
    EXPECT_EQ(line.value, "+81 90-1234-5678");

    // A 2.1 bare parameter is a TYPE; the first colon ends the name, later ones are the value.
    ASSERT_TRUE(parseVcardLine("TEL;HOME;VOICE:tel:+81-3", line));
    EXPECT_TRUE(line.hasType("HOME"));
    EXPECT_EQ(line.value, "tel:+81-3");
    EXPECT_EQ(line.parameter("CHARSET"), std::nullopt);

    ASSERT_TRUE(parseVcardLine("N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=B1=B1;", line));
    EXPECT_TRUE(line.quotedPrintable());
    EXPECT_EQ(line.parameter("CHARSET"), "UTF-8");
    ASSERT_TRUE(parseVcardLine("PHOTO;ENCODING=b;TYPE=JPEG:/9j/", line));
    EXPECT_TRUE(line.base64());

    EXPECT_FALSE(parseVcardLine("no colon at all", line));
}

TEST(VcardLine, QuotedPrintableAndSoftBreaks) {
    EXPECT_EQ(decodeQuotedPrintable("=E5=B1=B1=E7=94=B0"), "山田");
    EXPECT_EQ(decodeQuotedPrintable("a=\r\nb=\nc"), "abc");
    EXPECT_EQ(decodeQuotedPrintable("=3D=3d"), "==");
    // A broken escape stays as written rather than eating what follows.
    EXPECT_EQ(decodeQuotedPrintable("100=ZZ%"), "100=ZZ%");
}

TEST(VcardLine, ComponentsAndEscapes) {
    std::vector<std::string> parts;
    // Some writers escape characters that need none: the backslash goes, the character stays.
    splitComponents("O\\'Brien;Mary\\, Ann;;;", ';', parts);
    EXPECT_EQ(parts, (std::vector<std::string>{"O'Brien", "Mary, Ann", "", "", ""}));
    splitComponents("a\\;b;c\\\\", ';', parts);
    EXPECT_EQ(parts, (std::vector<std::string>{"a;b", "c\\"}));
    std::string scratch;
    EXPECT_EQ(unescapeText("plain", scratch), "plain");
    EXPECT_EQ(unescapeText("one\\ntwo\\, three\\;", scratch), "one\ntwo, three;");
}

}  // namespace
}  // namespace tsunagi
