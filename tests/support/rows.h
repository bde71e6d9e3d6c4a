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

// A card of another program as the phone's dialect holds it once read: the template's lines,
// the reading right after the name, the memory-dial number given. Without a name there is no
// name line, as without a reading no reading line.
inline std::vector<std::string> normalisedCard(const std::string& name, const std::string& reading,
                                               const std::string& numbers, const std::string& mails,
                                               int mdno) {
    std::vector<std::string> columns = {"BEGIN:VCARD", "VERSION:2.1"};
    if (!name.empty()) columns.push_back("N;CHARSET=SHIFT_JIS:" + name);
    if (!reading.empty()) columns.push_back("SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:" + reading);
    columns.push_back("X-JPG-OWNER:0");
    if (!numbers.empty()) columns.push_back(numbers);
    if (!mails.empty()) columns.push_back(mails);
    columns.push_back("X-GNO:0");
    columns.push_back("X-JPG-MDNO:" + std::to_string(mdno));
    columns.push_back("END:VCARD");
    return columns;
}

}  // namespace tsunagi
