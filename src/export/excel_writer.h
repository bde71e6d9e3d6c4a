#pragma once

#include <string>

#include "store/store.h"

namespace tsunagi {

// Writes every entry into a workbook in the layout of the program's template (its column widths
// and text format, as templateSheet() gives them). database/template.xls must be there; an empty
// store saves it unchanged.
void WriteExcelBook(const Store& store, const std::string& programFolder, const std::string& path);

}  // namespace tsunagi
