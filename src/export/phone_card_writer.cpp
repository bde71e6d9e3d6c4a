#include "export/phone_card_writer.h"

#include "card/checks.h"
#include "card/dialect.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

// The number piece as the phone takes it, its number in digits alone, or nothing when the
// number cannot be dialled so.
std::optional<std::string> phoneNumberPiece(std::string_view piece) {
    size_t first = piece.find(':');
    if (first == std::string_view::npos) return std::nullopt;
    size_t second = piece.find(':', first + 1);
    std::optional<std::string> number = phoneDigits(
        piece.substr(first + 1, second == std::string_view::npos ? second : second - first - 1));
    if (!number) return std::nullopt;
    std::string written(piece.substr(0, first + 1));
    written += *number;
    if (second != std::string_view::npos) written += piece.substr(second);
    return written;
}

}  // namespace

long writePhoneCards(const EntryRows& rows, TextSink& out) {
    long leftOut = 0;
    std::string lines;
    rows.forEach([&](const EntryRow& row, int entryNumber) {
        out.beginEntry(entryNumber);
        lines.clear();
        // All 80 columns: a card from the phone often has more lines than the template.
        for (int p = 0; p < kCardColumns; ++p) {
            const std::string& value = row.at(p);
            if (value.empty()) continue;
            ColumnKind kind = columnKind(value);
            if (kind == ColumnKind::Numbers) {
                forEachPiece(value, [&](std::string_view piece) {
                    if (auto written = phoneNumberPiece(piece))
                        lines.append(*written).append("\r\n");
                    else
                        ++leftOut;
                });
            } else if (kind == ColumnKind::Mails) {
                forEachPiece(value,
                             [&](std::string_view piece) { lines.append(piece).append("\r\n"); });
            } else if (contains(value, kMemoryNumberItem)) {
                lines += std::string(kMemoryNumberItem) + std::to_string(entryNumber) + "\r\n";
            } else {
                lines += value + "\r\n";
            }
        }
        out.write(lines);
    });
    return leftOut;
}

}  // namespace tsunagi
