#pragma once

#include <string>

#include "store/store.h"

namespace tsunagi {

// Writes every entry into a workbook made from the program's template, database/template.xls.
void WriteExcelBook(const Store& store, const std::string& programFolder, const std::string& path);

}  // namespace tsunagi
