#pragma once

// The main window's entry list: one line per entry in id order, the name's beginning in sight
// and the id far to the right, out of sight; and the count label above it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/store.h"

namespace tsunagi {

// The list line of one entry, built from its name column "3" and its id.
std::string entryListLine(const std::optional<std::string>& nameColumn, std::int64_t id);

// The entry's id from a list line: the digits after its last "<>", so that a name holding "<>"
// cannot name another entry; nothing when they are absent or not digits alone.
std::optional<std::int64_t> idFromListLine(const std::string& line);

// "12ﾃﾞｰﾀ" for 12 entries.
std::string countLabel(int count);

// Every list line, in ascending id.
std::vector<std::string> readEntryList(const Store& store);
// The same, one line at a time, for a caller that need not hold them all; returns the count.
int forEachListLine(const Store& store, const std::function<void(const std::string&)>& visit);

// Deletes every entry.
void clearStore(const Store& store);
// Deletes every entry as the program starts, and shrinks the file when a previous run left
// much behind.
void emptyStoreAtStart(const Store& store);

}  // namespace tsunagi
