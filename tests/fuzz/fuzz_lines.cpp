// The line reader: any bytes give lines that are valid UTF-8 without CR, or a clean error.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/codec.h"
#include "platform/error.h"
#include "platform/line_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (bool utf8 : {false, true}) {
        tsunagi::LineReader lines = tsunagi::LineReader::fromBytes(bytes, "fuzz.txt", utf8);
        std::string line;
        try {
            while (lines.next(line))
                if (line.find('\r') != std::string::npos || !tsunagi::isValidUtf8(line))
                    std::abort();
        } catch (const tsunagi::TsunagiError&) {
        }
    }
    return 0;
}
