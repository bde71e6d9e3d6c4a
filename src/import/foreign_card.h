#pragma once

// A card that another program wrote (a smartphone, a mail program, vCard 3.0 or 4.0), turned
// into the phone's dialect: its name, reading, numbers, mails, group and memory-dial number,
// laid out with the model's line template. Everything else it holds is left out and named.

#include <functional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "card/dialect.h"
#include "import/vcard_line.h"

namespace tsunagi {

// Decodes a value's bytes into UTF-8 given the CHARSET it names ("" for the file's own);
// throws TsunagiError naming the line when they are not valid.
using ValueDecoder =
    std::function<std::string(std::string_view bytes, const std::string& charset, long lineNumber)>;

// The fields of a card from its content lines (BEGIN and END excluded). `position` is the
// card's place in its file, the memory-dial number when the card has none. The names of the
// properties that were not taken go into `leftOut`.
CardFields foreignCardFields(std::span<const VcardLine> lines, long position,
                             const ValueDecoder& decode, std::set<std::string>& leftOut);

}  // namespace tsunagi
