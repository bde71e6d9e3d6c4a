#include "card/card_view.h"

#include "platform/text.h"

namespace tsunagi {

namespace {

// Calls `visit(slot, parts)` for every piece of a joined value that holds a colon.
template <typename Visit>
void forEachPieceWithSlot(std::string_view value, Visit visit) {
    size_t start = 0;
    for (size_t slot = 0;; ++slot) {
        size_t end = value.find(kJoin, start);
        std::string_view piece =
            value.substr(start, end == std::string_view::npos ? end : end - start);
        if (piece.find(':') != std::string_view::npos) visit(slot, splitPiece(piece));
        if (end == std::string_view::npos) return;
        start = end + kJoin.size();
    }
}

template <typename Piece, typename Classify>
Piece classified(size_t slot, PieceParts parts, Classify classify) {
    Piece piece;
    piece.type = classify(parts.head);
    piece.head = std::move(parts.head);
    piece.value = std::move(parts.value);
    piece.slot = slot;
    piece.beyond = std::move(parts.beyond);
    return piece;
}

}  // namespace

CardView readCard(const EntryRow& row, int columns, bool pieces) {
    CardView card;
    for (int p = 0; p < columns; ++p) {
        const std::string& value = row.at(p);
        if (value.empty()) continue;
        ColumnKind kind = columnKind(value);
        if (!pieces && (kind == ColumnKind::Numbers || kind == ColumnKind::Mails)) continue;
        if (kind == ColumnKind::Numbers) {
            forEachPieceWithSlot(value, [&](size_t slot, PieceParts parts) {
                card.numbers.push_back(
                    classified<NumberPiece>(slot, std::move(parts), classifyNumberHead));
            });
        } else if (kind == ColumnKind::Mails) {
            forEachPieceWithSlot(value, [&](size_t slot, PieceParts parts) {
                card.mails.push_back(
                    classified<MailPiece>(slot, std::move(parts), classifyMailHead));
            });
        } else if (auto name = nameOfLine(value)) {
            card.name = std::move(*name);
        } else {
            if (contains(value, kMemoryNumberItem)) card.memoryNumber = pieceAt(value, ":", 1);
            std::string_view property = propertyName(value);
            if (property == "SOUND" && value.compare(0, 14, "SOUND;X-IRMC-N") == 0)
                card.reading = value.substr(value.find(':') + 1);
            if (property == "NOTE" && !card.note) card.note = value;
        }
    }
    return card;
}

}  // namespace tsunagi
