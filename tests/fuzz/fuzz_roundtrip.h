#pragma once

// What the round-trip fuzz targets check: bytes read and written come out, read back and written
// again, as the same bytes.

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/error.h"

namespace tsunagi::fuzz {

// `readAndWrite` reads a file's bytes into a fresh store and writes the store out; `notReadBack`
// tells a written file that is not read back: one of no person, which reading refuses, as it
// should, or one that the target says reads otherwise by design.
inline void readsBackTheSame(const std::string& bytes,
                             const std::function<std::string(const std::string&)>& readAndWrite,
                             const std::function<bool(const std::string&)>& notReadBack) {
    std::string written;
    try {
        written = readAndWrite(bytes);
    } catch (const TsunagiError&) {
        return;  // refused: nothing to write
    }
    if (notReadBack(written)) return;
    std::string again;
    try {
        again = readAndWrite(written);
    } catch (const TsunagiError& error) {
        std::fprintf(stderr, "our own file refused: %s\n", error.what());
        std::abort();
    }
    if (again != written) {
        std::fprintf(stderr, "--- written\n%s\n--- read back and written\n%s\n", written.c_str(),
                     again.c_str());
        std::abort();
    }
}

}  // namespace tsunagi::fuzz
