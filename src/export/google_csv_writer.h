#pragma once

#include <string>
#include <vector>

#include "platform/text_file.h"
#include "store/entries.h"

namespace tsunagi {

// What Google's CSV has no place for, by whose it was.
struct GoogleCsvLeftOut {
    std::vector<std::string> photos;  // entries whose photo is held in the card, not linked
    // Entries that hold other bytes in the card (a sound, a logo, a key, another photo), with
    // what they are: "山田 太郎（音声）".
    std::vector<std::string> embedded;
    // Entries with a value that holds Google's separator " ::: ", which Google reads as two:
    // "山田 太郎（電話番号 03 ::: 04）".
    std::vector<std::string> parted;
};

// The CSV of Google Contacts, with the headings of its own export, in UTF-8: every value of
// the person under its heading, and what has no heading of its own as a custom field.
GoogleCsvLeftOut writeGoogleCsv(const EntryRows& rows, TextSink& out);

}  // namespace tsunagi
