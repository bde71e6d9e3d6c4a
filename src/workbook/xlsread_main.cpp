// tsunagi-xlsread: reads the first sheet of an .xls workbook with libfreexl and writes its
// non-empty cells to standard output. The program runs it as a separate process, so that a
// damaged workbook that trips up the library can never take the program down with it.
//
// Output, per cell: row (4 bytes), column (2 bytes), length (4 bytes), all little-endian and
// counted from 1, then the cell's text in UTF-8. Exit status: 0 read, 2 not a workbook,
// 3 the first sheet cannot be read.

#include <freexl.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "workbook/workbook_reader.h"

#if defined(__has_feature)
#define TSUNAGI_CLANG_ASAN __has_feature(address_sanitizer)
#else
#define TSUNAGI_CLANG_ASAN 0
#endif

namespace {

void put(std::string& out, std::uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) out.push_back(static_cast<char>((value >> (8 * k)) & 0xFF));
}

std::string cellText(const FreeXL_CellValue& value) {
    switch (value.type) {
        case FREEXL_CELL_INT:
            return std::to_string(value.value.int_value);
        case FREEXL_CELL_DOUBLE:
            return tsunagi::numberText(value.value.double_value);
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME:
            return value.value.text_value ? value.value.text_value : "";
        default:
            return {};
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tsunagi-xlsread FILE.xls\n");
        return 64;
    }
    // A damaged file can send the library into long loops or huge allocations: bound both.
    rlimit cpu{30, 30};
    setrlimit(RLIMIT_CPU, &cpu);
#if !defined(__SANITIZE_ADDRESS__) && !TSUNAGI_CLANG_ASAN
    // (AddressSanitizer reserves far more address space than this; its builds go without.)
    rlimit memory{rlim_t(2) << 30, rlim_t(2) << 30};
    setrlimit(RLIMIT_AS, &memory);
#endif
    const void* handle = nullptr;
    if (freexl_open(argv[1], &handle) != FREEXL_OK || !handle) return 2;
    unsigned int sheets = 0, rows = 0;
    unsigned short columns = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0 ||
        freexl_select_active_worksheet(handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) {
        freexl_close(handle);
        return 3;
    }
    std::string out;
    for (unsigned int r = 0; r < rows && r < 65536; ++r) {
        for (unsigned short c = 0; c < columns && c < 256; ++c) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(handle, r, c, &value) != FREEXL_OK) continue;
            std::string text = cellText(value);
            if (text.empty()) continue;
            put(out, r + 1, 4);
            put(out, c + 1, 2);
            put(out, static_cast<std::uint32_t>(text.size()), 4);
            out += text;
        }
        if (out.size() > (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    freexl_close(handle);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
