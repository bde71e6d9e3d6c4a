#pragma once

// Reading the first sheet of a workbook, .xls or .xlsx, cell by cell as the text it shows. The
// libraries that parse workbooks run in a helper process, tsunagi-xlsread, so that whatever a
// damaged file does to them (crashes, endless loops, huge allocations) becomes a message.

#include <memory>
#include <string>

namespace tsunagi {

class WorkbookReader {
  public:
    virtual ~WorkbookReader() = default;
    // Opens a workbook by what its bytes are, whatever its name says, keeping the cells of
    // rows and columns up to `maxRow` and `maxColumn`. Throws TsunagiError naming the file when
    // it is not a workbook, cannot be read, or holds more than can be kept.
    static std::unique_ptr<WorkbookReader> open(const std::string& path, int maxRow = 65536,
                                                int maxColumn = 256);

    // The text of a cell of the first sheet, rows and columns counted from 1; "" when empty.
    // Numbers read as the text the cell shows: 312345678, not 312345678.0.
    virtual std::string cellText(int row, int column) = 0;
    // Whether any cell below row `row` holds something.
    virtual bool hasCellsBelow(int row) const = 0;
};

// The helper program that reads workbooks (tsunagi-xlsread); beside the executable unless set.
const std::string& xlsReaderHelper();
void setXlsReaderHelper(std::string path);

}  // namespace tsunagi
