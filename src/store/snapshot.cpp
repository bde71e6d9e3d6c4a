#include "store/snapshot.h"

namespace tsunagi {

StoreSnapshot takeSnapshot(Connection& connection) {
    StoreSnapshot snapshot;
    forEachEntry(connection, [&snapshot](const EntryRow& row) {
        // Only the lines in use: a row read from the store is null from its first null column
        // on, and its eighty slots would cost more than the text of most entries.
        EntryRow& kept = snapshot.rows.emplace_back();
        kept.id = row.id;
        size_t used = 0;
        while (used < row.columns.size() && row.columns[used]) ++used;
        kept.columns.reserve(used);  // a hundred thousand rows' growth would be a third more
        for (const std::optional<std::string>& column : row.columns) {
            if (!column) break;
            kept.columns.push_back(column);
            snapshot.bytes += column->size() + sizeof(column);
        }
        kept.extras = row.extras;
        for (const std::string& extra : row.extras) snapshot.bytes += extra.size();
        snapshot.bytes += sizeof(EntryRow);
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
    for (const EntryRow& row : snapshot.rows) {
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
