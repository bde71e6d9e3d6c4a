#pragma once

// The writers of the save command. Each writes every entry of the store, in ascending id, to
// a sink; the save command hands them a CP932 file, tests a string.

#include "platform/text_file.h"
#include "store/store.h"

namespace tsunagi {

// The address book with the 23 Japanese headings (nothing at all for an empty store).
void writeCsvBook(const Store& store, TextSink& out);

// One vCard file in the phone's dialect for all entries, memory-dial numbers renumbered.
// Returns how many numbers were left out because the phone cannot dial them.
long writeVcfFile(const Store& store, TextSink& out);

// vCard 3.0 (RFC 2426) in UTF-8 for today's phones: names, readings in full-width katakana,
// numbers, mails and the note.
void writeVcard3(const Store& store, TextSink& out);

// The CSV of Google Contacts, with the headings of its own export, in UTF-8.
void writeGoogleCsv(const Store& store, TextSink& out);

// The list page, three cards to a row.
void WriteHtmlList(const Store& store, TextSink& out);

// A value as one CSV field: in double quotes, inner quotes doubled, when it holds a comma, a
// quote or a line break; as it is otherwise.
std::string csvField(const std::string& value);

// A value as HTML text: &, <, > and " escaped.
std::string htmlText(const std::string& value);

}  // namespace tsunagi
