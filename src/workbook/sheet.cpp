#include "workbook/sheet.h"

#include <algorithm>

namespace tsunagi {

SheetCell& Sheet::cell(int row, int column) {
    if (static_cast<int>(rows_.size()) < row) rows_.resize(row);
    std::vector<SheetCell>& cells = rows_[row - 1].cells;
    if (static_cast<int>(cells.size()) < column) {
        if (cells.empty()) cells.reserve(std::max(column, expectedColumns));
        cells.resize(column);
    }
    return cells[column - 1];
}

void Sheet::setText(int row, int column, std::string text) {
    SheetCell& target = cell(row, column);
    std::string& texts = rows_[row - 1].texts;
    target.textStart = static_cast<std::uint32_t>(texts.size());
    target.textSize = static_cast<std::uint32_t>(text.size());
    texts += text;
}

void Sheet::setBorder(int row, int column) { cell(row, column).border = true; }

void Sheet::setFill(int row, int column, Rgb colour) {
    SheetCell& target = cell(row, column);
    target.filled = true;
    target.fill = colour;
}

Sheet templateSheet() {
    Sheet sheet;
    // Name, then four number columns in three groups, then two mail columns in three groups.
    sheet.columnWidths = {16};
    for (int i = 0; i < 12; ++i) sheet.columnWidths.push_back(14);
    for (int i = 0; i < 6; ++i) sheet.columnWidths.push_back(26);
    return sheet;
}

}  // namespace tsunagi
