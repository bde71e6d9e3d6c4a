#pragma once

#include <string>

#include "import/import.h"
#include "store/store.h"

namespace tsunagi {

// Adds a card for every filled row of a workbook's first sheet, all or nothing.
long ImportExcelBook(const Store& store, const std::string& path,
                     const ImportProgress& progress = {});

}  // namespace tsunagi
