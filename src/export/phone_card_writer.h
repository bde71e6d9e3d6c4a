#pragma once

#include <string>
#include <vector>

#include "platform/text_file.h"
#include "store/entries.h"

namespace tsunagi {

// The numbers a writer left out, and whose they were.
struct LeftOutNumbers {
    long count = 0;
    std::vector<std::string> entries;  // each entry's name once, as a message shows it
    long extensions = 0;               // numbers written without their extension
    std::vector<std::string> extensionEntries;
    // Lines within a card that hold BEGIN:VCARD or END:VCARD, which the phone reads as a card's
    // beginning or end wherever they stand: left out.
    long cardWords = 0;
    std::vector<std::string> cardWordEntries;
    // Line breaks within a line's value (another program's name of two lines), which would
    // end the line there in the phone's file: written as blanks.
    long lineBreaks = 0;
    std::vector<std::string> lineBreakEntries;
};

// One vCard file in the phone's dialect for all entries, memory-dial numbers renumbered in
// writing order. Returns the numbers left out because the phone cannot dial them.
LeftOutNumbers writePhoneCards(const EntryRows& rows, TextSink& out);

// An entry's name as a message shows it: "family given".
std::string entryName(const EntryRow& row);

}  // namespace tsunagi
