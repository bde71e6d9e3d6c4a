#pragma once

// The record groups of the BIFF8 workbook stream, each a function that gives its records'
// bytes (type, length, data), so that each can be checked against the format's record layouts.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "workbook/sheet.h"

namespace tsunagi::biff8 {

inline constexpr std::uint16_t kGlobalsBof = 0x0005;
inline constexpr std::uint16_t kWorksheetBof = 0x0010;
inline constexpr int kFirstCellXf = 16;          // after the 15 style XFs and the default cell XF
inline constexpr int kFirstCustomColour = 0x30;  // palette slots given to the sheet's fills

// Each distinct text's place in the shared strings; the texts stay in the sheet.
using StringIndex = std::unordered_map<std::string_view, std::uint32_t>;

// The cell formats in use: border or not, and which fill colour, each one XF.
struct Formats {
    std::vector<Rgb> colours;                // palette slots from kFirstCustomColour on
    std::map<std::pair<bool, int>, int> xf;  // (border, colour slot or -1) -> XF index

    int colourSlot(Rgb colour);
    int xfFor(const SheetCell& cell);
};

std::string bofRecord(std::uint16_t kind);
std::string eofRecord();
// CODEPAGE, WINDOW1 and the fonts.
std::string globalsHead();
// The 15 style XFs, the default cell XF, one XF per format in use, and the Normal STYLE.
std::string formatRecords(const Formats& formats, bool textFormat);
// The 56 colours, with the fills in use from slot kFirstCustomColour on.
std::string paletteRecord(const std::vector<Rgb>& colours);
std::string boundSheetRecord(std::uint32_t sheetStart);
// SST and its CONTINUE records, then EXTSST; `start` is where the SST record begins in the stream.
std::string sharedStringRecords(const std::vector<std::string_view>& strings, size_t total,
                                size_t start);
// The same, appended to `out`.
void appendSharedStringRecords(std::string& out, const std::vector<std::string_view>& strings,
                               size_t total, size_t start);
std::string columnRecords(const std::vector<double>& widths);
std::string dimensionsRecord(int rows, int lastColumn);
// The cells of one row (counted from 1): LABELSST for texts, BLANK and MULBLANK for formatted
// empty cells.
std::string rowRecords(int row, const SheetRow& cells, Formats& formats,
                       const StringIndex& stringIndex);
std::string window2Record();

}  // namespace tsunagi::biff8
