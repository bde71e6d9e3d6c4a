#pragma once

// The whole list at one moment, to go back to: every entry with its id, its lines and what it
// holds beyond them.

#include <cstddef>
#include <string>
#include <vector>

#include "store/entries.h"

namespace tsunagi {

struct StoreSnapshot {
    std::vector<std::string> rows;  // in ascending id, each packed (packRow)
    size_t bytes = 0;               // the text it holds, to bound what a history keeps
};

StoreSnapshot takeSnapshot(Connection& connection);
// Puts the store back as the snapshot has it, ids and all, in one transaction.
void restoreSnapshot(Connection& connection, const StoreSnapshot& snapshot);

}  // namespace tsunagi
