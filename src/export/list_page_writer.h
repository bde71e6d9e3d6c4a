#pragma once

#include <string>

#include "platform/text_file.h"
#include "store/entries.h"

namespace tsunagi {

// The list page, three cards to a row.
void WriteHtmlList(const EntryRows& rows, TextSink& out);

// A value as HTML text: &, <, > and " escaped.
std::string htmlText(const std::string& value);

}  // namespace tsunagi
