// The exports for today's phones and services: vCard 3.0 in UTF-8 (RFC 2426), and the CSV that
// Google Contacts writes and reads.

#include <algorithm>

#include "card/card_view.h"
#include "card/checks.h"
#include "card/unicode.h"
#include "export/writers.h"
#include "import/vcard_line.h"
#include "platform/codec.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

// A person as today's phones take them: names split, readings in full-width katakana.
struct Person {
    std::string family, given, readingFamily, readingGiven, note;
    std::vector<NumberPiece> numbers;
    std::vector<MailPiece> mails;
};

// "family;given" apart; either may be empty.
std::pair<std::string, std::string> familyAndGiven(const std::string& value) {
    return {trimBlanks(pieceAt(value, ";", 0)), trimBlanks(pieceAt(value, ";", 1))};
}

// The text of a NOTE line: the phone writes it plain, or quoted-printable in Shift_JIS.
std::string noteText(const std::string& line) {
    VcardLine parsed;
    if (!parseVcardLine(line, parsed)) return "";
    if (!parsed.quotedPrintable()) return parsed.value;
    std::string bytes = decodeQuotedPrintable(parsed.value);
    std::string text;
    if (isValidUtf8(bytes)) return bytes;
    if (Cp932Decoder().decode(bytes, text)) return text;
    return parsed.value;
}

Person personOf(const EntryRow& row) {
    CardView card = readCard(row);
    Person person;
    if (card.name) std::tie(person.family, person.given) = familyAndGiven(*card.name);
    person.family = fullWidthKatakana(person.family);
    person.given = fullWidthKatakana(person.given);
    if (card.reading) {
        auto [family, given] = familyAndGiven(*card.reading);
        person.readingFamily = fullWidthKatakana(family);
        person.readingGiven = fullWidthKatakana(given);
    }
    if (card.note) person.note = noteText(*card.note);
    person.numbers = std::move(card.numbers);
    person.mails = std::move(card.mails);
    std::erase_if(person.mails, [](const MailPiece& m) { return trimBlanks(m.value).empty(); });
    std::erase_if(person.numbers, [](const NumberPiece& n) { return trimBlanks(n.value).empty(); });
    return person;
}

// The name as a Japanese name is written: together when both parts are Japanese script.
std::string formattedName(const Person& person) {
    if (person.family.empty()) return person.given;
    if (person.given.empty()) return person.family;
    bool japanese = isJapaneseScript(person.family) && isJapaneseScript(person.given);
    return person.family + (japanese ? "" : " ") + person.given;
}

// A number keeps its digits; one that is no phone number is written as it stands.
std::string numberText(const std::string& number) {
    return phoneDigits(number).value_or(trimBlanks(number));
}

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

const char* numberLabel(NumberClass type) {
    switch (type) {
        case NumberClass::Home:
            return "Home";
        case NumberClass::Cell:
            return "Mobile";
        case NumberClass::Work:
            return "Work";
        case NumberClass::Other:
            break;
    }
    return "Other";
}

}  // namespace

void writeVcard3(const Store& store, TextSink& out) {
    Connection connection = store.open();
    int entry = 0;
    std::string card;
    forEachEntry(connection, [&](const EntryRow& row) {
        out.beginEntry(++entry);
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

void writeGoogleCsv(const Store& store, TextSink& out) {
    static const char* const kFixed =
        "First Name,Middle Name,Last Name,Phonetic First Name,Phonetic Middle Name,Phonetic Last "
        "Name,Name Prefix,Name Suffix,Nickname,File As,Organization Name,Organization "
        "Title,Organization Department,Birthday,Notes,Photo,Labels";
    Connection connection = store.open();
    // As many numbered groups as the widest entry needs, as Google's own export has.
    size_t mailGroups = 0, phoneGroups = 0;
    forEachEntry(connection, [&](const EntryRow& row) {
        Person person = personOf(row);
        mailGroups = std::max(mailGroups, person.mails.size());
        phoneGroups = std::max(phoneGroups, person.numbers.size());
    });
    std::string heading = kFixed;
    for (size_t i = 1; i <= mailGroups; ++i)
        heading +=
            ",E-mail " + std::to_string(i) + " - Label,E-mail " + std::to_string(i) + " - Value";
    for (size_t i = 1; i <= phoneGroups; ++i)
        heading +=
            ",Phone " + std::to_string(i) + " - Label,Phone " + std::to_string(i) + " - Value";
    out.write(heading + "\r\n");

    int entry = 0;
    std::string record;
    forEachEntry(connection, [&](const EntryRow& row) {
        out.beginEntry(++entry);
        Person person = personOf(row);
        record = csvField(person.given) + "," + "," + csvField(person.family) + "," +
                 csvField(person.readingGiven) + ",," + csvField(person.readingFamily) +
                 ",,,,,,,,," + csvField(person.note) + ",,* myContacts";
        for (size_t i = 0; i < mailGroups; ++i) {
            if (i < person.mails.size())
                record += std::string(",") +
                          (person.mails[i].type == MailClass::Cell ? "Mobile" : "Other") + "," +
                          csvField(trimBlanks(person.mails[i].value));
            else
                record += ",,";
        }
        for (size_t i = 0; i < phoneGroups; ++i) {
            if (i < person.numbers.size())
                record += std::string(",") + numberLabel(person.numbers[i].type) + "," +
                          csvField(numberText(person.numbers[i].value));
            else
                record += ",,";
        }
        out.write(record + "\r\n");
    });
}

}  // namespace tsunagi
