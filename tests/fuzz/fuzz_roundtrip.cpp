// A vCard file of any bytes, read, written as vCard 3.0 and read back: what it reads back as
// is written again to the same bytes, so that a person comes through the file unchanged.
#include "fuzz_roundtrip.h"

#include "export/vcard3_writer.h"
#include "import/vcf_import.h"
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
    tsunagi::fuzz::readsBackTheSame(std::string(reinterpret_cast<const char*>(data), size),
                                    readAndWrite,
                                    [](const std::string& written) { return written.empty(); });
    return 0;
}
