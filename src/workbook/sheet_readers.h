#pragma once

// The libraries that read workbooks, each wrapped to hand over the first sheet's cells. The
// program does not call these itself: tsunagi-xlsread does, in a process of its own.

#include <cstdint>
#include <functional>
#include <string>

namespace tsunagi {

// Called for every non-empty cell of the first sheet; rows and columns are counted from 1.
using CellVisitor =
    std::function<void(std::uint32_t row, std::uint32_t column, const std::string& text)>;

// Both throw XlsReadFailure naming the file when it cannot be read.
void readXlsCells(const std::string& path, const CellVisitor& cells);   // libfreexl
void readXlsxCells(const std::string& path, const CellVisitor& cells);  // liborcus

// How a number cell reads as text: 312345678, not 312345678.0.
std::string numberText(double value);

}  // namespace tsunagi
