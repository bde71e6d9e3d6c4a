// A vCard file of any bytes, read, written as vCard 3.0 and read back: what it reads back as
// is written again to the same bytes, so that a person comes through the file unchanged.
#include <cstdio>
#include <cstdlib>

#include "export/vcard3_writer.h"
#include "import/vcf_import.h"
#include "platform/error.h"
#include "platform/text_file.h"
#include "store/entries.h"

namespace {

// The store's people as vCard 3.0.
std::string asVcard3(const tsunagi::Store& store) {
    tsunagi::Connection connection = store.open();
    tsunagi::StringSink out;
    tsunagi::writeVcard3(tsunagi::storedRows(connection), out);
    return out.text;
}

std::string readAndWrite(const std::string& bytes) {
    tsunagi::Store store = tsunagi::Store::inMemory();
    tsunagi::LineReader lines = tsunagi::LineReader::fromBytes(bytes, "book.vcf");
    tsunagi::importVcfLines(store, lines);
    return asVcard3(store);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string written;
    try {
        written = readAndWrite(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const tsunagi::TsunagiError&) {
        return 0;  // refused: nothing to write
    }
    if (written.empty()) return 0;  // no person in it: an empty file is refused, as it should be
    std::string again;
    try {
        again = readAndWrite(written);
    } catch (const tsunagi::TsunagiError& error) {
        std::fprintf(stderr, "our own vCard 3.0 refused: %s\n", error.what());
        std::abort();
    }
    if (again != written) {
        std::fprintf(stderr, "--- written\n%s\n--- read back and written\n%s\n", written.c_str(),
                     again.c_str());
        std::abort();
    }
    return 0;
}
