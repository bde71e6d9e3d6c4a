// Workbooks of any bytes, .xls or .xlsx by their content: imported or refused cleanly.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "fuzz_store.h"
#include "import/excel_import.h"
#include "workbook/workbook_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The readers take a path, as the program gives them one.
    static const std::string path = "/tmp/tsunagi-fuzz-" + std::to_string(getpid()) + ".xls";
    static const bool helperSet = (tsunagi::setXlsReaderHelper(TSUNAGI_XLSREAD), true);
    (void)helperSet;
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    tsunagi::fuzz::importAllOrNothing(
        [&](const tsunagi::Store& store) { tsunagi::ImportExcelBook(store, path); });
    return 0;
}
