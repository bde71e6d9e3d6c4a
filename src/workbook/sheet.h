#pragma once

// The one worksheet the program writes: cell texts and the two cell formats it uses, a thin
// border on all edges and a solid fill. This is all the spreadsheet program was ever asked for.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tsunagi {

class AtomicFile;

struct Rgb {
    std::uint8_t red, green, blue;
    bool operator==(const Rgb&) const = default;
};

struct SheetCell {
    // The cell's text in its row's texts; an empty text is a cell that holds no value.
    std::uint32_t textStart = 0;
    std::uint32_t textSize = 0;
    bool border = false;
    bool filled = false;
    Rgb fill{0, 0, 0};
};

// One row: its cells, column 1 first, and their texts one after another in one string, so
// that a row of many short texts is one allocation rather than one per cell (a sheet of 65,536
// rows holds over a million cells).
struct SheetRow {
    std::vector<SheetCell> cells;
    std::string texts;  // UTF-8

    std::string_view text(const SheetCell& cell) const {
        return std::string_view(texts).substr(cell.textStart, cell.textSize);
    }
};

class Sheet {
  public:
    // Rows and columns are counted from 1, as the spreadsheet shows them.
    void setText(int row, int column, std::string text);
    void setBorder(int row, int column);
    void setFill(int row, int column, Rgb colour);

    // A row; rows() and the row's cells bound what was touched. A text set again leaves its
    // old bytes unused in the row.
    int rows() const { return static_cast<int>(rows_.size()); }
    const SheetRow& row(int row) const { return rows_[row - 1]; }

    // Column widths in characters, column 1 first; columns beyond it keep the default.
    std::vector<double> columnWidths;
    // Whether empty cells are formatted as text, so typed numbers keep their leading 0.
    bool textFormat = true;
    // The columns a row will have, so that each row's cells are allocated once.
    int expectedColumns = 0;

  private:
    SheetCell& cell(int row, int column);

    std::vector<SheetRow> rows_;
};

// The template's sheet: column widths that fit names, numbers and addresses, text format.
Sheet templateSheet();

// Writers into a file that the caller commits once everything is written.
void saveAsXls(const Sheet& sheet, AtomicFile& file);
void saveAsXlsx(const Sheet& sheet, AtomicFile& file);

// The BIFF8 workbook stream of a sheet, and the compound file that carries it.
std::string biff8WorkbookStream(const Sheet& sheet);
std::string compoundFile(std::string workbookStream);

}  // namespace tsunagi
