#pragma once

// Reading address books in CSV form with Japanese headings (as mail programs and our own
// export write them): one card per data line, built with the model's line template.

#include <optional>
#include <string>
#include <vector>

#include "import/import.h"
#include "platform/line_reader.h"
#include "store/store.h"

namespace tsunagi {

// Takes CSV records out of a file: fields in double quotes follow RFC 4180 (the quotes go, a
// doubled quote is one, commas and line breaks inside stay); other fields split at every comma.
class CsvRecordReader {
  public:
    explicit CsvRecordReader(LineReader& lines) : lines_(lines) {}
    bool next(std::vector<std::string>& fields);

  private:
    LineReader& lines_;
};

// The five fields a card is made of, found by the first line's headings.
struct CsvHeadings {
    int name = -1, mail = -1, home = -1, fax = -1, mobile = -1;
};
CsvHeadings findHeadings(const std::vector<std::string>& headings);

// The card of one data line; nothing when all five fields are empty. `lineCounter` becomes
// the memory-dial number.
std::optional<std::vector<std::string>> csvCard(const std::vector<std::string>& lineTemplate,
                                                const CsvHeadings& headings,
                                                const std::vector<std::string>& fields,
                                                long lineCounter);

// Adds a card for every data line of the file, all or nothing. Returns the number of cards.
long ImportCsvBook(const Store& store, const std::string& path,
                   const ImportProgress& progress = {});
// The same from lines already open (a UTF-8 mark must have been allowed when they were opened).
long importCsvLines(const Store& store, LineReader& lines, const ImportProgress& progress = {});

}  // namespace tsunagi
