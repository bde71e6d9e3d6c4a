#include "platform/text_file.h"
#include "workbook/sheet.h"

namespace tsunagi {

void saveAsXls(const Sheet& sheet, AtomicFile& file) {
    file.writeBytes(compoundFile(biff8WorkbookStream(sheet)));
}

}  // namespace tsunagi
