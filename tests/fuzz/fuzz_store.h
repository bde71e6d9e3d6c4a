#pragma once

// What every import fuzz target checks: an import either succeeds or throws TsunagiError, and
// a failed one leaves the store exactly as it was.

#include <cstdlib>
#include <functional>

#include "platform/error.h"
#include "store/entries.h"
#include "store/store.h"

namespace tsunagi::fuzz {

inline void importAllOrNothing(const std::function<void(const Store&)>& import) {
    static Store store = [] {
        Store fresh = Store::inMemory();
        Connection connection = fresh.open();
        EntryInserter(connection).insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:kept", "END:VCARD"});
        return fresh;
    }();
    try {
        import(store);
    } catch (const TsunagiError&) {
        // A refused file must have left only the row that was there before.
        Connection connection = store.open();
        if (countEntries(connection) != 1) std::abort();
        return;
    }
    // An accepted file's rows go; the row from before stays.
    Connection connection = store.open();
    connection.execute("delete from radio_v401sh where id > 1;");
}

}  // namespace tsunagi::fuzz
