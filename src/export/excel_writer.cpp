#include "export/excel_writer.h"

#include "platform/error.h"

namespace tsunagi {

void WriteExcelBook(const Store&, const std::string&, const std::string& path) {
    throw TsunagiError(path, 0, "Excel のブックの書き出しには、まだ対応していません。");
}

}  // namespace tsunagi
