// The line reader: any bytes give lines that are valid UTF-8 without their file's line-end
// character, or a clean error.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/codec.h"
#include "platform/error.h"
#include "platform/line_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string line;
    try {
        tsunagi::LineReader lines = tsunagi::LineReader::fromBytes(bytes, "fuzz.txt");
        const char end = lines.lfLineEnds() ? '\n' : '\r';
        while (lines.next(line))
            if (line.find(end) != std::string::npos || !tsunagi::isValidUtf8(line)) std::abort();
    } catch (const tsunagi::TsunagiError&) {
    }
    return 0;
}
