#pragma once

// Conversion between the program's UTF-8 text and CP932, the Shift_JIS that Windows writes,
// done with glibc's iconv. Every text file is converted here, once, at the file boundary.

#include <iconv.h>

#include <string>
#include <string_view>
#include <utility>

namespace tsunagi {

class Cp932Decoder {
  public:
    Cp932Decoder();
    ~Cp932Decoder();
    Cp932Decoder(const Cp932Decoder&) = delete;
    Cp932Decoder& operator=(const Cp932Decoder&) = delete;

    // Appends the UTF-8 form of `bytes` to `out`; false when the bytes are not valid CP932.
    bool decode(std::string_view bytes, std::string& out);

  private:
    iconv_t cd_;
};

class Cp932Encoder {
  public:
    Cp932Encoder();
    ~Cp932Encoder();
    Cp932Encoder(const Cp932Encoder&) = delete;
    Cp932Encoder& operator=(const Cp932Encoder&) = delete;

    // Appends the CP932 form of `utf8` to `out`. A character that CP932 cannot hold becomes
    // "?", as the Windows conversion wrote it; the result is how many were replaced.
    // A variation selector (U+FE00–FE0F, U+E0100–E01EF: a glyph of 葛 or 辻 asked for) has no
    // place in CP932: it is left out and the character before it written alone, counted apart.
    int encode(std::string_view utf8, std::string& out);
    // How many variation selectors were left out since the last call.
    int takeDroppedSelectors() { return std::exchange(droppedSelectors_, 0); }

  private:
    int encodeRun(std::string_view utf8, std::string& out);

    iconv_t cd_;
    int droppedSelectors_ = 0;
};

bool isValidUtf8(std::string_view text);

// The text with every byte that is no part of a valid UTF-8 sequence replaced by U+FFFD.
std::string utf8WithReplacements(std::string_view bytes);

// Checks UTF-8 that arrives in pieces: a sequence cut at the end of one piece is finished by
// the next.
class Utf8Scan {
  public:
    void feed(std::string_view bytes);
    // Valid so far (a sequence still cut open at the end counts as invalid).
    bool valid() const { return valid_ && pending_.empty(); }
    // Invalid whatever follows.
    bool broken() const { return !valid_; }
    // Whether any character beyond ASCII was seen.
    bool multibyte() const { return multibyte_; }

  private:
    std::string pending_;
    bool valid_ = true;
    bool multibyte_ = false;
};

// Converts `bytes` in the character set `charset` (an iconv name) to UTF-8; false when the
// bytes are not valid in it or iconv does not know the set.
bool convertToUtf8(std::string_view bytes, const char* charset, std::string& out);

// Convenience forms for tests and small texts; they throw TsunagiError on invalid input.
std::string cp932ToUtf8(std::string_view bytes);
std::string utf8ToCp932(std::string_view utf8);

}  // namespace tsunagi
