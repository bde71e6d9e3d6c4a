// The tests run from their own folder, not beside the program: point the workbook reader at
// the helper program the build made.
#include "workbook/workbook_reader.h"

namespace {
const bool helperSet = (tsunagi::setXlsReaderHelper(TSUNAGI_XLSREAD), true);
}
