// A vCard file of any bytes, read and written as the phone's card file (CP932, as the save
// writes it): that file, read back and written again, is the same bytes, so that the phone's
// file goes back and forth between the phone and the program unchanged.
#include <algorithm>
#include <array>
#include <string_view>

#include "export/phone_card_writer.h"
#include "fuzz_roundtrip.h"
#include "import/vcf_import.h"
#include "platform/codec.h"
#include "platform/text_file.h"
#include "store/entries.h"

namespace {

// The lines of a card the import reads: a name, a number or a mail.
constexpr std::array<std::string_view, 4> kHeld{"\nN;", "\nN:", "\nTEL", "\nEMAIL"};

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
    // A file of CP932 bytes that are valid UTF-8 too is read as UTF-8, as a file the user
    // saved from an editor is: such bytes are no file the phone writes.
    // A card left with no name, number or mail (its numbers none the phone dials, which the
    // save names) is not read back, and the import says so.
    auto notReadBack = [](const std::string& written) {
        bool ascii = std::all_of(written.begin(), written.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (written.empty() || (!ascii && tsunagi::isValidUtf8(written))) return true;
        for (size_t begin = written.find("BEGIN:VCARD"); begin != std::string::npos;) {
            size_t next = written.find("BEGIN:VCARD", begin + 1);
            std::string_view card = std::string_view(written).substr(begin, next - begin);
            if (!std::any_of(kHeld.begin(), kHeld.end(), [card](std::string_view line) {
                    return card.find(line) != std::string_view::npos;
                }))
                return true;
            begin = next;
        }
        return false;
    };
    tsunagi::fuzz::readsBackTheSame(bytes, readAndWrite, notReadBack);
    return 0;
}
