// An address book of any bytes, read, written as a Google Contacts CSV and read back: what it
// reads back as is written again to the same bytes.
#include "export/google_csv_writer.h"
#include "fuzz_roundtrip.h"
#include "import/csv_import.h"
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
    // A book of headings alone, no person read, is refused as empty.
    tsunagi::fuzz::readsBackTheSame(
        std::string(reinterpret_cast<const char*>(data), size), readAndWrite,
        [](const std::string& written) { return written.find('\n') + 1 == written.size(); });
    return 0;
}
