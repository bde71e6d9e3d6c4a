#pragma once

// One reading of a stored row, shared by every writer that lays out fields (the address book,
// the list page, the workbook) and by the input form: the name, the number and mail pieces
// with their classes, the memory-dial number, the reading and the note.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "card/dialect.h"
#include "store/entries.h"

namespace tsunagi {

// The columns the address book, the list page and the workbook read: "1" to "51".
inline constexpr int kListedColumns = 51;

// One number or mail piece: "TEL;VOICE;HOME:0312345678" has the head "TEL;VOICE;HOME" and
// the value "0312345678". `slot` is the piece's place in its joined value, counted from 0 with
// empty pieces counted too, so the first three slots are the three boxes a card shows.
struct CardPiece {
    std::string head;
    std::string value;
    size_t slot = 0;
    // What follows a second colon, with it ("" for most): the card shows the value up to it,
    // but a piece copied to another entry goes whole.
    std::string beyond;
};

struct NumberPiece : CardPiece {
    NumberClass type = NumberClass::Other;
};

struct MailPiece : CardPiece {
    MailClass type = MailClass::Neither;
};

struct CardView {
    std::optional<std::string> name;          // the value of the last name line
    std::vector<NumberPiece> numbers;         // every piece of every number column, in column order
    std::vector<MailPiece> mails;             // likewise for mail columns
    std::optional<std::string> memoryNumber;  // the text after "X-JPG-MDNO:"
    std::optional<std::string> reading;       // the value of the SOUND;X-IRMC-N line
    std::optional<std::string> note;          // the NOTE line whole, continuation lines and all
};

// Reads columns 1 to `columns` of a row. A column is a number column when it holds "TEL;",
// else a mail column when it holds "EMAIL;", else the name when it is a name line. Pieces
// without a colon carry nothing and are left out. Where `pieces` is false, the numbers and
// the mails are not taken apart (for a caller that wants the rest alone).
CardView readCard(const EntryRow& row, int columns = kCardColumns, bool pieces = true);

}  // namespace tsunagi
