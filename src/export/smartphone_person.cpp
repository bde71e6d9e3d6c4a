#include "export/smartphone_person.h"

#include <algorithm>
#include <cstdio>

#include "card/checks.h"
#include "card/unicode.h"
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

std::uint64_t fnv1a(std::string_view text, std::uint64_t hash) {
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

}  // namespace

const VcardLine* Person::extra(std::string_view name) const {
    for (const VcardLine& line : extras)
        if (line.name == name) return &line;
    return nullptr;
}

std::string Person::extraText(std::string_view name) const {
    const VcardLine* line = extra(name);
    if (!line) return "";
    std::string scratch;
    return std::string(unescapeText(line->value, scratch));
}

const VcardLine* Person::originalNumber(const std::string& number) const {
    std::string key = numberKey(number);
    for (const VcardLine& line : extras)
        if (line.name == "TEL") {
            std::string_view value = line.value;
            if (startsWithIgnoringCase(value, "tel:")) value.remove_prefix(4);
            if (numberKey(value) == key) return &line;
        }
    return nullptr;
}

const VcardLine* Person::originalMail(const std::string& mail) const {
    for (const VcardLine& line : extras)
        if (line.name == "EMAIL" && equalsIgnoringCase(trimBlanks(line.value), trimBlanks(mail)))
            return &line;
    return nullptr;
}

std::string Person::labelOf(const std::string& group) const {
    if (group.empty()) return "";
    for (const VcardLine& line : extras)
        if (line.name == "X-ABLABEL" && line.group == group) {
            std::string scratch;
            return std::string(unescapeText(line.value, scratch));
        }
    return "";
}

Person personOf(const EntryRow& row) {
    CardView card = readCard(row);
    Person person;
    if (card.name) {
        person.wholeName = !contains(*card.name, ";");
        std::tie(person.family, person.given) = familyAndGiven(*card.name);
        if (person.wholeName) person.family = trimBlanks(*card.name);
    }
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
    for (const std::string& extra : row.extras) {
        VcardLine line;
        if (parseVcardLine(extra, line)) person.extras.push_back(std::move(line));
    }
    return person;
}

std::string displayName(const Person& person) {
    if (person.wholeName) return person.family;
    if (!person.family.empty() && !person.given.empty()) {
        if (isJapaneseScript(person.family) || isJapaneseScript(person.given))
            return person.family + person.given;
        return person.given + " " + person.family;
    }
    if (!person.family.empty() || !person.given.empty()) return person.family + person.given;
    if (const VcardLine* org = person.extra("ORG")) {
        std::vector<std::string> parts;
        splitComponents(org->value, ';', parts);
        if (!parts.empty() && !trimBlanks(parts[0]).empty()) return trimBlanks(parts[0]);
    }
    if (!person.numbers.empty()) return trimBlanks(person.numbers.front().value);
    if (!person.mails.empty()) return trimBlanks(person.mails.front().value);
    return "";
}

std::string numberText(const std::string& number) { return trimBlanks(asciiNumber(number)); }

std::string uidOf(const Person& person, const EntryRow& row,
                  std::unordered_map<std::uint64_t, size_t>& seen) {
    if (const VcardLine* uid = person.extra("UID")) return uid->value;
    std::uint64_t a = 0xcbf29ce484222325ULL, b = 0x84222325cbf29ce4ULL;
    for (const std::optional<std::string>& column : row.columns) {
        if (!column) break;
        // The memory-dial number changes with the list; the person does not.
        if (startsWithIgnoringCase(*column, "X-JPG-MDNO:")) continue;
        a = fnv1a(*column, a);
        b = fnv1a(*column, b ^ 0x9e3779b97f4a7c15ULL);
    }
    for (const std::string& extra : row.extras) a = fnv1a(extra, a);
    size_t twin = seen[a]++;
    b ^= twin * 0x9e3779b97f4a7c15ULL;
    char text[64];
    std::snprintf(text, sizeof text, "urn:uuid:%08x-%04x-5%03x-%04x-%012llx",
                  static_cast<unsigned>(a >> 32), static_cast<unsigned>((a >> 16) & 0xFFFF),
                  static_cast<unsigned>(a & 0xFFF),
                  static_cast<unsigned>(0x8000 | ((b >> 48) & 0x3FFF)),
                  static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFULL));
    return text;
}

}  // namespace tsunagi
