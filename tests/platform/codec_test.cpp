#include "platform/codec.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"

namespace tsunagi {
namespace {

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

}  // namespace
}  // namespace tsunagi
