#pragma once

// An entry as today's phones and services take it, for the vCard 3.0 and Google CSV writers:
// the phone's lines read, and what the entry holds beyond them.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "card/card_view.h"
#include "card/vcard_line.h"
#include "store/entries.h"

namespace tsunagi {

struct Person {
    std::string family, given;                // "family;given" apart
    bool wholeName = false;                   // a name typed without ";": all of it is the name
    std::string readingFamily, readingGiven;  // as stored, half-width katakana widened
    std::string note;                         // the phone's own note, as text
    std::vector<NumberPiece> numbers;
    std::vector<MailPiece> mails;
    std::vector<VcardLine> extras;  // what the entry holds beyond the phone's lines

    // The value of the first extra `name` (upper case), unescaped as text; "" when none.
    std::string extraText(std::string_view name) const;
    const VcardLine* extra(std::string_view name) const;
    // The original line of a number or a mail, when the entry kept one.
    const VcardLine* originalNumber(const std::string& number) const;
    const VcardLine* originalMail(const std::string& mail) const;
    // The custom label of a group ("item1"), from its X-ABLabel; "" when none.
    std::string labelOf(const std::string& group) const;
};

Person personOf(const EntryRow& row);

// The name as a person reads it, never empty: Latin names given name first ("Mary Ann
// O'Brien"), Japanese names family name first and together ("髙橋①子"), a name typed whole
// as it is; else the company, else the first number or mail.
std::string displayName(const Person& person);

// A number as written, for today's phones: "+1 (415) 555-0100" keeps its international form.
std::string numberText(const std::string& number);

// The card's UID: its own when it had one, else one made from what it holds, the same on every
// run for the same entries. `seen` counts identical entries so that each still has its own.
std::string uidOf(const Person& person, const EntryRow& row,
                  std::unordered_map<std::uint64_t, size_t>& seen);

}  // namespace tsunagi
