// Address books of any bytes: read and stored as the open command does, or refused cleanly.
#include "fuzz_store.h"
#include "import/csv_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tsunagi::LineReader lines = tsunagi::LineReader::fromBytes(
        std::string(reinterpret_cast<const char*>(data), size), "fuzz.csv");
    tsunagi::fuzz::importAllOrNothing(
        [&](const tsunagi::Store& store) { tsunagi::importCsvLines(store, lines); });
    return 0;
}
