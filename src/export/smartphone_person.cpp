#include "export/smartphone_person.h"

#include "card/checks.h"
#include "card/unicode.h"
#include "card/vcard_line.h"
#include "platform/codec.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

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

}  // namespace

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

std::string formattedName(const Person& person) {
    if (person.family.empty()) return person.given;
    if (person.given.empty()) return person.family;
    bool japanese = isJapaneseScript(person.family) && isJapaneseScript(person.given);
    return person.family + (japanese ? "" : " ") + person.given;
}

std::string numberText(const std::string& number) {
    return phoneDigits(number).value_or(trimBlanks(number));
}

}  // namespace tsunagi
