#pragma once

// Reading the phone's vCard backups into the store: one row per card, its lines in order,
// every number line of a card in one column and every mail line in another.

#include <span>
#include <string>
#include <vector>

#include "import/import.h"
#include "platform/line_reader.h"
#include "store/store.h"

namespace tsunagi {

// Takes cards out of a file one after another, in the row form.
class VcfCardReader {
  public:
    explicit VcfCardReader(LineReader& lines) : lines_(lines) {}
    // Moves to the next card; false when the file has no more. Throws TsunagiError with the
    // line number when a card has more lines than a row has columns, and with the line of its
    // BEGIN when a card has no END:VCARD before the next card or the end of the file.
    bool next();
    // The card's column values, valid until the next call of next().
    std::span<const std::string> card() const { return {columns_.data(), used_}; }

  private:
    void startCard();
    size_t openColumn(const std::string& line);
    [[noreturn]] void unclosedCard() const;

    LineReader& lines_;
    // Column strings are kept from card to card so that their memory is reused.
    std::vector<std::string> columns_;
    size_t used_ = 0;
    bool inCard_ = false;
    long beginLine_ = 0;
    std::string line_;
    long numberColumn_ = -1;
    long mailColumn_ = -1;
    long lastColumn_ = -1;
};

// Adds every card of the file to the store, all or nothing. Returns the number of cards.
long importVcfFile(const Store& store, const std::string& path,
                   const ImportProgress& progress = {});
// The same from lines already open.
long importVcfLines(const Store& store, LineReader& lines, const ImportProgress& progress = {});

}  // namespace tsunagi
