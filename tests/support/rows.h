#pragma once

#include <string>
#include <vector>

#include "store/entries.h"

namespace tsunagi {

using Rows = std::vector<std::vector<std::string>>;

// The used columns of every row of the store, in id order.
inline Rows storedRows(const Store& store) {
    Rows rows;
    Connection connection = store.open();
    forEachEntry(connection, [&](const EntryRow& row) {
        std::vector<std::string> used;
        for (const auto& column : row.columns)
            if (column) used.push_back(*column);
        rows.push_back(used);
    });
    return rows;
}

}  // namespace tsunagi
