// A vCard file of any bytes, read and written as the phone's card file (CP932, as the save
// writes it): that file is read back without a refusal, and written again it is the same
// bytes, so that the phone's file goes back and forth between the phone and the program
// unchanged. Where the save left a number or a line out (and named it), what it wrote may read
// otherwise, but still reads.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "export/phone_card_writer.h"
#include "import/vcf_import.h"
#include "platform/codec.h"
#include "platform/error.h"
#include "platform/text_file.h"
#include "store/entries.h"

namespace {

// The phone's name line, at the start of a line.
constexpr const char* kNameLine = "\nN;CHARSET=SHIFT_JIS:";

struct Written {
    std::string bytes;
    // Numbers the phone cannot dial, and lines holding the words of a card's edges: left out.
    long leftOut = 0;
};

Written readAndWrite(const std::string& bytes) {
    tsunagi::Store store = tsunagi::Store::inMemory();
    tsunagi::LineReader lines = tsunagi::LineReader::fromBytes(bytes, "book.vcf");
    tsunagi::importVcfLines(store, lines);
    tsunagi::Connection connection = store.open();
    tsunagi::StringSink out;
    Written written;
    tsunagi::LeftOutNumbers leftOut =
        tsunagi::writePhoneCards(tsunagi::storedRows(connection), out);
    written.leftOut = leftOut.count + leftOut.cardWords;
    tsunagi::Cp932Encoder().encode(out.text, written.bytes);
    return written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    // A CR or an LF alone beside lines ended by CR LF is a line end or a character of the
    // line, as the rest of the file says; the file written has CR LF throughout, which may
    // then say otherwise. Such bytes settle on the second reading, and say nothing of a card:
    // a file's lines end in one way here, CR LF or LF.
    bool crlf = false, lf = false;
    for (size_t at = 0; at < bytes.size(); ++at) {
        if (bytes[at] == '\r' && (at + 1 == bytes.size() || bytes[at + 1] != '\n')) return 0;
        if (bytes[at] == '\n') (at > 0 && bytes[at - 1] == '\r' ? crlf : lf) = true;
    }
    if (crlf && lf) return 0;
    Written written;
    try {
        written = readAndWrite(bytes);
    } catch (const tsunagi::TsunagiError&) {
        return 0;  // refused: nothing to write
    }
    // A file of CP932 bytes that are valid UTF-8 too is read as UTF-8, as a file the user
    // saved from an editor is: such bytes are no file the phone writes.
    bool ascii = std::all_of(written.bytes.begin(), written.bytes.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (written.bytes.empty() || (!ascii && tsunagi::isValidUtf8(written.bytes))) return 0;
    Written again;
    try {
        again = readAndWrite(written.bytes);
    } catch (const tsunagi::TsunagiError& error) {
        // A card whose every line of the phone's own went with a line left out ("TEL:" and
        // its continued "X-JPG-") is read by other programs' rules, which may refuse it.
        std::string lines = "\n" + written.bytes;
        bool phones = true;
        for (size_t begin = lines.find("BEGIN:VCARD"); begin != std::string::npos;) {
            size_t next = lines.find("BEGIN:VCARD", begin + 1);
            std::string_view card = std::string_view(lines).substr(begin, next - begin);
            phones = phones && (card.find(kNameLine) != std::string_view::npos ||
                                card.find("\nX-JPG-") != std::string_view::npos);
            begin = next;
        }
        if (written.leftOut > 0 && !phones) return 0;
        std::fprintf(stderr, "our own file refused: %s\n--- written\n%s\n", error.what(),
                     written.bytes.c_str());
        std::abort();
    }
    // Where a number or a line was left out, the card may read otherwise, but no name is lost.
    auto names = [](const std::string& bytes) {
        std::string lines = "\n" + bytes;
        size_t count = 0;
        for (size_t at = lines.find(kNameLine); at != std::string::npos;
             at = lines.find(kNameLine, at + 1))
            ++count;
        return count;
    };
    // A line break within a value of another program's card (a name broken over two lines) is
    // a blank in the phone's file: it reads back as it was written.
    if (written.leftOut == 0 ? again.bytes != written.bytes
                             : names(again.bytes) < names(written.bytes)) {
        std::fprintf(stderr, "--- written\n%s\n--- read back and written\n%s\n",
                     written.bytes.c_str(), again.bytes.c_str());
        std::abort();
    }
    return 0;
}
