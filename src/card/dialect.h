#pragma once

// The V401SH's vCard dialect as the whole program reads and writes it: how its lines are
// recognised, how joined values come apart, the type words, and how a card is built from
// separate fields with the model's line template.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tsunagi {

inline constexpr std::string_view kBeginLine = "BEGIN:VCARD";
inline constexpr std::string_view kEndLine = "END:VCARD";
inline constexpr std::string_view kNameItem = "N;CHARSET=SHIFT_JIS:";
// The characters of a name the phone keeps.
inline constexpr size_t kPhoneNameLength = 8;
inline constexpr std::string_view kNameHead = "N;CHARSET=SHIFT_JIS";
inline constexpr std::string_view kReadingItem = "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:";
inline constexpr std::string_view kNumberItem = "TEL;";
inline constexpr std::string_view kMailItem = "EMAIL;";
inline constexpr std::string_view kOwnerItem = "X-JPG-OWNER:";
inline constexpr std::string_view kGroupItem = "X-GNO:";
inline constexpr std::string_view kMemoryNumberItem = "X-JPG-MDNO:";
inline constexpr std::string_view kJoin = "<>";

enum class LineKind { Begin, End, Number, Mail, Property, Continuation };

// The first of these that holds: it holds BEGIN:VCARD, it holds END:VCARD, its property name
// is TEL, its property name is EMAIL, it holds ":", else it is a continuation. A line's
// property name is its text before the first ";" or ":", in any case: "N;CHARSET=SHIFT_JIS:
// HOTEL;OKURA" is a name, not a number.
LineKind classifyLine(std::string_view line);

// Whether the line holds "BEGIN:VCARD" and whether it holds "END:VCARD", anywhere, found in
// one search: both end in ":VCARD".
struct CardWords {
    bool begin = false;
    bool end = false;
};
CardWords cardWordsIn(std::string_view line);
// classifyLine with the line's words already found.
LineKind classifyLine(std::string_view line, CardWords words);

// The text before a line's first ";" or ":" (the whole line when it has neither).
std::string_view propertyName(std::string_view line);

// What a stored column holds, by the property name of its first non-empty piece: number lines,
// mail lines, or any other line.
enum class ColumnKind { Numbers, Mails, Other };
ColumnKind columnKind(std::string_view value);

// Calls `visit(piece)` for each non-empty piece of a joined value, in order ("a<>b" and
// "a<>b<>" alike).
template <typename Visit>
void forEachPiece(std::string_view value, Visit visit) {
    size_t start = 0;
    for (;;) {
        size_t end = value.find(kJoin, start);
        std::string_view piece =
            value.substr(start, end == std::string_view::npos ? end : end - start);
        if (!piece.empty()) visit(piece);
        if (end == std::string_view::npos) return;
        start = end + kJoin.size();
    }
}

// A piece split at ":": the head before the first colon and the value up to the second.
struct PieceParts {
    std::string head;
    std::string value;
    std::string beyond;  // from a second colon on ("" for most pieces)
};
PieceParts splitPiece(std::string_view piece);

// The name of a name line whose head is exactly "N;CHARSET=SHIFT_JIS"; nothing otherwise.
std::optional<std::string> nameOfLine(std::string_view line);

// Type words.
struct TypeWord {
    std::string_view word;         // shown to the user
    std::string_view loadingCode;  // looked for in a stored head by the input form ("" = default)
    std::string_view savingCode;   // written after "TEL;" or "EMAIL;"
};
extern const std::vector<TypeWord> kNumberTypes;  // 電話, 自宅, 携帯, 会社
extern const std::vector<TypeWord> kMailTypes;    // PC, 携帯

// The loose classification the list page, the address book and the workbook use.
enum class NumberClass { Home, Cell, Work, Other };
NumberClass classifyNumberHead(std::string_view head);
std::string_view numberClassWord(NumberClass type);  // 自宅, 携帯, 会社, 電話
// What a number of that class is saved with after "TEL;": "VOICE;HOME:", "CELL:", …
std::string_view numberSavingCode(NumberClass type);
enum class MailClass { Internet, Cell, Neither };
MailClass classifyMailHead(std::string_view head);

// The fields a card is built from. Values are the text after their template item.
struct CardFields {
    std::optional<std::string> name;     // no line when absent
    std::optional<std::string> reading;  // the name's reading, a line right after the name
    std::optional<std::string> numbers;  // the whole value of the number column, "TEL;…<>TEL;…<>"
    std::optional<std::string> mails;    // likewise for the mail column
    std::string owner = "0";
    std::string group = "0";
    std::string memoryNumber;
};

// A name as the phone writes it, "family;given"; either alone when the other is empty; a ";"
// within either escaped ("\\;").
std::string joinedName(std::string_view family, std::string_view given);
// The same, written into `out` in place of what it held.
void joinName(std::string_view family, std::string_view given, std::string& out);

// A stored name ("family;given") as a message shows it: "family given".
std::string shownName(std::string_view stored);

// Walks the template and gives the card's column values in order (column 1 first). Items that
// yield nothing take no column, so later lines move up.
std::vector<std::string> buildCardColumns(const std::vector<std::string>& lineTemplate,
                                          const CardFields& fields);
// The same values written over the first strings of `columns` (added where it is shorter), so
// that a reader building many cards reuses their memory; returns how many there are. Strings
// past that count are left as they were.
size_t buildCardColumns(const std::vector<std::string>& lineTemplate, const CardFields& fields,
                        std::vector<std::string>& columns);

}  // namespace tsunagi
