#include "workbook/book_kind.h"

#include <fstream>

#include "platform/error.h"

namespace tsunagi {

BookKind bookKindOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TsunagiError(path, 0, "ファイルを開けません。");
    char magic[8] = {};
    in.read(magic, sizeof magic);
    if (in.gcount() == 8 &&
        std::string(magic, 8) == std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return BookKind::Xls;
    if (in.gcount() >= 4 && std::string(magic, 4) == std::string("PK\x03\x04", 4))
        return BookKind::Xlsx;
    return BookKind::Unknown;
}

}  // namespace tsunagi
