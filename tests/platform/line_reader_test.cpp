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

TEST(LineReader, TheFileDecidesItsCharacterSet) {
    std::string line;
    // A mark decides, for UTF-8 and for UTF-16 in either byte order.
    LineReader marked = LineReader::fromBytes("\xEF\xBB\xBF\xE5\xB1\xB1\r\n", "x");
    ASSERT_TRUE(marked.next(line));
    EXPECT_EQ(line, "山");
    LineReader le = LineReader::fromBytes(std::string("\xFF\xFE\x71\x5C\r\0\n\0a\0", 10), "x");
    EXPECT_EQ(allLines(std::move(le)), (std::vector<std::string>{"山", "a"}));
    LineReader be = LineReader::fromBytes(std::string("\xFE\xFF\x5C\x71", 4), "x");
    EXPECT_EQ(allLines(std::move(be)), (std::vector<std::string>{"山"}));
    // Without a mark, valid UTF-8 with characters beyond ASCII is UTF-8...
    LineReader unmarked = LineReader::fromBytes("a\r\n\xE4\xBC\x8A\xE8\x97\xA4\r\n", "x");
    EXPECT_EQ(unmarked.encoding(), TextEncoding::Utf8);
    EXPECT_EQ(allLines(std::move(unmarked)), (std::vector<std::string>{"a", "伊藤"}));
    // ...and anything else CP932, the phone's own files first of all.
    LineReader phone = LineReader::fromBytes("\x8e\x52\x93\x63\r\n", "x");
    EXPECT_EQ(phone.encoding(), TextEncoding::Cp932);
    EXPECT_EQ(allLines(std::move(phone)), (std::vector<std::string>{"山田"}));
    LineReader badUtf8 = LineReader::fromBytes("\xEF\xBB\xBFok\r\n\xC3\x28\r\n", "bad.csv");
    ASSERT_TRUE(badUtf8.next(line));
    try {
        badUtf8.next(line);
        FAIL();
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.file(), "bad.csv");
        EXPECT_EQ(error.line(), 2);
    }
}

TEST(LineReader, WhatDecidesTheCharacterSetMayStandBeyondTheFirstBlock) {
    TempFolder folder;
    std::string filler;
    while (filler.size() < 70000) filler += "0123456789,abcdefghij\r\n";
    // UTF-8 whose first character beyond ASCII comes late.
    LineReader late(folder.write("late.csv", filler + "\xE5\xB1\xB1\r\n"));
    EXPECT_EQ(late.encoding(), TextEncoding::Utf8);
    // A western file: its first lines read as CP932 too, a later one does not.
    std::string western = "name\r\n\x8e\x52\x93\x63\r\n" + filler + "caf\xE9\r\n";
    LineReader cafe(folder.write("cafe.csv", western), LineReader::Western::Allowed);
    EXPECT_EQ(cafe.encoding(), TextEncoding::Windows1252);
    EXPECT_EQ(allLines(std::move(cafe)).back(), "café");
}

TEST(LineReader, LfLineEndsWhenTheFirstLineEndsInABareLf) {
    EXPECT_EQ(allLines(LineReader::fromBytes("a\nb\r\nc\rd\n", "x")),
              (std::vector<std::string>{"a", "b", "c\rd"}));
    // The phone's rule stays when the first line end is a CR.
    EXPECT_EQ(allLines(LineReader::fromBytes("a\r\nb\nc\r\n", "x")),
              (std::vector<std::string>{"a", "b\nc"}));
}

TEST(LineReader, AnEndlessLineAndAFileThatIsNoFileAreRefused) {
    TempFolder folder;
    std::string path =
        folder.write("one-line.vcf", "ok\r\n" + std::string(LineReader::kMaxLineBytes + 10, 'x'));
    LineReader reader(path);
    std::string line;
    ASSERT_TRUE(reader.next(line));
    try {
        reader.next(line);
        FAIL() << "a line over the bound was read";
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.line(), 2);
    }
    std::filesystem::create_symlink("/dev/zero", folder.file("zero.vcf"));
    EXPECT_THROW(LineReader(folder.file("zero.vcf")), TsunagiError);
}

}  // namespace
}  // namespace tsunagi
