#include "card/dialect.h"

#include <algorithm>
#include <cctype>

#include "platform/text.h"

namespace tsunagi {

const std::vector<TypeWord> kNumberTypes = {
    {"電話", "", "VOICE:"},
    {"自宅", "VOICE;HOME", "VOICE;HOME:"},
    {"携帯", "CELL", "CELL:"},
    {"会社", "VOICE;WORK", "VOICE;WORK:"},
};

const std::vector<TypeWord> kMailTypes = {
    {"PC", "", "INTERNET:"},
    {"携帯", "CELL", "CELL:"},
};

namespace {}  // namespace

std::string_view propertyName(std::string_view line) {
    size_t end = 0;
    while (end < line.size() && line[end] != ';' && line[end] != ':') ++end;
    return line.substr(0, end);
}

CardWords cardWordsIn(std::string_view line) {
    constexpr std::string_view kTail = ":VCARD";
    static_assert(kBeginLine.ends_with(kTail) && kEndLine.ends_with(kTail));
    constexpr size_t kBeginHead = kBeginLine.size() - kTail.size(),
                     kEndHead = kEndLine.size() - kTail.size();
    CardWords words;
    for (size_t at = line.find(kTail); at != std::string_view::npos;
         at = line.find(kTail, at + 1)) {
        words.begin =
            words.begin || (at >= kBeginHead && line.substr(at - kBeginHead, kBeginHead) ==
                                                    kBeginLine.substr(0, kBeginHead));
        words.end = words.end || (at >= kEndHead && line.substr(at - kEndHead, kEndHead) ==
                                                        kEndLine.substr(0, kEndHead));
    }
    return words;
}

LineKind classifyLine(std::string_view line) { return classifyLine(line, cardWordsIn(line)); }

LineKind classifyLine(std::string_view line, CardWords words) {
    if (words.begin) return LineKind::Begin;
    if (words.end) return LineKind::End;
    size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
        std::string_view name = propertyName(line);
        if (equalsIgnoringCase(name, "TEL")) return LineKind::Number;
        if (equalsIgnoringCase(name, "EMAIL")) return LineKind::Mail;
        return LineKind::Property;
    }
    return LineKind::Continuation;
}

ColumnKind columnKind(std::string_view value) {
    // The first non-empty piece: empty pieces come before it in values like "<>TEL;…".
    while (!value.empty() && value[0] == kJoin[0] && value.substr(0, kJoin.size()) == kJoin)
        value.remove_prefix(kJoin.size());
    // Most lines are neither, as their first letter says.
    char first = value.empty() ? '\0' : static_cast<char>(value[0] | 0x20);
    if (first != 't' && first != 'e') return ColumnKind::Other;
    // Its property name ends at ";" or ":"; a piece without either is no property line.
    size_t end = 0;
    while (end < value.size() && value[end] != ';' && value[end] != ':') {
        if (value[end] == kJoin[0] && value.substr(end, kJoin.size()) == kJoin)
            return ColumnKind::Other;
        ++end;
    }
    if (end == value.size()) return ColumnKind::Other;
    std::string_view name = value.substr(0, end);
    if (equalsIgnoringCase(name, "TEL")) return ColumnKind::Numbers;
    if (equalsIgnoringCase(name, "EMAIL")) return ColumnKind::Mails;
    return ColumnKind::Other;
}

PieceParts splitPiece(std::string_view piece) {
    PieceParts parts{pieceAt(piece, ":", 0), pieceAt(piece, ":", 1), {}};
    if (size_t colon = piece.find(':'); colon != std::string_view::npos)
        if (size_t second = piece.find(':', colon + 1); second != std::string_view::npos)
            parts.beyond = piece.substr(second);
    return parts;
}

std::optional<std::string> nameOfLine(std::string_view line) {
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || line.substr(0, colon) != kNameHead) return std::nullopt;
    // The value up to a second colon, as splitPiece takes it.
    size_t next = line.find(':', colon + 1);
    return std::string(
        line.substr(colon + 1, next == std::string_view::npos ? next : next - colon - 1));
}

NumberClass classifyNumberHead(std::string_view head) {
    if (contains(head, "HOME")) return NumberClass::Home;
    if (contains(head, "CELL")) return NumberClass::Cell;
    if (contains(head, "WORK")) return NumberClass::Work;
    return NumberClass::Other;
}

std::string_view numberClassWord(NumberClass type) {
    switch (type) {
        case NumberClass::Home:
            return "自宅";
        case NumberClass::Cell:
            return "携帯";
        case NumberClass::Work:
            return "会社";
        case NumberClass::Other:
            break;
    }
    return "電話";
}

std::string_view numberSavingCode(NumberClass type) {
    for (const TypeWord& number : kNumberTypes)
        if (number.word == numberClassWord(type)) return number.savingCode;
    return kNumberTypes[0].savingCode;
}

MailClass classifyMailHead(std::string_view head) {
    if (contains(head, "INTERNET")) return MailClass::Internet;
    if (contains(head, "CELL")) return MailClass::Cell;
    return MailClass::Neither;
}

std::string joinedName(std::string_view family, std::string_view given) {
    std::string name;
    joinName(family, given, name);
    return name;
}

void joinName(std::string_view family, std::string_view given, std::string& out) {
    // A ";" within a part is escaped, as vCard 2.1 writes it, so that the part stays whole.
    auto append = [&out](std::string_view part) {
        for (size_t at = 0;;) {
            size_t semicolon = part.find(';', at);
            out.append(part.substr(at, semicolon - at));
            if (semicolon == std::string_view::npos) return;
            out.append("\\;");
            at = semicolon + 1;
        }
    };
    out.clear();
    append(family.empty() ? given : family);
    if (!family.empty() && !given.empty()) {
        out.push_back(';');
        append(given);
    }
}

size_t buildCardColumns(const std::vector<std::string>& lineTemplate, const CardFields& fields,
                        std::vector<std::string>& columns) {
    size_t count = 0;
    auto column = [&](std::string_view head, std::string_view value) {
        if (count == columns.size()) columns.emplace_back();
        columns[count++].assign(head).append(value);
    };
    for (const std::string& item : lineTemplate) {
        if (item == kNameItem) {
            if (fields.name) column(item, *fields.name);
            if (fields.reading) column(kReadingItem, *fields.reading);
        } else if (item == kMailItem) {
            if (fields.mails) column(*fields.mails, "");
        } else if (item == kNumberItem) {
            if (fields.numbers) column(*fields.numbers, "");
        } else if (item == kOwnerItem) {
            column(item, fields.owner);
        } else if (item == kGroupItem) {
            column(item, fields.group);
        } else if (item == kMemoryNumberItem) {
            column(item, fields.memoryNumber);
        } else {
            column(item, "");
        }
    }
    return count;
}

std::vector<std::string> buildCardColumns(const std::vector<std::string>& lineTemplate,
                                          const CardFields& fields) {
    std::vector<std::string> columns;
    columns.resize(buildCardColumns(lineTemplate, fields, columns));
    return columns;
}

std::string shownName(std::string_view stored) {
    // Family and given apart at the first ";" that is not escaped ("\;" is the part's own).
    std::string parts[2];
    size_t part = 0;
    for (size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\\' && i + 1 < stored.size() && stored[i + 1] == ';') {
            parts[part] += ';';
            ++i;
        } else if (stored[i] == ';') {
            if (++part == 2) break;
        } else if (stored[i] == '\r' || stored[i] == '\n') {
            // A name of two lines (another program's) is shown on one: CR LF is one blank.
            if (stored[i] == '\n' || i + 1 == stored.size() || stored[i + 1] != '\n')
                parts[part] += ' ';
        } else {
            parts[part] += stored[i];
        }
    }
    std::string family = trimBlanks(parts[0]), given = trimBlanks(parts[1]);
    if (family.empty() || given.empty()) return family + given;
    return family + " " + given;
}

}  // namespace tsunagi
