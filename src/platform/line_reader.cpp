#include "platform/line_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/error.h"

namespace tsunagi {

namespace {
constexpr size_t kBlock = 1 << 16;
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// Checks CP932 that arrives in blocks, a line at a time, so that no character is cut.
class Cp932Scan {
  public:
    void feed(std::string_view bytes, bool last) {
        if (!valid_) return;
        carry_.append(bytes);
        size_t cut = last ? carry_.size() : carry_.find_last_of("\r\n");
        if (cut == std::string::npos) return;
        if (!last) ++cut;
        scratch_.clear();
        if (!decoder_.decode(std::string_view(carry_).substr(0, cut), scratch_)) valid_ = false;
        carry_.erase(0, cut);
    }
    bool valid() const { return valid_; }

  private:
    Cp932Decoder decoder_;
    std::string carry_, scratch_;
    bool valid_ = true;
};

// What the bytes of a file say about it, gathered in one pass before it is read.
struct FileFacts {
    Utf8Scan utf8;
    std::unique_ptr<Cp932Scan> cp932;  // only where Windows-1252 may stand in for it
    bool lineEndSeen = false;
    bool lfLineEnds = false;

    void feed(std::string_view bytes) {
        utf8.feed(bytes);
        if (cp932) cp932->feed(bytes, false);
        if (!lineEndSeen) {
            size_t end = bytes.find_first_of("\r\n");
            if (end != std::string_view::npos) {
                lineEndSeen = true;
                lfLineEnds = bytes[end] == '\n';
            }
        }
    }
    // Nothing further in the file can change what is known: the rest need not be read.
    bool settled() const { return utf8.broken() && (!cp932 || !cp932->valid()) && lineEndSeen; }
};
}  // namespace

LineReader::LineReader(const std::string& path, Western western)
    : name_(path), western_(western == Western::Allowed) {
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_)
        throw TsunagiError(path, 0, "ファイルを開けません（" + systemReason(errno) + "）。");
    struct stat info;
    if (fstat(fileno(file_), &info) != 0 || !S_ISREG(info.st_mode))
        throw TsunagiError(path, 0, "通常のファイルではないため読み込めません。");
    decoder_ = std::make_unique<Cp932Decoder>();
    detect();
}

LineReader LineReader::fromBytes(std::string bytes, std::string name) {
    LineReader reader;
    reader.name_ = std::move(name);
    reader.buffer_ = std::move(bytes);
    reader.atEnd_ = true;
    reader.decoder_ = std::make_unique<Cp932Decoder>();
    reader.detect();
    return reader;
}

LineReader::~LineReader() {
    if (file_) std::fclose(file_);
}

LineReader::LineReader(LineReader&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)),
      name_(std::move(other.name_)),
      buffer_(std::move(other.buffer_)),
      position_(other.position_),
      atEnd_(other.atEnd_),
      lineNumber_(other.lineNumber_),
      lastLineEnd_(other.lastLineEnd_),
      encoding_(other.encoding_),
      lfLineEnds_(other.lfLineEnds_),
      western_(other.western_),
      checkedWhole_(other.checkedWhole_),
      decoder_(std::move(other.decoder_)) {}

void LineReader::fail(const std::string& reason) const {
    throw TsunagiError(name_, lineNumber_, reason);
}

void LineReader::convertUtf16(const char* charset, size_t mark) {
    while (!atEnd_) fill();
    std::string utf8;
    if (!convertToUtf8(std::string_view(buffer_).substr(mark), charset, utf8))
        throw TsunagiError(name_, 0, "UTF-16 として読めないバイトがあります。");
    buffer_ = std::move(utf8);
    position_ = 0;
}

namespace {

// UTF-16 written without a byte-order mark: text of the address-book kind is mostly ASCII, so
// one byte of nearly every pair is zero, and neither CP932 nor UTF-8 text has zero bytes.
const char* unmarkedUtf16(std::string_view head) {
    size_t pairs = std::min<size_t>(head.size(), 512) / 2;
    if (pairs < 4) return nullptr;
    size_t evenZeros = 0, oddZeros = 0;
    for (size_t i = 0; i < pairs; ++i) {
        evenZeros += head[2 * i] == '\0';
        oddZeros += head[2 * i + 1] == '\0';
    }
    if (oddZeros * 4 >= pairs * 3 && evenZeros * 8 <= pairs) return "UTF-16LE";
    if (evenZeros * 4 >= pairs * 3 && oddZeros * 8 <= pairs) return "UTF-16BE";
    return nullptr;
}

}  // namespace

void LineReader::detect() {
    while (buffer_.size() < 512 && !atEnd_) fill();
    std::string_view head = buffer_;
    if (head.substr(0, kUtf16LeMark.size()) == kUtf16LeMark) {
        convertUtf16("UTF-16LE", kUtf16LeMark.size());
        encoding_ = TextEncoding::Utf8;
    } else if (head.substr(0, kUtf16BeMark.size()) == kUtf16BeMark) {
        convertUtf16("UTF-16BE", kUtf16BeMark.size());
        encoding_ = TextEncoding::Utf8;
    } else if (const char* utf16 = unmarkedUtf16(head)) {
        convertUtf16(utf16, 0);
        encoding_ = TextEncoding::Utf8;
    } else if (head.substr(0, kUtf8Mark.size()) == kUtf8Mark) {
        encoding_ = TextEncoding::Utf8;
        position_ = kUtf8Mark.size();
    }

    // One pass over the whole file for its character set and its line ends, then back to the
    // start.
    FileFacts facts;
    if (western_ && encoding_ == TextEncoding::Cp932) facts.cp932 = std::make_unique<Cp932Scan>();
    facts.feed(std::string_view(buffer_).substr(position_));
    if (file_) {
        std::string block(kBlock, '\0');
        while (!facts.settled()) {
            size_t got = std::fread(block.data(), 1, kBlock, file_);
            facts.feed(std::string_view(block.data(), got));
            if (got < kBlock) break;
        }
        if (std::ferror(file_) || std::fseek(file_, static_cast<long>(buffer_.size()), SEEK_SET))
            throw TsunagiError(name_, 0, "ファイルを読めません（" + systemReason(errno) + "）。");
        std::clearerr(file_);
    }
    if (encoding_ == TextEncoding::Cp932 && facts.utf8.valid() && facts.utf8.multibyte())
        encoding_ = TextEncoding::Utf8;
    if (facts.cp932) facts.cp932->feed("", true);
    if (encoding_ == TextEncoding::Cp932 && facts.cp932 && !facts.cp932->valid() &&
        !facts.utf8.valid()) {
        // Unless its headings are Japanese: then it is a CP932 file with a damaged line, to be
        // refused at that line.
        std::string_view first = std::string_view(buffer_).substr(position_);
        first = first.substr(0, first.find_first_of("\r\n"));
        std::string decoded;
        bool japanese = std::any_of(first.begin(), first.end(),
                                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; }) &&
                        decoder_->decode(first, decoded);
        if (!japanese) encoding_ = TextEncoding::Windows1252;
    }
    checkedWhole_ = encoding_ == TextEncoding::Utf8 && facts.utf8.valid();
    lfLineEnds_ = facts.lfLineEnds;
}

// Appends the next block of the file to the buffer, or notes that the file has ended.
void LineReader::fill() {
    if (atEnd_) return;
    if (position_ > 0 && position_ >= buffer_.size() / 2) {
        buffer_.erase(0, position_);
        position_ = 0;
    }
    size_t old = buffer_.size();
    buffer_.resize(old + kBlock);
    size_t got = std::fread(buffer_.data() + old, 1, kBlock, file_);
    buffer_.resize(old + got);
    if (got < kBlock) {
        if (std::ferror(file_))
            throw TsunagiError(name_, lineNumber_ + 1,
                               "ファイルを読めません（" + systemReason(errno) + "）。");
        atEnd_ = true;
    }
}

bool LineReader::nextBytes(std::string& bytes, bool* cut) {
    if (cut) *cut = false;
    const char end = lfLineEnds_ ? '\n' : '\r';
    size_t scanned = 0;  // bytes after position_ already known to hold no line end
    size_t at;
    for (;;) {
        const char* base = buffer_.data();
        size_t from = position_ + scanned;
        const void* found = std::memchr(base + from, end, buffer_.size() - from);
        if (found) {
            at = static_cast<const char*>(found) - base;
            // A CR at the very end of what has been read may be the first half of CR LF.
            if (lfLineEnds_ || at + 1 < buffer_.size() || atEnd_) break;
            scanned = at - position_;
        } else {
            scanned = buffer_.size() - position_;
            if (atEnd_) {
                if (scanned == 0) return false;
                at = buffer_.size();
                break;
            }
        }
        if (scanned > kMaxLineBytes && cut) {
            *cut = true;
            skipRestOfLine(bytes);
            return true;
        }
        if (scanned > kMaxLineBytes) {
            ++lineNumber_;
            fail("1 行が長すぎます（" + std::to_string(kMaxLineBytes / 1024 / 1024) +
                 " MiB まで）。アドレス帳のファイルではない可能性があります。");
        }
        fill();
    }

    size_t length = at - position_;
    size_t next = at;
    lastLineEnd_ = "";
    if (at < buffer_.size()) {
        next = at + 1;
        lastLineEnd_ = lfLineEnds_ ? "\n" : "\r";
        if (lfLineEnds_) {
            if (length > 0 && buffer_[at - 1] == '\r') {
                --length;
                lastLineEnd_ = "\r\n";
            }
        } else if (next < buffer_.size() && buffer_[next] == '\n') {
            ++next;
            lastLineEnd_ = "\r\n";
        }
    }
    ++lineNumber_;
    if (length > kMaxLineBytes)
        fail("1 行が長すぎます（" + std::to_string(kMaxLineBytes / 1024 / 1024) +
             " MiB まで）。アドレス帳のファイルではない可能性があります。");
    bytes.assign(buffer_, position_, length);
    position_ = next;
    return true;
}

void LineReader::skipRestOfLine(std::string& head) {
    // The head is kept; the rest goes as it is read, so memory stays bounded.
    head.assign(buffer_, position_, kMaxLineBytes);
    const char end = lfLineEnds_ ? '\n' : '\r';
    for (;;) {
        const void* found =
            std::memchr(buffer_.data() + position_, end, buffer_.size() - position_);
        if (found) {
            position_ = static_cast<const char*>(found) - buffer_.data() + 1;
            if (!lfLineEnds_) {
                if (position_ == buffer_.size() && !atEnd_) fill();
                if (position_ < buffer_.size() && buffer_[position_] == '\n') ++position_;
            }
            break;
        }
        position_ = buffer_.size();
        if (atEnd_) break;
        fill();
    }
    ++lineNumber_;
}

bool LineReader::decode(std::string_view bytes, std::string& out) {
    if (encoding_ == TextEncoding::Windows1252) {
        std::string converted;
        if (!convertToUtf8(bytes, "WINDOWS-1252", converted)) return false;
        out.append(converted);
        return true;
    }
    if (encoding_ == TextEncoding::Utf8) {
        if (!checkedWhole_ && !isValidUtf8(bytes)) return false;
        out.append(bytes);
        return true;
    }
    return decoder_->decode(bytes, out);
}

bool LineReader::next(std::string& line) {
    std::string bytes;
    if (!nextBytes(bytes)) return false;
    line.clear();
    if (!decode(bytes, line))
        fail(encoding_ == TextEncoding::Utf8
                 ? "UTF-8 として読めないバイトがあります。"
                 : "CP932（Shift_JIS）として読めないバイトがあります。");
    return true;
}

}  // namespace tsunagi
