#pragma once

// Conversion between the program's UTF-8 text and CP932, the Shift_JIS that Windows writes,
// done with glibc's iconv. Every text file is converted here, once, at the file boundary.

#include <iconv.h>

#include <string>
#include <string_view>

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
    int encode(std::string_view utf8, std::string& out);

  private:
    int encodeRun(std::string_view utf8, std::string& out);

    iconv_t cd_;
};

bool isValidUtf8(std::string_view text);

// Convenience forms for tests and small texts; they throw TsunagiError on invalid input.
std::string cp932ToUtf8(std::string_view bytes);
std::string utf8ToCp932(std::string_view utf8);

}  // namespace tsunagi
