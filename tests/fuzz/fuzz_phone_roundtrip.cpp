// A vCard file of any bytes, read and written as the phone's card file (CP932, as the save
// writes it): that file, read back and written again, is the same bytes, so that the phone's
// file goes back and forth between the phone and the program unchanged.
#include "export/phone_card_writer.h"
#include "fuzz_roundtrip.h"
#include "import/vcf_import.h"
#include "platform/codec.h"
#include "platform/text_file.h"
#include "store/entries.h"

namespace {

std::string readAndWrite(const std::string& bytes) {
    tsunagi::Store store = tsunagi::Store::inMemory();
    tsunagi::LineReader lines = tsunagi::LineReader::fromBytes(bytes, "book.vcf");
    tsunagi::importVcfLines(store, lines);
    tsunagi::Connection connection = store.open();
    tsunagi::StringSink out;
    tsunagi::writePhoneCards(tsunagi::storedRows(connection), out);
    std::string written;
    tsunagi::Cp932Encoder().encode(out.text, written);
    return written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    // A CR alone beside lines ended by LF is a line end or a character of the line, as the rest
    // of the file says; the file written has CR LF throughout, which may then say otherwise.
    // Such bytes settle on the second reading, and say nothing of a card.
    for (size_t cr = bytes.find('\r'); cr != std::string::npos; cr = bytes.find('\r', cr + 1))
        if (cr + 1 == bytes.size() || bytes[cr + 1] != '\n') return 0;
    tsunagi::fuzz::readsBackTheSame(bytes, readAndWrite,
                                    [](const std::string& written) { return written.empty(); });
    return 0;
}
