#include "import/excel_import.h"

namespace tsunagi {

long ImportExcelBook(const Store&, const std::string& path, const ImportProgress&) {
    throw TsunagiError(path, 0, "Excel のブックの読み込みには、まだ対応していません。");
}

}  // namespace tsunagi
