#include "export/phone_card_writer.h"

#include "card/card_view.h"
#include "card/checks.h"
#include "card/dialect.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

// The number piece as the phone takes it, its number in digits alone, or nothing when the
// number cannot be dialled so. The phone has no place for an extension: it goes, and
// `extensionLeftOut` says so.
std::optional<std::string> phoneNumberPiece(std::string_view piece, bool& extensionLeftOut) {
    extensionLeftOut = false;
    size_t first = piece.find(':');
    if (first == std::string_view::npos) return std::nullopt;
    size_t second = piece.find(':', first + 1);
    NumberParts parts = splitExtension(
        piece.substr(first + 1, second == std::string_view::npos ? second : second - first - 1));
    std::optional<std::string> number = phoneDigits(parts.main);
    if (!number) return std::nullopt;
    extensionLeftOut = !parts.extension.empty();
    std::string written(piece.substr(0, first + 1));
    written += *number;
    if (second != std::string_view::npos) written += piece.substr(second);
    return written;
}

// Whether a line's property says its value is quoted-printable, whose lines continue after a
// "=" at their end.
bool declaresQuotedPrintable(std::string_view line) {
    return contains(upperAscii(line.substr(0, line.find(':'))), "QUOTED-PRINTABLE");
}

// Appends `line`, writing as a blank each line break inside it that would not read back as
// the same break: a CR or an LF alone, which is no line end of the phone's, and a CR LF that
// neither continues a quoted-printable value (a "=" before it) nor goes on into a line the
// phone reads as the one before continued (text without a colon: see classifyLine). The
// phone's own lines continue only so; another program's name of two lines ("Smith: Jr" on
// the second) would end the line half-way. Returns how many breaks became blanks.
long appendOneLine(std::string_view line, std::string& lines) {
    if (line.find('\n') == std::string_view::npos && line.find('\r') == std::string_view::npos) {
        lines.append(line);
        return 0;
    }
    long blanks = 0;
    std::optional<bool> quotedPrintable;
    for (size_t at = 0; at < line.size(); ++at) {
        char c = line[at];
        if (c != '\r' && c != '\n') {
            lines.push_back(c);
            continue;
        }
        if (c == '\r' && at + 1 < line.size() && line[at + 1] == '\n') {
            std::string_view next = line.substr(at + 2);
            next = next.substr(0, next.find_first_of("\r\n"));
            bool continues =
                !next.empty() &&
                ((at > 0 && line[at - 1] == '=' &&
                  (quotedPrintable ? *quotedPrintable
                                   : *(quotedPrintable = declaresQuotedPrintable(line)))) ||
                 (next[0] != ' ' && next[0] != '\t' &&
                  classifyLine(next) == LineKind::Continuation));
            ++at;  // the pair is one break
            if (continues) {
                lines.append("\r\n");
                continue;
            }
        }
        lines.push_back(' ');
        ++blanks;
    }
    return blanks;
}

}  // namespace

std::string entryName(const EntryRow& row) {
    CardView card = readCard(row);
    return card.name ? shownName(*card.name) : "";
}

LeftOutNumbers writePhoneCards(const EntryRows& rows, TextSink& out) {
    LeftOutNumbers leftOut;
    std::string lines;
    rows.forEach([&](const EntryRow& row, int entryNumber) {
        out.beginEntry(entryNumber);
        lines.clear();
        // Each entry is named once, however many of its lines left a number out.
        const long countBefore = leftOut.count, extensionsBefore = leftOut.extensions,
                   cardWordsBefore = leftOut.cardWords, lineBreaksBefore = leftOut.lineBreaks;
        // All the columns the card uses, up to 80: a card from the phone often has more lines
        // than the template. The store keeps a card's lines in the first columns and leaves
        // the rest null, so the first null ends the card and the rest of the row is not read.
        for (int p = 0; p < kCardColumns; ++p) {
            if (p >= static_cast<int>(row.columns.size()) || !row.columns[p]) break;
            const std::string& value = *row.columns[p];
            if (value.empty()) continue;
            ColumnKind kind = columnKind(value);
            size_t start = lines.size();
            bool last = p + 1 >= static_cast<int>(row.columns.size()) || !row.columns[p + 1];
            // Within the card, a line that holds BEGIN:VCARD or END:VCARD would end it there or
            // begin another (a mail of another program's card, "EMAIL:x END:VCARD"): the
            // phone's file cannot hold it. A number or a mail goes alone; any other line
            // whole, with the lines it continues on.
            auto put = [&](std::string_view line) {
                if (p > 0 && !last) {
                    CardWords words = cardWordsIn(line);
                    if (words.begin || words.end) {
                        ++leftOut.cardWords;
                        return;
                    }
                }
                leftOut.lineBreaks += appendOneLine(line, lines);
                lines.append("\r\n");
            };
            if (kind == ColumnKind::Numbers) {
                forEachPiece(value, [&](std::string_view piece) {
                    // The phone's own numbers are digits already: written as they stand.
                    if (size_t colon = piece.find(':'); colon != std::string_view::npos) {
                        std::string_view number = piece.substr(colon + 1);
                        if (number.size() < 24 && IsAllDigits(number).value_or(false)) {
                            put(piece);
                            return;
                        }
                    }
                    bool extension = false;
                    if (auto written = phoneNumberPiece(piece, extension))
                        put(*written);
                    else if (!trimBlanks(pieceAt(piece, ":", 1)).empty())
                        ++leftOut.count;  // an empty "TEL;HOME:" held no number to leave out
                    if (extension) ++leftOut.extensions;
                });
            } else if (kind == ColumnKind::Mails) {
                forEachPiece(value, put);
            } else if (contains(value, kMemoryNumberItem)) {
                lines.append(kMemoryNumberItem).append(std::to_string(entryNumber)).append("\r\n");
            } else {
                put(value);
            }
            // The lines a card begins and ends in, written otherwise ("TEL:END:VCARD", which
            // no phone dials), still begin and end it: else the phone would read the card into
            // the one before or the next into it.
            CardWords said = cardWordsIn(value),
                      written = cardWordsIn(std::string_view(lines).substr(start));
            if (p == 0 && said.begin && !written.begin) lines.insert(start, "BEGIN:VCARD\r\n");
            if (last && said.end && !written.end) lines.append("END:VCARD\r\n");
        }
        if (leftOut.count > countBefore) leftOut.entries.push_back(entryName(row));
        if (leftOut.extensions > extensionsBefore)
            leftOut.extensionEntries.push_back(entryName(row));
        if (leftOut.cardWords > cardWordsBefore) leftOut.cardWordEntries.push_back(entryName(row));
        if (leftOut.lineBreaks > lineBreaksBefore)
            leftOut.lineBreakEntries.push_back(entryName(row));
        out.write(lines);
    });
    return leftOut;
}

}  // namespace tsunagi
