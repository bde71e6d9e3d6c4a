#pragma once

// A sheet saved straight to a named file, for tests that make workbooks of their own.

#include <string>

#include "platform/text_file.h"
#include "workbook/sheet.h"

namespace tsunagi {

inline void saveXlsFile(const Sheet& sheet, const std::string& path) {
    AtomicFile file(path);
    saveAsXls(sheet, file);
    file.commit();
}

inline void saveXlsxFile(const Sheet& sheet, const std::string& path) {
    AtomicFile file(path);
    saveAsXlsx(sheet, file);
    file.commit();
}

}  // namespace tsunagi
