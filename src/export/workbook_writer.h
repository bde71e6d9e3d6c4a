#pragma once

#include <string>

#include "platform/text_file.h"
#include "store/entries.h"
#include "workbook/book_kind.h"

namespace tsunagi {

// Writes every entry into a workbook of `kind` in the layout of the program's template (its
// column widths and text format, as templateSheet() gives them). The template must be there;
// without entries the .xls is the template unchanged. Refuses more entries than a sheet has
// rows, and a value longer than a cell holds, naming the entry.
void WriteExcelBook(const EntryRows& rows, const std::string& templatePath, BookKind kind,
                    AtomicFile& out);

}  // namespace tsunagi
