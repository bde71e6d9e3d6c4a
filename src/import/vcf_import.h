#pragma once

// Reading the phone's vCard backups into the store: one row per card, its lines in order,
// every number line of a card in one column and every mail line in another.

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
    // The next card's column values; false when the file has no more cards. Throws
    // TsunagiError with the line number when a card has more lines than a row has columns.
    bool next(std::vector<std::string>& columns);

private:
    void startCard();
    size_t openColumn(const std::string& line);

    LineReader& lines_;
    std::vector<std::string> current_;
    bool inCard_ = false;
    bool haveNextStart_ = false;
    std::string nextStart_;
    long numberColumn_ = -1;
    long mailColumn_ = -1;
    long lastColumn_ = -1;
};

// Adds every card of the file to the store, all or nothing. Returns the number of cards.
long importVcfFile(const Store& store, const std::string& path, const ImportProgress& progress = {});

}  // namespace tsunagi
