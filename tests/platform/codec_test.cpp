#include "platform/codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    // Wherever in a line its one character beyond ASCII stands.
    for (size_t at = 0; at < 17; ++at)
        EXPECT_EQ(cp932ToUtf8(std::string(at, 'a') + "\x8e\x52" + std::string(16, 'b')),
                  std::string(at, 'a') + "山" + std::string(16, 'b'));
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

TEST(Codec, EncodingIsTheSameWhateverTheAsciiBetweenOtherCharacters) {
    // Each text encoded whole and character by character, one call each: the same bytes, the
    // same count of replacements and of variation selectors left out, however long the ASCII
    // between the other characters (copied, or converted with them) and wherever it fails.
    const std::string gap64(64, 'x'), gap63(63, 'y');
    const std::vector<std::string> texts = {"",
                                            "ascii only",
                                            "山",
                                            "山田;太郎",
                                            "N;CHARSET=SHIFT_JIS:山田;太郎\r\nTEL:0311\r\n",
                                            "山" + gap64 + "田",
                                            "山" + gap63 + "田" + gap64,
                                            gap64 + "😀" + gap63 + "ｱ",
                                            "a😀b🎉c",
                                            "葛\xF3\xA0\x84\x80飾" + gap64 + "辻\xEF\xB8\x80",
                                            "😀",
                                            "①ｱ\\~"};
    for (const std::string& text : texts) {
        Cp932Encoder whole, single;
        std::string together, apart;
        int replaced = whole.encode(text, together);
        int replacedApart = 0;
        for (size_t i = 0; i < text.size();) {
            unsigned char lead = static_cast<unsigned char>(text[i]);
            size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            // A variation selector is dropped with the character it follows: kept together.
            size_t next = i + length;
            if (next + 3 <= text.size() && text.compare(next, 2, "\xEF\xB8") == 0) next += 3;
            if (next + 4 <= text.size() && text.compare(next, 2, "\xF3\xA0") == 0) next += 4;
            replacedApart += single.encode(text.substr(i, next - i), apart);
            i = next;
        }
        EXPECT_EQ(together, apart) << text;
        EXPECT_EQ(replaced, replacedApart) << text;
        EXPECT_EQ(whole.takeDroppedSelectors(), single.takeDroppedSelectors()) << text;
    }
}

}  // namespace
}  // namespace tsunagi
