// An address book of any bytes, read, written as a Google Contacts CSV and read back: what it
// reads back as is written again to the same bytes.
#include <cstdio>
#include <cstdlib>

#include "export/google_csv_writer.h"
#include "import/csv_import.h"
#include "platform/error.h"
#include "platform/text_file.h"
#include "store/entries.h"

namespace {

std::string readAndWrite(const std::string& bytes) {
    tsunagi::Store store = tsunagi::Store::inMemory();
    tsunagi::LineReader lines = tsunagi::LineReader::fromBytes(bytes, "book.csv");
    tsunagi::importCsvLines(store, lines);
    tsunagi::Connection connection = store.open();
    tsunagi::StringSink out;
    tsunagi::writeGoogleCsv(tsunagi::storedRows(connection), out);
    return out.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string written;
    try {
        written = readAndWrite(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const tsunagi::TsunagiError&) {
        return 0;  // refused: nothing to write
    }
    std::string again;
    try {
        again = readAndWrite(written);
    } catch (const tsunagi::TsunagiError& error) {
        // A book of headings alone (no person read) is refused as empty, as it should be.
        if (written.find('\n') + 1 == written.size()) return 0;
        std::fprintf(stderr, "our own Google CSV refused: %s\n", error.what());
        std::abort();
    }
    if (again != written) {
        std::fprintf(stderr, "--- written\n%s\n--- read back and written\n%s\n", written.c_str(),
                     again.c_str());
        std::abort();
    }
    return 0;
}
