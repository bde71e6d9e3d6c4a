#pragma once

// Reads a text file line by line, as the phone and Windows write it: a line ends at CR LF or
// at a lone CR; a lone LF stays inside the line. The file is read once, in blocks, and each
// line is converted to UTF-8 as it is handed out.

#include <cstdio>
#include <memory>
#include <string>

#include "platform/codec.h"

namespace tsunagi {

enum class TextEncoding { Cp932, Utf8 };

class LineReader {
  public:
    // Opens `path`; throws TsunagiError naming the file when it cannot be opened. With
    // `utf8WhenMarked`, a file that begins with the UTF-8 byte-order mark is read as UTF-8.
    explicit LineReader(const std::string& path, bool utf8WhenMarked = false);
    // Reads from bytes already in memory; `name` stands for the file in messages.
    static LineReader fromBytes(std::string bytes, std::string name, bool utf8WhenMarked = false);
    ~LineReader();
    LineReader(LineReader&&) noexcept;

    // The next line in UTF-8, without its line end; false at the end of the file. Throws
    // TsunagiError with the file and the line number when the line is not valid text.
    bool next(std::string& line);

    long lineNumber() const { return lineNumber_; }
    TextEncoding encoding() const { return encoding_; }
    const std::string& name() const { return name_; }

  private:
    LineReader() = default;
    void fill();
    void detectEncoding(bool utf8WhenMarked);

    std::FILE* file_ = nullptr;
    std::string name_;
    std::string buffer_;
    size_t position_ = 0;
    bool atEnd_ = false;
    long lineNumber_ = 0;
    TextEncoding encoding_ = TextEncoding::Cp932;
    std::unique_ptr<Cp932Decoder> decoder_;
};

}  // namespace tsunagi
