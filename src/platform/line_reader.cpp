#include "platform/line_reader.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/error.h"

namespace tsunagi {

namespace {
constexpr size_t kBlock = 1 << 16;
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
}  // namespace

LineReader::LineReader(const std::string& path, bool utf8WhenMarked) : name_(path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_)
        throw TsunagiError(path, 0, "ファイルを開けません（" + systemReason(errno) + "）。");
    decoder_ = std::make_unique<Cp932Decoder>();
    detectEncoding(utf8WhenMarked);
}

LineReader LineReader::fromBytes(std::string bytes, std::string name, bool utf8WhenMarked) {
    LineReader reader;
    reader.name_ = std::move(name);
    reader.buffer_ = std::move(bytes);
    reader.atEnd_ = true;
    reader.decoder_ = std::make_unique<Cp932Decoder>();
    reader.detectEncoding(utf8WhenMarked);
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
      encoding_(other.encoding_),
      decoder_(std::move(other.decoder_)) {}

void LineReader::detectEncoding(bool utf8WhenMarked) {
    while (buffer_.size() < kUtf8Mark.size() && !atEnd_) fill();
    if (utf8WhenMarked && std::string_view(buffer_).substr(0, kUtf8Mark.size()) == kUtf8Mark) {
        encoding_ = TextEncoding::Utf8;
        position_ = kUtf8Mark.size();
    }
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

bool LineReader::next(std::string& line) {
    size_t scanned = 0;  // bytes after position_ already known to hold no CR
    size_t cr;
    for (;;) {
        const char* base = buffer_.data();
        size_t from = position_ + scanned;
        const void* found = std::memchr(base + from, '\r', buffer_.size() - from);
        if (found) {
            size_t at = static_cast<const char*>(found) - base;
            // A CR at the very end of what has been read may be the first half of CR LF.
            if (at + 1 < buffer_.size() || atEnd_) {
                cr = at;
                break;
            }
            scanned = at - position_;
        } else {
            scanned = buffer_.size() - position_;
            if (atEnd_) {
                if (scanned == 0) return false;
                cr = buffer_.size();
                break;
            }
        }
        fill();
    }

    std::string_view raw(buffer_.data() + position_, cr - position_);
    size_t end = cr;
    if (cr < buffer_.size()) {
        end = cr + 1;
        if (end < buffer_.size() && buffer_[end] == '\n') ++end;
    }
    ++lineNumber_;
    line.clear();
    bool ok;
    if (encoding_ == TextEncoding::Utf8) {
        ok = isValidUtf8(raw);
        if (ok) line.assign(raw);
    } else {
        ok = decoder_->decode(raw, line);
    }
    position_ = end;
    if (!ok)
        throw TsunagiError(name_, lineNumber_,
                           encoding_ == TextEncoding::Utf8
                               ? "UTF-8 として読めないバイトがあります。"
                               : "CP932（Shift_JIS）として読めないバイトがあります。");
    return true;
}

}  // namespace tsunagi
