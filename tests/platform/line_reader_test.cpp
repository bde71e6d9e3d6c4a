#include "platform/line_reader.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

std::vector<std::string> allLines(LineReader reader) {
    std::vector<std::string> lines;
    std::string line;
    while (reader.next(line)) lines.push_back(line);
    return lines;
}

TEST(LineReader, LineEndsAsWindowsAndThePhoneWriteThem) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(allLines(LineReader::fromBytes("a\r\nb\rc\nd\r\n\r\ne", "x")),
              (Lines{"a", "b", "c\nd", "", "e"}));
    EXPECT_EQ(allLines(LineReader::fromBytes("", "x")), Lines{});
    EXPECT_EQ(allLines(LineReader::fromBytes("\r", "x")), Lines{""});
    EXPECT_EQ(allLines(LineReader::fromBytes("a\r\n", "x")), Lines{"a"});
}

TEST(LineReader, CrLfSplitAcrossReadBlocksAndLongLines) {
    TempFolder folder;
    // The reader takes the file in 64 KiB blocks: put a CR LF across the first boundary.
    std::string first(65535, 'a');
    std::string longLine(200000, 'b');
    std::string path = folder.write("blocks.txt", first + "\r\n" + longLine + "\r" + "\x8e\x52");
    LineReader reader(path);
    std::string line;
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, first);
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, longLine);
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "山");
    EXPECT_EQ(reader.lineNumber(), 3);
    EXPECT_FALSE(reader.next(line));
}

TEST(LineReader, Utf8OnlyWhenMarkedAndAllowed) {
    const std::string marked = "\xEF\xBB\xBF\xE5\xB1\xB1\r\n";
    LineReader utf8 = LineReader::fromBytes(marked, "x", true);
    std::string line;
    ASSERT_TRUE(utf8.next(line));
    EXPECT_EQ(line, "山");
    EXPECT_EQ(utf8.encoding(), TextEncoding::Utf8);
    // Without leave to, the same bytes are CP932, and not valid CP932 at that.
    LineReader cp932 = LineReader::fromBytes(marked, "x", false);
    EXPECT_THROW(cp932.next(line), TsunagiError);
    LineReader badUtf8 = LineReader::fromBytes("\xEF\xBB\xBFok\r\n\xC3\x28\r\n", "bad.csv", true);
    ASSERT_TRUE(badUtf8.next(line));
    try {
        badUtf8.next(line);
        FAIL();
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.file(), "bad.csv");
        EXPECT_EQ(error.line(), 2);
    }
}

}  // namespace
}  // namespace tsunagi
