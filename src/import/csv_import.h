#pragma once

// Reading address books in CSV form: one card per data line, built with the model's line
// template. The headings of the first line say which layout the file has: the Japanese one
// that mail programs and our own export write, or those of Google Contacts, Outlook and
// Thunderbird.

#include <optional>
#include <string>
#include <vector>

#include "import/import.h"
#include "platform/line_reader.h"
#include "store/store.h"

namespace tsunagi {

// Takes CSV records out of a file: fields in double quotes follow RFC 4180 (the quotes go, a
// doubled quote is one, commas and line breaks inside stay); other fields split at every comma.
// A file whose first line parts its fields with tabs (Excel's "Unicode text") or semicolons
// (European programs) rather than commas is read with those. A cell Excel wrote as a formula
// to keep its leading zero (="0312345678") is its text.
// A quote left open runs over at most kMaxRecordLines lines and kMaxRecordBytes bytes.
class CsvRecordReader {
  public:
    static constexpr long kMaxRecordLines = 10000;
    static constexpr size_t kMaxRecordBytes = size_t(1) << 20;

    explicit CsvRecordReader(LineReader& lines) : lines_(lines) {}
    bool next(std::vector<std::string>& fields);

  private:
    LineReader& lines_;
    std::string line_;
    char separator_ = 0;  // decided by the first line
};

// What a column of a data line is for.
enum class CsvRole {
    Name,           // the whole name (表示名, Display Name, Name)
    WholeName,      // 氏名: family and given name parted by a blank
    Family,         // 姓, Last Name, Family Name
    Given,          // 名, First Name, Given Name
    ReadingFamily,  // Phonetic Last Name, Family Name Yomi
    ReadingGiven,   // Phonetic First Name, Given Name Yomi
    Reading,        // Yomi Name
    Mail,           // 電子メール アドレス, E-mail Address, Primary Email, …
    MobileMail,     // 携帯メール
    Home,           // 自宅電話番号, Home Phone
    Work,        // 勤務先電話番号, Business Phone, Work Phone (and the Japanese fax column)
    Mobile,      // 携帯電話, Mobile Phone, Mobile Number
    Other,       // other numbers: Other Phone, Fax Number, Pager Number
    PhoneLabel,  // Phone N - Label / Type
    PhoneValue,  // Phone N - Value
    MailLabel,   // E-mail N - Label / Type
    MailValue,   // E-mail N - Value
    Company,     // 会社名, Organization Name, Company, Organization: the name of a business
    FileAs,      // File As: how Google files a contact that has no person's name
};

struct CsvColumn {
    int position;
    CsvRole role;
    int group = 0;  // N of "Phone N - …" and "E-mail N - …"
};

struct CsvLayout {
    std::string name;  // the program that writes it, for messages
    std::vector<CsvColumn> columns;
    // Whether a display name wins over family and given name (the Japanese layout: 表示名 is
    // the name as written, 姓 and 名 its parts); other programs' parts are the phone's form.
    bool wholeNameFirst = false;
    std::vector<std::string> headings;  // as the first line has them
};

// The layout the first line's headings name; nothing when they match no layout we know.
std::optional<CsvLayout> findLayout(const std::vector<std::string>& headings);

// The card of one data line; nothing when it holds no name, number or mail, unless
// `evenNameless`. `lineCounter` becomes the memory-dial number.
std::optional<std::vector<std::string>> csvCard(const std::vector<std::string>& lineTemplate,
                                                const CsvLayout& layout,
                                                const std::vector<std::string>& fields,
                                                long lineCounter, bool evenNameless = false);

// What the user says a column holds, by its heading: "name", "family", "given", "reading",
// "number", "home", "mobile", "work", "mail", "mobile-mail", "company", "title", "address",
// "birthday", "note", "keep" (as it is, for vCard 3.0 and Google), "skip" (left out).
struct ColumnChoice {
    std::string heading;
    std::string field;
};
// The choices, and whether the file's first row is data too (a file without a heading line):
// its columns are then named by position, "1", "2", … (from 1), and shown as 1列目, 2列目, ….
struct CsvAssignment : std::vector<ColumnChoice> {
    using std::vector<ColumnChoice>::vector;
    bool firstRowIsData = false;
};
// "HEADING=FIELD,HEADING=FIELD"; throws TsunagiError naming a field it does not know.
CsvAssignment parseColumnAssignment(std::string_view text);

// A CSV's columns as the column assignment shows them before anything is read: each heading,
// its first values and the field the program guesses; whether the user must choose (no layout
// is known, no column names the person, or a column holds values no field of a person takes).
struct CsvColumnsPreview {
    std::vector<std::string> headings;  // 1列目, 2列目, … where the first row is data
    std::vector<std::string> firstRow;  // the file's first row as it stands
    bool firstRowIsData = false;        // its cells look like values: numbers, mails, dates
    std::vector<std::vector<std::string>> samples;  // up to three values of each column
    std::vector<std::string> guesses;               // a field of ColumnChoice for each
    // What the layout found by the headings reads each column as ("keep" where it reads
    // nothing): a choice equal to it needs no saying; a guess beyond it does.
    std::vector<std::string> read;
    bool needsChoice = false;
};
CsvColumnsPreview previewCsvColumns(const std::string& path);

// Adds a card for every data line of the file, all or nothing. Returns the number of cards;
// the headings of the columns that held values and were not read go into `report`. An
// assignment, where given, decides what its columns hold over the layout found.
long ImportCsvBook(const Store& store, const std::string& path, const ImportProgress& progress = {},
                   ImportReport* report = nullptr, const CsvAssignment* assignment = nullptr);
// The same from lines already open.
long importCsvLines(const Store& store, LineReader& lines, const ImportProgress& progress = {},
                    ImportReport* report = nullptr, const CsvAssignment* assignment = nullptr);

}  // namespace tsunagi
