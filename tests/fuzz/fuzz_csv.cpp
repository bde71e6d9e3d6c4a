// Address books of any bytes: read and stored as the open command does, or refused cleanly.
#include "fuzz_store.h"
#include "import/csv_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    tsunagi::fuzz::importAllOrNothing([&](const tsunagi::Store& store) {
        // Opening reads the whole file for its character set, and may refuse it already.
        tsunagi::LineReader lines = tsunagi::LineReader::fromBytes(bytes, "fuzz.csv");
        tsunagi::importCsvLines(store, lines);
    });
    return 0;
}
