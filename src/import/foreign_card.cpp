#include "import/foreign_card.h"

#include <algorithm>

#include "platform/text.h"

namespace tsunagi {

namespace {

// The properties whose values become lines of the phone's card, and those that carry nothing
// the card could lose.
bool taken(std::string_view name) {
    static constexpr std::string_view kTaken[] = {"TEL",
                                                  "EMAIL",
                                                  "N",
                                                  "FN",
                                                  "VERSION",
                                                  "SOUND",
                                                  "X-PHONETIC-LAST-NAME",
                                                  "X-PHONETIC-FIRST-NAME",
                                                  "SORT-STRING",
                                                  "X-GNO",
                                                  "X-JPG-MDNO",
                                                  "X-JPG-OWNER",
                                                  "BEGIN",
                                                  "END"};
    for (std::string_view known : kTaken)
        if (name == known) return true;
    return false;
}

std::string trimmed(std::string text) {
    text = trimBlanks(text);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == '\t'))
        text.pop_back();
    return text;
}

std::string typedNumber(const VcardLine& line, const std::string& number) {
    const char* code = "VOICE:";
    if (line.hasType("HOME"))
        code = "VOICE;HOME:";
    else if (line.hasType("CELL"))
        code = "CELL:";
    else if (line.hasType("WORK"))
        code = "VOICE;WORK:";
    return std::string(kNumberItem) + code + number + std::string(kJoin);
}

// A tel: URI (vCard 4.0) gives its number without the scheme and its parameters.
std::string numberOf(std::string value) {
    value = trimmed(value);
    if (value.size() >= 4 &&
        (value.compare(0, 4, "tel:") == 0 || value.compare(0, 4, "TEL:") == 0)) {
        value.erase(0, 4);
        value = value.substr(0, value.find(';'));
    }
    return trimmed(value);
}

}  // namespace

CardFields foreignCardFields(std::span<const VcardLine> lines, long position,
                             const ValueDecoder& decode, std::set<std::string>& leftOut) {
    auto text = [&](const VcardLine& line) {
        std::string bytes = line.quotedPrintable() ? decodeQuotedPrintable(line.value) : line.value;
        return decode(bytes, line.parameter("CHARSET").value_or(""), line.lineNumber);
    };

    CardFields fields;
    std::string name, formatted, sound, phoneticLast, phoneticFirst, sortAs, sortString;
    std::string numbers, mails;
    std::optional<std::string> memoryNumber, group;
    for (const VcardLine& line : lines) {
        const std::string& property = line.name;
        if (!taken(property)) {
            if (!leftOut.count(property)) leftOut.insert(property);
            continue;
        }
        if (property == "N") {
            std::vector<std::string> parts = splitComponents(text(line), ';');
            parts.resize(std::max<size_t>(parts.size(), 2));
            name = joinedName(trimmed(parts[0]), trimmed(parts[1]));
            if (auto sort = line.parameter("SORT-AS")) {
                std::vector<std::string> sortParts = splitComponents(*sort, ',');
                sortParts.resize(std::max<size_t>(sortParts.size(), 2));
                sortAs = joinedName(trimmed(sortParts[0]), trimmed(sortParts[1]));
            }
        } else if (property == "FN") {
            formatted = trimmed(unescapeText(text(line)));
        } else if (property == "SOUND") {
            // Japanese phones write the reading of the name as SOUND;X-IRMC-N.
            if (line.hasType("X-IRMC-N")) {
                std::vector<std::string> parts = splitComponents(text(line), ';');
                parts.resize(std::max<size_t>(parts.size(), 2));
                sound = joinedName(trimmed(parts[0]), trimmed(parts[1]));
            } else {
                leftOut.insert(property);
            }
        } else if (property == "X-PHONETIC-LAST-NAME") {
            phoneticLast = trimmed(unescapeText(text(line)));
        } else if (property == "X-PHONETIC-FIRST-NAME") {
            phoneticFirst = trimmed(unescapeText(text(line)));
        } else if (property == "SORT-STRING") {
            sortString = trimmed(unescapeText(text(line)));
        } else if (property == "TEL") {
            std::string number = numberOf(unescapeText(text(line)));
            if (!number.empty()) numbers += typedNumber(line, number);
        } else if (property == "EMAIL") {
            std::string mail = trimmed(unescapeText(text(line)));
            if (!mail.empty())
                mails += std::string(kMailItem) + (line.hasType("CELL") ? "CELL:" : "INTERNET:") +
                         mail + std::string(kJoin);
        } else if (property == "X-GNO") {
            group = trimmed(text(line));
        } else if (property == "X-JPG-MDNO") {
            memoryNumber = trimmed(text(line));
        }
    }

    if (name.empty()) name = formatted;
    if (!name.empty()) fields.name = name;
    std::string reading = sound;
    if (reading.empty()) reading = joinedName(phoneticLast, phoneticFirst);
    if (reading.empty()) reading = sortAs;
    if (reading.empty()) reading = sortString;
    if (!reading.empty()) fields.reading = reading;
    if (!numbers.empty()) fields.numbers = numbers;
    if (!mails.empty()) fields.mails = mails;
    if (group && !group->empty()) fields.group = *group;
    fields.memoryNumber =
        memoryNumber && !memoryNumber->empty() ? *memoryNumber : std::to_string(position);
    return fields;
}

}  // namespace tsunagi
