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

// Whether the entry holds the text the user typed; an empty text matches every entry.
bool entryMatches(const SearchEntry& entry, std::string_view typedKey);

// A few lines about one entry for a tooltip: its whole name, reading, numbers and mails; ""
// when there is no such entry.
std::string entrySummary(const Store& store, std::int64_t id);

}  // namespace tsunagi
