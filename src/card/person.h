#pragma once

// A person as today's phones and services take it, read once from every line an entry holds:
// the phone's own lines (vCard 2.1, read by the same property reader as other programs' cards)
// and then what the entry keeps beyond them. Every writer for today's phones lays this out and
// never looks at a raw line again.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "card/dialect.h"
#include "card/vcard_line.h"
#include "store/entries.h"

namespace tsunagi {

// One value with its own types, label and parameters: a number, a mail, an address, a web
// page, a messenger, a related name, a dated event, or any other property.
struct PersonItem {
    VcardLine line;       // as vCard 3.0 has it: UTF-8, text escaped; its group as read
    std::string label;    // its label (X-ABLabel, or Android's X-CUSTOM); "" when none
    std::string printed;  // an address as printed (its LABEL line), unescaped

    std::vector<std::string> types() const;  // every TYPE, upper case, in order
    bool hasType(std::string_view type) const { return line.hasType(type); }
    bool preferred() const;                       // TYPE=pref, or PREF=1 of vCard 4.0
    std::string text() const;                     // the value unescaped
    std::vector<std::string> components() const;  // a compound value's parts, unescaped
};

struct Person {
    // N in all five parts: family, given, middle, prefix, suffix.
    std::vector<std::string> name = std::vector<std::string>(5);
    bool wholeName = false;  // typed without ";": all of it is in the given part
    std::string formatted;   // the card's own FN; "" when it has none of its own
    std::string readingFamily, readingGiven, readingMiddle;
    std::vector<std::string> nicknames;
    std::vector<PersonItem> numbers, mails, addresses, websites, messengers, related, dates;
    std::vector<std::vector<std::string>> organizations;  // ORG: company, then its units
    std::string readingCompany;
    std::vector<std::string> titles, roles;
    std::string birthday;  // an ISO date, "--MM-DD" when without a year
    std::vector<std::string> notes;
    std::vector<std::string> categories;
    std::optional<VcardLine> photo;
    std::string uid;
    // The UIDs of the entries merged into this one (X-TSUNAGI-MERGED-UID), kept in the store
    // alone so that their cards elsewhere are found again.
    std::vector<std::string> mergedUids;
    std::vector<PersonItem> others;  // whatever has no place above, as it came

    const std::string& family() const { return name[0]; }
    const std::string& given() const { return name[1]; }
    std::string company() const;  // the first company; "" when none
};

Person readPerson(const EntryRow& row);

// A line whose value holds nothing but separators and blanks: feature phones write empty
// ADR, URL and PHOTO lines ("ADR;HOME:;;;;;;") where the user filled nothing in.
bool holdsNothing(const VcardLine& line);

// The name built from its parts, as a person reads it: Latin names given name first ("Mary
// Ann O'Brien"), Japanese names family name first and together ("髙橋①子"), a name typed whole
// as it is; "" when there is none.
std::string builtName(const Person& person);
// The name shown, never empty: the card's own FN, else the built name, else the company, else
// the nickname, else the first number or mail.
std::string displayName(const Person& person);
// A number as people read it: a tel: URI of vCard 4.0 ("tel:+81-3-5555-7777;ext=12") as the
// text vCard 3.0 readers take ("+81-3-5555-7777 ext. 12"); any other value (a sip: address)
// whole. Blanks, tabs and line breaks around the number are left off.
std::string numberAsText(std::string_view value);

// The lines an entry keeps of a name where the phone's name line `phoneName` cannot say all
// it does: N whole where it has more than a family and a given name or the phone's line holds
// another name (a display name), and the card's own FN where it is not the name its parts make
// (with N beside it, for FN holds only while the name does). With `wholeName` and
// `wholeFormatted`, N and FN are kept whatever they say, N even empty, so that one said again
// after it stays the second (FN as N's parts make it where there is none).
std::vector<std::string> keptNameLines(const std::vector<std::string>& parts,
                                       std::string_view formatted, std::string_view phoneName,
                                       bool wholeName = false, bool wholeFormatted = false);

// The phone's name line apart at its ";": family, given, middle, prefix, suffix, each trimmed.
// vCard 2.1 escapes only the separator ("\\;"); any other backslash is the name's own.
std::vector<std::string> phoneNameParts(std::string_view name);

// A reading's line ("X-PHONETIC-LAST-NAME:やまだ") where the phone's half-width katakana would
// change it (hiragana, Latin letters) or the phone's reading line would split it (a ";");
// nothing where it comes back the same.
std::optional<std::string> keptReadingLine(std::string_view property, std::string_view reading);

// A date (or the text that stands for one) as a line's value: its backslashes and line breaks
// escaped, so that it is read back as it was.
std::string escapedDate(std::string_view date);

// A date as ISO 8601 writes it: "1980-05-01", "--05-01" without a year ("19800501",
// "1980/5/1", "--0501", "1980-05-01T00:00:00Z" alike); the text itself when it is none.
std::string isoDate(std::string_view date);

// Whether an ISO date ("1980-05-01", "--05-01") names a day of the calendar: 1960-13-01 and
// 2001-02-29 do not.
bool isCalendarDate(std::string_view iso);

// Whether a date is a placeholder for none, as Outlook writes one ("00/0/0", "0/0/00").
bool isPlaceholderDate(std::string_view date);

// The phone's class of a number by its vCard types: HOME, else CELL, else WORK, else other.
NumberClass numberClassOf(const VcardLine& line);

// A number as written, for today's phones: "+1 (415) 555-0100" keeps its international form.
std::string numberText(std::string_view number);

// A line of another program's card as the entry keeps it, in vCard 3.0: group, name, its
// parameters (TYPE together, CHARSET and ENCODING gone, base64 as "ENCODING=b"), and the
// value `text` (already decoded) with its line breaks escaped.
std::string keptLine(const VcardLine& line, std::string_view text);

// The card's UID: its own when it had one, else the entry's lasting one made from the store's
// seed and its id (identity.h); for rows held without a store (`seed` ""), one made from what it
// holds, the same on every run for the same entries. `seen` counts identical entries so that
// each still has its own.
std::string uidOf(const Person& person, const EntryRow& row, std::string_view seed,
                  std::unordered_map<std::uint64_t, size_t>& seen);

// The line an entry keeps of a UID of another entry merged into it.
inline constexpr std::string_view kMergedUid = "X-TSUNAGI-MERGED-UID";

}  // namespace tsunagi
