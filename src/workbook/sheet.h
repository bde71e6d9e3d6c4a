#pragma once

// The one worksheet the program writes: cell texts and the two cell formats it uses, a thin
// border on all edges and a solid fill. This is all the spreadsheet program was ever asked for.

#include <cstdint>
#include <string>
#include <vector>

namespace tsunagi {

struct Rgb {
    std::uint8_t red, green, blue;
    bool operator==(const Rgb&) const = default;
};

struct SheetCell {
    std::string text;  // UTF-8; "" for a cell that holds no value
    bool border = false;
    bool filled = false;
    Rgb fill{0, 0, 0};
};

class Sheet {
  public:
    // Rows and columns are counted from 1, as the spreadsheet shows them.
    void setText(int row, int column, std::string text);
    void setBorder(int row, int column);
    void setFill(int row, int column, Rgb colour);

    // The cells of a row, column 1 first; rows() and the row's size bound what was touched.
    int rows() const { return static_cast<int>(cells_.size()); }
    const std::vector<SheetCell>& row(int row) const { return cells_[row - 1]; }

    // Column widths in characters, column 1 first; columns beyond it keep the default.
    std::vector<double> columnWidths;
    // Whether empty cells are formatted as text, so typed numbers keep their leading 0.
    bool textFormat = true;
    // The columns a row will have, so that each row's cells are allocated once.
    int expectedColumns = 0;

  private:
    SheetCell& cell(int row, int column);

    std::vector<std::vector<SheetCell>> cells_;
};

// The template's sheet: column widths that fit names, numbers and addresses, text format.
Sheet templateSheet();

// Writers; both replace `path` only when the whole workbook was written.
void saveAsXls(const Sheet& sheet, const std::string& path);
void saveAsXlsx(const Sheet& sheet, const std::string& path);

// The BIFF8 workbook stream of a sheet, and the compound file that carries it.
std::string biff8WorkbookStream(const Sheet& sheet);
std::string compoundFile(std::string workbookStream);

}  // namespace tsunagi
