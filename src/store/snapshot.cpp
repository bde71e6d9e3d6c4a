#include "store/snapshot.h"

namespace tsunagi {

StoreSnapshot takeSnapshot(Connection& connection) {
    StoreSnapshot snapshot;
    forEachEntry(connection, [&snapshot](const EntryRow& row) {
        std::string& packed = snapshot.rows.emplace_back();
        packRow(row, packed);
        packed.shrink_to_fit();
        snapshot.bytes += packed.size() + sizeof packed;
    });
    return snapshot;
}

void restoreSnapshot(Connection& connection, const StoreSnapshot& snapshot) {
    Transaction transaction(connection);
    clearEntries(connection);
    std::string names = "id", slots = "?";
    for (int c = 1; c <= kCardColumns; ++c) {
        names += ",\"" + std::to_string(c) + "\"";
        slots += ",?";
    }
    Statement insert =
        connection.prepare("insert into radio_v401sh (" + names + ") values (" + slots + ");");
    Statement extras =
        connection.prepare("insert into entry_extras (entry_id, lines) values (?, ?);");
    std::string joined;
    EntryRow row;
    for (const std::string& packed : snapshot.rows) {
        unpackRow(packed, row);
        insert.bind(1, row.id);
        for (int c = 0; c < kCardColumns; ++c) {
            if (c < static_cast<int>(row.columns.size()) && row.columns[c])
                insert.bind(c + 2, *row.columns[c]);
            else
                insert.bindNull(c + 2);
        }
        insert.step();
        insert.reset();
        if (!row.extras.empty()) {
            joinExtras(row.extras, joined);
            extras.bind(1, row.id);
            extras.bind(2, joined);
            extras.step();
            extras.reset();
        }
    }
    transaction.commit();
}

}  // namespace tsunagi
