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
    return line.substr(0, std::min(line.find_first_of(";:"), line.size()));
}

LineKind classifyLine(std::string_view line) {
    if (contains(line, kBeginLine)) return LineKind::Begin;
    if (contains(line, kEndLine)) return LineKind::End;
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
    while (value.substr(0, kJoin.size()) == kJoin) value.remove_prefix(kJoin.size());
    std::string_view piece = value.substr(0, value.find(kJoin));
    std::string_view name = propertyName(piece);
    if (piece.size() == name.size()) return ColumnKind::Other;
    if (equalsIgnoringCase(name, "TEL")) return ColumnKind::Numbers;
    if (equalsIgnoringCase(name, "EMAIL")) return ColumnKind::Mails;
    return ColumnKind::Other;
}

PieceParts splitPiece(std::string_view piece) {
    return {pieceAt(piece, ":", 0), pieceAt(piece, ":", 1)};
}

std::optional<std::string> nameOfLine(std::string_view line) {
    if (!contains(line, ":")) return std::nullopt;
    PieceParts parts = splitPiece(line);
    if (parts.head != kNameHead) return std::nullopt;
    return parts.value;
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

MailClass classifyMailHead(std::string_view head) {
    if (contains(head, "INTERNET")) return MailClass::Internet;
    if (contains(head, "CELL")) return MailClass::Cell;
    return MailClass::Neither;
}

std::string joinedName(const std::string& family, const std::string& given) {
    if (family.empty()) return given;
    if (given.empty()) return family;
    return family + ";" + given;
}

std::vector<std::string> buildCardColumns(const std::vector<std::string>& lineTemplate,
                                          const CardFields& fields) {
    std::vector<std::string> columns;
    for (const std::string& item : lineTemplate) {
        if (item == kNameItem) {
            if (fields.name) columns.push_back(item + *fields.name);
            if (fields.reading) columns.push_back(std::string(kReadingItem) + *fields.reading);
        } else if (item == kMailItem) {
            if (fields.mails) columns.push_back(*fields.mails);
        } else if (item == kNumberItem) {
            if (fields.numbers) columns.push_back(*fields.numbers);
        } else if (item == kOwnerItem) {
            columns.push_back(item + fields.owner);
        } else if (item == kGroupItem) {
            columns.push_back(item + fields.group);
        } else if (item == kMemoryNumberItem) {
            columns.push_back(item + fields.memoryNumber);
        } else {
            columns.push_back(item);
        }
    }
    return columns;
}

}  // namespace tsunagi
