#include "platform/codec.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/error.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

iconv_t openConverter(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw TsunagiError(std::string("文字コード変換 ") + from + " → " + to + " を使えません。");
    return cd;
}

// Runs iconv over the whole input; stops at the first sequence it cannot convert and returns
// how much input was consumed.
// Every call starts from the converter's initial state: a whole input leaves it there, and a
// failed one is put back.
size_t convert(iconv_t cd, std::string_view in, std::string& out, bool& failed) {
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    failed = false;
    char buffer[4096];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            failed = true;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            break;
        }
    }
    return in.size() - srcLeft;
}

size_t utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}

}  // namespace

Cp932Decoder::Cp932Decoder() : cd_(openConverter("UTF-8", "CP932")) {}
Cp932Decoder::~Cp932Decoder() { iconv_close(cd_); }

bool Cp932Decoder::decode(std::string_view bytes, std::string& out) {
    // Plain ASCII is the same in both; skipping iconv for it keeps the common line cheap.
    if (isAscii(bytes)) {
        out.append(bytes);
        return true;
    }
    bool failed;
    convert(cd_, bytes, out, failed);
    return !failed;
}

Cp932Encoder::Cp932Encoder() : cd_(openConverter("CP932", "UTF-8")) {}
Cp932Encoder::~Cp932Encoder() { iconv_close(cd_); }

namespace {

// U+FE00–FE0F (EF B8 80–8F) and U+E0100–E01EF (F3 A0 84 80 – F3 A0 87 AF) in UTF-8.
bool isVariationSelector(std::string_view c) {
    auto at = [&c](size_t i) { return static_cast<unsigned char>(c[i]); };
    if (c.size() == 3) return at(0) == 0xEF && at(1) == 0xB8 && at(2) >= 0x80 && at(2) <= 0x8F;
    return c.size() == 4 && at(0) == 0xF3 && at(1) == 0xA0 && at(2) >= 0x84 && at(2) <= 0x87;
}

}  // namespace

int Cp932Encoder::encode(std::string_view text, std::string& out) {
    // ASCII is the same in both, and most of what is written is ASCII: it is copied as it
    // stands, and only the stretches of other characters go through iconv. A short stretch of
    // ASCII between them goes with them, so that a card's name, family and given apart, is
    // one call; iconv costs more a call than a byte.
    constexpr size_t kCopiedRun = 64;
    auto ascii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
    int replaced = 0;
    size_t i = 0;
    while (i < text.size()) {
        size_t start = i;
        while (start < text.size() && ascii(text[start])) ++start;
        out.append(text.data() + i, start - i);
        if (start == text.size()) break;
        // The stretch ends before the first run of ASCII long enough to copy, or at the end.
        size_t end = start, run = 0;
        for (size_t at = start; at < text.size() && run < kCopiedRun; ++at) {
            if (ascii(text[at])) {
                ++run;
            } else {
                run = 0;
                end = at + 1;
            }
        }
        replaced += encodeRun(text.substr(start, end - start), out);
        i = end;
    }
    return replaced;
}

int Cp932Encoder::encodeRun(std::string_view utf8, std::string& out) {
    int replaced = 0;
    while (!utf8.empty()) {
        bool failed;
        size_t used = convert(cd_, utf8, out, failed);
        utf8.remove_prefix(used);
        if (!failed) break;
        size_t skip = utf8SequenceLength(static_cast<unsigned char>(utf8.front()));
        if (isVariationSelector(utf8.substr(0, skip))) {
            ++droppedSelectors_;
        } else {
            out.push_back('?');
            ++replaced;
        }
        utf8.remove_prefix(std::min(skip, utf8.size()));
    }
    return replaced;
}

bool isValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        // ASCII, most of any address book, eight bytes at a time.
        if (std::uint64_t word; i + 8 <= text.size()) {
            std::memcpy(&word, text.data() + i, 8);
            if ((word & 0x8080808080808080u) == 0) {
                i += 8;
                continue;
            }
        }
        unsigned char c = text[i];
        size_t len = utf8SequenceLength(c);
        if (len == 1) {
            if (c >= 0x80) return false;
            ++i;
            continue;
        }
        if (i + len > text.size()) return false;
        unsigned int cp = c & (0x7F >> len);
        for (size_t k = 1; k < len; ++k) {
            unsigned char d = text[i + k];
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static const unsigned int minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < minimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

void Utf8Scan::feed(std::string_view bytes) {
    if (!valid_) return;
    std::string joined;
    if (!pending_.empty()) {
        joined = pending_ + std::string(bytes);
        bytes = joined;
        pending_.clear();
    }
    // Hold back a sequence that the end of this piece cuts open.
    size_t end = bytes.size();
    for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        unsigned char c = bytes[bytes.size() - back];
        if ((c & 0xC0) == 0x80) continue;
        if (c >= 0xC0 && utf8SequenceLength(c) > back) end = bytes.size() - back;
        break;
    }
    std::string_view whole = bytes.substr(0, end);
    if (!multibyte_)
        multibyte_ = std::any_of(whole.begin(), whole.end(),
                                 [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    valid_ = isValidUtf8(whole);
    pending_ = std::string(bytes.substr(end));
}

bool convertToUtf8(std::string_view bytes, const char* charset, std::string& out) {
    iconv_t cd = iconv_open("UTF-8", charset);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    bool failed;
    convert(cd, bytes, out, failed);
    iconv_close(cd);
    return !failed;
}

std::string cp932ToUtf8(std::string_view bytes) {
    Cp932Decoder decoder;
    std::string out;
    if (!decoder.decode(bytes, out))
        throw TsunagiError("CP932（Shift_JIS）として読めないバイトがあります。");
    return out;
}

std::string utf8ToCp932(std::string_view utf8) {
    Cp932Encoder encoder;
    std::string out;
    encoder.encode(utf8, out);
    return out;
}

std::string utf8WithReplacements(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        unsigned char c = bytes[i];
        size_t length = c < 0x80             ? 1
                        : (c & 0xE0) == 0xC0 ? 2
                        : (c & 0xF0) == 0xE0 ? 3
                        : (c & 0xF8) == 0xF0 ? 4
                                             : 0;
        if (length > 0 && i + length <= bytes.size() && isValidUtf8(bytes.substr(i, length))) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            out += "\uFFFD";
            ++i;
        }
    }
    return out;
}

}  // namespace tsunagi
