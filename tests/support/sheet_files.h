#pragma once

// A sheet saved straight to a named file, for tests that make workbooks of their own.

#include <filesystem>
#include <string>

#include "platform/text_file.h"
#include "workbook/sheet.h"

namespace tsunagi {

inline void saveXlsFile(const Sheet& sheet, const std::string& path) {
    AtomicFile file(path);
    saveAsXls(sheet, file);
    file.commit();
}

// The workbook template an export reads, in `programFolder`'s database folder as installed.
inline void addWorkbookTemplate(const std::string& programFolder) {
    std::filesystem::create_directories(programFolder + "/database");
    saveXlsFile(templateSheet(), programFolder + "/database/template.xls");
}

inline void saveXlsxFile(const Sheet& sheet, const std::string& path) {
    AtomicFile file(path);
    saveAsXlsx(sheet, file);
    file.commit();
}

}  // namespace tsunagi
