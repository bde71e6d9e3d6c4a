#pragma once

// Reads a text file line by line, however other programs wrote it, and hands each line out in
// UTF-8.
//
// Character set: a UTF-8 or UTF-16 byte-order mark decides, and UTF-16 is also known by its zero
// bytes when it has no mark; a file without one that is valid
// UTF-8 and holds characters beyond ASCII is UTF-8; any other file is CP932, as the phone and
// Windows write it.
// Line ends: as the phone and Windows write them, a line ends at CR LF or at a lone CR, and a
// lone LF stays inside the line (the phone's notes hold such LFs). A file whose first line
// ends in a bare LF, as other systems write, has LF line ends instead: there a line ends at LF
// (a CR right before it is dropped) and a lone CR stays inside the line.

#include <cstdio>
#include <memory>
#include <string>

#include "platform/codec.h"

namespace tsunagi {

enum class TextEncoding { Cp932, Utf8, Windows1252 };

class LineReader {
  public:
    // One line is longer than any address book needs at this length: past it, the file is
    // refused rather than held in memory.
    static constexpr size_t kMaxLineBytes = size_t(1) << 20;

    // Whether a file that is valid neither as UTF-8 nor as CP932 is read as Windows-1252, as
    // Western Europe's Windows writes its address books.
    enum class Western { Refused, Allowed };

    // Opens `path`; throws TsunagiError naming the file when it cannot be opened or is not a
    // regular file.
    explicit LineReader(const std::string& path, Western western = Western::Refused);
    // Reads from bytes already in memory; `name` stands for the file in messages.
    static LineReader fromBytes(std::string bytes, std::string name);
    ~LineReader();
    LineReader(LineReader&&) noexcept;

    // The next line in UTF-8, without its line end; false at the end of the file. Throws
    // TsunagiError with the file and the line number when the line is not valid text or is
    // longer than kMaxLineBytes.
    bool next(std::string& line);
    // The next line as its bytes in the file's character set (UTF-16 files come as UTF-8), for
    // readers that decode parts of a line themselves.
    // With `cut`, a line longer than kMaxLineBytes is not refused: its first kMaxLineBytes
    // come back, the rest is skipped without being held, and *cut says so.
    bool nextBytes(std::string& bytes, bool* cut = nullptr);
    // Decodes bytes of this file's character set into `out`; false when they are not valid.
    bool decode(std::string_view bytes, std::string& out);
    // Whether every line's bytes are already valid UTF-8, so that decode() would only copy them.
    bool bytesAreText() const { return encoding_ == TextEncoding::Utf8 && checkedWhole_; }

    // How the line last read ended: "\r\n", "\n" or "\r" ("" at the end of the file), so that a
    // quoted text going on over it keeps the break it had.
    std::string_view lastLineEnd() const { return lastLineEnd_; }
    long lineNumber() const { return lineNumber_; }
    TextEncoding encoding() const { return encoding_; }
    bool lfLineEnds() const { return lfLineEnds_; }
    const std::string& name() const { return name_; }

  private:
    LineReader() = default;
    void fill();
    void skipRestOfLine(std::string& head);
    void detect();
    void convertUtf16(const char* charset, size_t mark);
    [[noreturn]] void fail(const std::string& reason) const;

    std::FILE* file_ = nullptr;
    std::string name_;
    std::string buffer_;
    size_t position_ = 0;
    bool atEnd_ = false;
    long lineNumber_ = 0;
    std::string_view lastLineEnd_;
    TextEncoding encoding_ = TextEncoding::Cp932;
    bool lfLineEnds_ = false;
    bool western_ = false;
    bool checkedWhole_ = false;  // the whole file is known to be valid in its character set
    std::unique_ptr<Cp932Decoder> decoder_;
};

}  // namespace tsunagi
