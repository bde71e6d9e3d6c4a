#pragma once

// The values of formula cells in an .xls, as the sheet shows them: libfreexl passes formula
// cells over, so their cached results are read here from the workbook's own records.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tsunagi {

// The Workbook stream of a compound file (the container of .xls); "" when it has none or the
// file is damaged. Every length and sector number read from the file is checked.
std::string workbookStreamOf(std::string_view file);

// Calls `cell(row, column, text)` (counted from 1) for every formula cell of the first sheet
// of a BIFF8 workbook stream, with its cached result: a number as the cell shows it, a text,
// TRUE or FALSE, or an error such as #DIV/0!.
void forEachFormulaResult(
    std::string_view stream,
    const std::function<void(std::uint32_t, std::uint32_t, const std::string&)>& cell);

}  // namespace tsunagi
