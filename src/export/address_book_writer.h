#pragma once

#include <string>

#include "platform/text_file.h"
#include "store/entries.h"

namespace tsunagi {

// The address book with the 23 Japanese headings (nothing at all when there is no entry).
void writeAddressBook(const EntryRows& rows, TextSink& out);

// A value as one CSV field: in double quotes, inner quotes doubled, when it holds a comma, a
// quote or a line break; as it is otherwise.
std::string csvField(const std::string& value);

}  // namespace tsunagi
