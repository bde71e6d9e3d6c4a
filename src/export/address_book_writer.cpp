#include "export/address_book_writer.h"

#include <algorithm>

#include "card/card_view.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

const char* const kCsvHeading =
    "名, 姓, ミドル ネーム, 表示名, ニックネーム, 電子メール アドレス, 自宅の番地, 自宅の市区町村, "
    "自宅の郵便番号, 自宅の都道府県, 国または地域, 自宅電話番号 :, 自宅ファックス, 携帯電話 , "
    "勤務先の番地, 勤務先の市区町村, 勤務先の郵便番号, 勤務先の都道府県, 勤務先の国または地域, "
    "勤務先電話番号, 会社名, 役職, メモ\r\n";

// The address-book fields of one entry: the last of each kind wins.
struct CsvEntry {
    std::string name, mail, home, work, mobile;
};

CsvEntry readCsvEntry(const EntryRow& row) {
    CardView card = readCard(row, kListedColumns);
    CsvEntry entry;
    for (const NumberPiece& number : card.numbers) {
        switch (number.type) {
            case NumberClass::Home:
                entry.home = number.value;
                break;
            case NumberClass::Cell:
                entry.mobile = number.value;
                break;
            case NumberClass::Work:
                entry.work = number.value;
                break;
            case NumberClass::Other:
                break;  // the address book has no column for it
        }
    }
    if (!card.mails.empty()) entry.mail = card.mails.back().value;
    // Family and given run together; a ";" escaped within a part ("\\;") is the part's own.
    if (card.name)
        for (size_t i = 0; i < card.name->size(); ++i) {
            char c = (*card.name)[i];
            if (c == '\\' && i + 1 < card.name->size() && (*card.name)[i + 1] == ';') {
                entry.name += ';';
                ++i;
            } else if (c != ';') {
                entry.name += c;
            }
        }
    return entry;
}

// A field after its separator: the record puts a blank after each comma, but not before an
// opening quote, or an RFC 4180 reader takes the quote for text and every later field shifts.
std::string led(const std::string& value) {
    std::string field = csvField(value);
    if (!field.empty() && field.front() == '"') return field;
    return " " + field;
}

bool quoted(const std::string& value) { return csvField(value) != value; }

}  // namespace

std::string csvField(const std::string& value) {
    if (std::none_of(value.begin(), value.end(),
                     [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; }))
        return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void writeAddressBook(const EntryRows& rows, TextSink& out) {
    rows.forEach([&](const EntryRow& row, int entryNumber) {
        out.beginEntry(entryNumber);
        std::string record = entryNumber == 1 ? kCsvHeading : "";
        CsvEntry e = readCsvEntry(row);
        // The mobile number's field ends in a blank, unless it is quoted: nothing may stand
        // between a closing quote and the comma.
        record += csvField(e.name) + ", , ," + led(e.name) + ", ," + led(e.mail) + ", , , , , ," +
                  led(e.home) + "," + led(e.work) + "," + led(e.mobile) +
                  (quoted(e.mobile) ? "" : " ") + ", , , , , , , , ,\r\n";
        out.write(record);
    });
}

}  // namespace tsunagi
