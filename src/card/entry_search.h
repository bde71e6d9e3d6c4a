#pragma once

// Finding entries in the main window's list by part of their name, reading, number or mail,
// whatever the width, the kind of kana or the blanks.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/store.h"

namespace tsunagi {

struct SearchEntry {
    std::int64_t id = 0;
    std::string key;  // searchKey of the name, reading, numbers (also as digits) and mails
};

// Every entry's key, in ascending id.
std::vector<SearchEntry> readSearchEntries(const Store& store);

// What the user typed, as a search compares it: its search key, and where it is a number in
// any form ("090-1111-2222", "+81 90 1111 2222", full-width) the digits the phone dials.
struct SearchQuery {
    std::string key;
    std::string digits;  // "" where the text is no number
};
SearchQuery searchQueryOf(std::string_view typed);

// Whether the entry holds the text the user typed; an empty text matches every entry.
bool entryMatches(const SearchEntry& entry, const SearchQuery& query);

// A few lines about one entry for a tooltip: its whole name, reading, numbers and mails; ""
// when there is no such entry.
std::string entrySummary(const Store& store, std::int64_t id);

}  // namespace tsunagi
