// vCard 3.0 in UTF-8 (RFC 2426), for today's phones.

#include "export/vcard3_writer.h"

#include "export/smartphone_person.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

// RFC 2426 text: backslash, comma, semicolon and line breaks escaped.
std::string escaped(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' || c == ',' || c == ';') {
            out += '\\';
            out += c;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

// A content line folded at 75 octets, never inside a UTF-8 sequence; each continuation begins
// with one blank, which counts towards its 75.
void appendFolded(std::string& out, std::string_view line) {
    size_t limit = 75;
    while (line.size() > limit) {
        size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        out.append(line.substr(0, cut)).append("\r\n ");
        line.remove_prefix(cut);
        limit = 74;
    }
    out.append(line).append("\r\n");
}

const char* numberType(NumberClass type) {
    switch (type) {
        case NumberClass::Home:
            return "HOME";
        case NumberClass::Cell:
            return "CELL";
        case NumberClass::Work:
            return "WORK";
        case NumberClass::Other:
            break;
    }
    return "VOICE";
}

}  // namespace

void writeVcard3(const EntryRows& rows, TextSink& out) {
    std::string card;
    rows.forEach([&](const EntryRow& row, int entry) {
        out.beginEntry(entry);
        Person person = personOf(row);
        card = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        appendFolded(card, "N:" + escaped(person.family) + ";" + escaped(person.given) + ";;;");
        appendFolded(card, "FN:" + escaped(formattedName(person)));
        if (!person.readingFamily.empty())
            appendFolded(card, "X-PHONETIC-LAST-NAME:" + escaped(person.readingFamily));
        if (!person.readingGiven.empty())
            appendFolded(card, "X-PHONETIC-FIRST-NAME:" + escaped(person.readingGiven));
        for (const NumberPiece& number : person.numbers)
            appendFolded(card, std::string("TEL;TYPE=") + numberType(number.type) + ":" +
                                   escaped(numberText(number.value)));
        for (const MailPiece& mail : person.mails)
            appendFolded(card, std::string("EMAIL;TYPE=INTERNET") +
                                   (mail.type == MailClass::Cell ? ",CELL" : "") + ":" +
                                   escaped(trimBlanks(mail.value)));
        if (!person.note.empty()) appendFolded(card, "NOTE:" + escaped(person.note));
        card += "END:VCARD\r\n";
        out.write(card);
    });
}

}  // namespace tsunagi
