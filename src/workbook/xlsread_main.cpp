// tsunagi-xlsread: reads the first sheet of a workbook (.xls with libfreexl, .xlsx with
// liborcus) and writes its non-empty cells to standard output. The program runs it as a
// separate process, so that a damaged workbook that trips up a library can never take the
// program down with it. Its output and exit status are in xlsread_protocol.h.

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "workbook/book_kind.h"
#include "workbook/sheet_readers.h"
#include "workbook/xlsread_protocol.h"

#if defined(__has_feature)
#define TSUNAGI_CLANG_ASAN __has_feature(address_sanitizer)
#else
#define TSUNAGI_CLANG_ASAN 0
#endif

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: tsunagi-xlsread BOOK [MAXROW MAXCOLUMN]\n");
        return 64;
    }
    // Only the cells the caller will keep are written.
    unsigned long maxRow = argc == 4 ? std::strtoul(argv[2], nullptr, 10) : 65536;
    unsigned long maxColumn = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : 256;
    // A damaged file can send a library into long loops or huge allocations: bound both. A
    // sound book is read in well under a second a megabyte, so two seconds and one more a
    // megabyte are time enough: a small damaged one is refused at once, not after half a
    // minute.
    rlim_t seconds = 30;
    if (struct stat book; stat(argv[1], &book) == 0)
        seconds = std::min<rlim_t>(seconds, 2 + static_cast<rlim_t>(book.st_size >> 20));
    rlimit cpu{seconds, seconds};
    setrlimit(RLIMIT_CPU, &cpu);
#if !defined(__SANITIZE_ADDRESS__) && !TSUNAGI_CLANG_ASAN
    // (AddressSanitizer reserves far more address space than this; its builds go without.)
    rlimit memory{rlim_t(1) << 30, rlim_t(1) << 30};
    setrlimit(RLIMIT_AS, &memory);
#endif
    std::string out;
    auto cell = [&](std::uint32_t row, std::uint32_t column, const std::string& text) {
        if (row > maxRow || column > maxColumn || row > 65536 || column > 256) return;
        tsunagi::appendCellRecord(out, row, static_cast<std::uint16_t>(column), text);
        if (out.size() > (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    };
    try {
        switch (tsunagi::bookKindOf(argv[1])) {
            case tsunagi::BookKind::Xls:
                tsunagi::readXlsCells(argv[1], cell);
                break;
            case tsunagi::BookKind::Xlsx:
                tsunagi::readXlsxCells(argv[1], cell);
                break;
            case tsunagi::BookKind::Unknown:
                return int(tsunagi::XlsReadStatus::NotAWorkbook);
        }
    } catch (const std::bad_alloc&) {
        return int(tsunagi::XlsReadStatus::OutOfMemory);
    } catch (const tsunagi::XlsReadFailure& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return int(error.status());
    } catch (const tsunagi::TsunagiError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return int(tsunagi::XlsReadStatus::NotAWorkbook);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
