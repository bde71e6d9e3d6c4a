#pragma once

#include "platform/text_file.h"
#include "store/entries.h"

namespace tsunagi {

// vCard 3.0 (RFC 2426) in UTF-8 for today's phones: names, readings in full-width katakana,
// numbers, mails and the note.
void writeVcard3(const EntryRows& rows, TextSink& out);

}  // namespace tsunagi
