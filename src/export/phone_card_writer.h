#pragma once

#include "platform/text_file.h"
#include "store/entries.h"

namespace tsunagi {

// One vCard file in the phone's dialect for all entries, memory-dial numbers renumbered in
// writing order. Returns how many numbers were left out because the phone cannot dial them.
long writePhoneCards(const EntryRows& rows, TextSink& out);

}  // namespace tsunagi
