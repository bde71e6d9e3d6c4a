#include "platform/text_file.h"
#include "workbook/sheet.h"

namespace tsunagi {

void saveAsXls(const Sheet& sheet, const std::string& path) {
    AtomicFile file(path);
    file.writeBytes(compoundFile(biff8WorkbookStream(sheet)));
    file.commit();
}

}  // namespace tsunagi
