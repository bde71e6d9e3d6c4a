#pragma once

#include "platform/text_file.h"
#include "store/entries.h"

namespace tsunagi {

// The CSV of Google Contacts, with the headings of its own export, in UTF-8.
void writeGoogleCsv(const EntryRows& rows, TextSink& out);

}  // namespace tsunagi
