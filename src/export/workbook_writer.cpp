#include "export/workbook_writer.h"

#include <array>

#include "card/card_view.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/text_file.h"
#include "store/entries.h"
#include "workbook/sheet.h"

namespace tsunagi {

namespace {

constexpr int kColumns = 19;

// Fill colours of columns B to S: three number groups of four, three mail groups of two.
const std::array<Rgb, 6> kGroupColours = {Rgb{125, 125, 125}, Rgb{30, 100, 200},
                                          Rgb{10, 225, 12},   Rgb{125, 125, 100},
                                          Rgb{125, 125, 255}, Rgb{125, 125, 60}};

Rgb columnColour(int column) {
    if (column <= 13) return kGroupColours[(column - 2) / 4];
    return kGroupColours[3 + (column - 14) / 2];
}

const std::array<const char*, kColumns> kHeadings = {
    "名前", "自宅", "携帯", "会社", "電話", "自宅", "携帯", "会社", "電話", "自宅",
    "携帯", "会社", "電話", "PC",   "携帯", "PC",   "携帯", "PC",   "携帯"};

void formatRow(Sheet& sheet, int row) {
    for (int c = 1; c <= kColumns; ++c) {
        sheet.setBorder(row, c);
        if (c >= 2) sheet.setFill(row, c, columnColour(c));
    }
}

void writeEntry(Sheet& sheet, int row, const EntryRow& entry) {
    formatRow(sheet, row);
    CardView card = readCard(entry, kListedColumns);
    for (const NumberPiece& number : card.numbers) {
        if (number.slot >= 3) continue;
        int offset = 3;
        switch (number.type) {
            case NumberClass::Home:
                offset = 0;
                break;
            case NumberClass::Cell:
                offset = 1;
                break;
            case NumberClass::Work:
                offset = 2;
                break;
            case NumberClass::Other:
                offset = 3;
                break;
        }
        sheet.setText(row, 2 + 4 * static_cast<int>(number.slot) + offset, number.value);
    }
    for (const MailPiece& mail : card.mails) {
        if (mail.slot >= 3) continue;
        int j = static_cast<int>(mail.slot);
        if (mail.type == MailClass::Internet) sheet.setText(row, 14 + 2 * j, mail.value);
        if (mail.type == MailClass::Cell) sheet.setText(row, 15 + 2 * j, mail.value);
    }
    if (card.name) sheet.setText(row, 1, *card.name);
}

// A cell holds 32,767 characters (UTF-16 units) at most: .xls stores longer strings with a
// length that wraps, and .xlsx readers drop them.
constexpr size_t kCellCharacters = 32767;

size_t utf16Length(std::string_view text) {
    size_t units = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++units;  // a character begins here
        if (c >= 0xF0) ++units;           // and needs a surrogate pair
    }
    return units;
}

// Refuses the save, naming the entry, when one of its values does not fit a cell.
void checkCellLengths(const Sheet& sheet, int row, int entryNumber, const std::string& path) {
    const SheetRow& cells = sheet.row(row);
    for (const SheetCell& cell : cells.cells) {
        if (utf16Length(cells.text(cell)) <= kCellCharacters) continue;
        std::string name(cells.cells.empty() ? "" : cells.text(cells.cells[0]));
        throw TsunagiError(path, 0,
                           "データ " + std::to_string(entryNumber) + "（" + name.substr(0, 60) +
                               "）に " + std::to_string(utf16Length(cells.text(cell))) +
                               " 文字の値があり、ブックのセルに入る 32767 文字を超えています。"
                               "ブックには保存していません。");
    }
}

}  // namespace

void WriteExcelBook(const EntryRows& rows, const std::string& templatePath, BookKind kind,
                    AtomicFile& out) {
    if (!fileExists(templatePath))
        throw TsunagiError(templatePath, 0, "ブックのテンプレートがありません。");
    const std::string& path = out.path();
    bool xlsx = kind == BookKind::Xlsx;
    // A sheet's rows, the heading's included: 65,536 in .xls, 1,048,576 in .xlsx.
    if (xlsx ? rows.count > 1048575 : rows.count > 65535)
        throw TsunagiError(path, 0,
                           xlsx ? "データが多すぎて .xlsx に書けません（1048575 件まで）。"
                                : "データが多すぎて .xls に書けません（65535 件まで）。"
                                  ".xlsx なら 1048575 件まで書けます。");

    Sheet sheet = templateSheet();
    sheet.expectedColumns = kColumns;
    rows.forEach([&](const EntryRow& entry, int number) {
        if (number == 1) {
            formatRow(sheet, 1);
            for (int c = 1; c <= kColumns; ++c) sheet.setText(1, c, kHeadings[c - 1]);
        }
        writeEntry(sheet, number + 1, entry);
        checkCellLengths(sheet, number + 1, number, path);
    });

    if (xlsx)
        saveAsXlsx(sheet, out);
    else if (sheet.rows() == 0)
        out.writeBytes(readFileBytes(templatePath));  // no entries: the template, unchanged
    else
        saveAsXls(sheet, out);
}

}  // namespace tsunagi
