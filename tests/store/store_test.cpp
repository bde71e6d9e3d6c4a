#include "store/store.h"

#include <gtest/gtest.h>
#include <sqlcipher/sqlite3.h>

#include <filesystem>
#include <fstream>

#include "platform/error.h"
#include "store/entries.h"
#include "store/snapshot.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

std::vector<std::string> card(const std::string& name) {
    return {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:" + name, "TEL;CELL:0901", "END:VCARD"};
}

TEST(Store, ColumnsAreTheNumbersOneToEightyThenId) {
    Store store = Store::inMemory();
    Connection connection = store.open();
    Statement statement = connection.prepare("select * from radio_v401sh;");
    ASSERT_EQ(statement.columnCount(), 81);
    Statement info = connection.prepare("pragma table_info(radio_v401sh);");
    for (int position = 0; info.step(); ++position) {
        std::string expected = position < 80 ? std::to_string(position + 1) : "id";
        EXPECT_EQ(info.text(1), expected);
    }
}

TEST(Store, PositionZeroIsColumnOneAndLaterColumnsStayNull) {
    Store store = Store::inMemory();
    Connection connection = store.open();
    std::vector<std::string> columns(80);
    for (int c = 0; c < 80; ++c) columns[c] = "L" + std::to_string(c + 1);
    columns[0] = "BEGIN:VCARD";
    EntryInserter inserter(connection);
    inserter.insert(columns);
    inserter.insert(card("x"));
    std::vector<EntryRow> rows;
    forEachEntry(connection, [&](const EntryRow& row) { rows.push_back(row); });
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at(0), "BEGIN:VCARD");
    EXPECT_EQ(rows[0].at(79), "L80");
    EXPECT_EQ(rows[0].at(80), "");
    EXPECT_FALSE(rows[1].columns[4].has_value());
    EXPECT_EQ(rows[1].at(4), "");
}

// Rows are read ahead in batches whose rows are reused: every row must still come with its own
// columns and nothing of the row read into its place before. Rows are stored one by one and
// many to a statement, of every width, with what they hold beyond the phone's lines and keys.
TEST(Store, ManyRowsOfMixedLengthsComeBackInOrderEachWithItsOwnColumns) {
    Store store = Store::inMemory();
    Connection connection = store.open();
    EntryInserter inserter(connection);
    auto columnsOf = [](int row) {
        std::vector<std::string> columns(row % 97 == 0 ? 80 : row % 89 == 0 ? 57 : 2 + row % 40);
        for (size_t c = 0; c < columns.size(); ++c)
            columns[c] = std::to_string(row) + ":" + std::to_string(c);
        return columns;
    };
    auto extrasOf = [](int row) { return row % 5 == 0 ? "NOTE:" + std::to_string(row) : ""; };
    // Rows 2k and 2k + 1 share a key when both have one.
    auto keysOf = [](int row) {
        return row % 4 < 2 ? std::vector<std::int64_t>{(row / 2) * 8 + 1}
                           : std::vector<std::int64_t>{};
    };
    constexpr int kRows = 3000;
    for (int row = 0; row < 500; ++row) inserter.insert(columnsOf(row));
    std::vector<std::vector<std::string>> columns;
    std::vector<std::string> extras;
    std::vector<std::vector<std::int64_t>> keys;
    for (int row = 500; row < kRows; ++row) {
        columns.push_back(columnsOf(row));
        extras.push_back(extrasOf(row));
        keys.push_back(keysOf(row));
    }
    std::vector<NewEntry> entries;
    for (size_t e = 0; e < columns.size(); ++e) entries.push_back({columns[e], extras[e], keys[e]});
    std::vector<std::int64_t> firsts;
    for (size_t done = 0, turn = 0; done < entries.size(); ++turn) {
        size_t count =
            std::min(entries.size() - done, std::vector<size_t>{1, 16, 33, 256}[turn % 4]);
        firsts.push_back(inserter.insertAll(std::span(entries).subspan(done, count)));
        done += count;
    }
    EXPECT_EQ(firsts.front(), 501);
    EXPECT_EQ(firsts[1], 502);
    EXPECT_EQ(firsts[2], 518);

    std::vector<SharedKey> shared = sharedKeys(connection);
    ASSERT_EQ(shared.size(), (kRows - 500) / 2);
    for (size_t k = 0; k < shared.size(); k += 2) {
        int row = static_cast<int>(shared[k].id) - 1;
        EXPECT_EQ(shared[k].key, (row / 2) * 8 + 1);
        EXPECT_EQ(shared[k + 1].id, shared[k].id + 1);
    }

    // An update that shortens a card leaves nothing of its old lines.
    std::int64_t shortened = 0;
    forEachEntry(connection, [&](const EntryRow& row) {
        if (!shortened) shortened = row.id;
    });
    ASSERT_TRUE(updateEntry(connection, shortened, {"0:0"}));

    int seen = 0;
    forEachEntry(connection, [&](const EntryRow& row) {
        EXPECT_EQ(row.id, seen + 1);
        std::vector<std::string> expected =
            seen == 0 ? std::vector<std::string>{"0:0"} : columnsOf(seen);
        for (int c = 0; c < 80; ++c) {
            if (static_cast<size_t>(c) < expected.size())
                EXPECT_EQ(row.at(c), expected[c]) << "row " << seen << " column " << c;
            else
                EXPECT_FALSE(row.columns[c].has_value()) << "row " << seen << " column " << c;
        }
        std::string extra = seen >= 500 ? extrasOf(seen) : "";
        EXPECT_EQ(row.extras, extra.empty() ? std::vector<std::string>{} : std::vector{extra})
            << "row " << seen;
        ++seen;
    });
    EXPECT_EQ(seen, kRows);

    // A visit that gives up half way ends the reading with its error, and the store can be
    // read again at once.
    int visited = 0;
    EXPECT_THROW(forEachEntry(connection,
                              [&](const EntryRow&) {
                                  if (++visited == 1500) throw TsunagiError("stop");
                              }),
                 TsunagiError);
    EXPECT_EQ(visited, 1500);
    EXPECT_EQ(countEntries(connection), kRows);
}

// A look on the reading thread sees every row with what it holds beyond the phone's lines
// before the row is visited, while a visit without extras gets none.
TEST(Store, ALookSeesEachRowWholeBeforeItsVisit) {
    Store store = Store::inMemory();
    Connection connection = store.open();
    EntryInserter inserter(connection);
    for (int i = 0; i < 1000; ++i) {
        std::vector<std::string> columns = card(std::to_string(i)), extras;
        if (i % 3 == 0) extras.push_back("NOTE:" + std::to_string(i));
        inserter.insert(columns, extras);
    }
    std::vector<std::uint8_t> looked(lastEntryId(connection) + 1, 0);
    EXPECT_EQ(looked.size(), 1001u);
    int visited = 0;
    forEachEntry(
        connection,
        [&](const EntryRow& row) {
            EXPECT_EQ(looked[row.id], (row.id - 1) % 3 ? 1 : 2) << row.id;
            EXPECT_TRUE(row.extras.empty());
            ++visited;
        },
        false,
        [&](const EntryRow& row, std::string_view extras) {
            EXPECT_TRUE(row.extras.empty());
            EXPECT_EQ(extras, row.id % 3 == 1 ? "NOTE:" + std::to_string(row.id - 1) : "");
            looked[row.id] = extras.empty() ? 1 : 2;
        });
    EXPECT_EQ(visited, 1000);
}

TEST(Store, IdsRiseAreNeverReusedAndContinueAfterDeletes) {
    TempFolder folder;
    std::string path = folder.file("keitai.mdb");
    Store::createFile(path);
    Store store(connectionStringFor(path));
    std::vector<std::int64_t> ids;
    {
        Connection connection = store.open();
        EntryInserter inserter(connection);
        for (int i = 0; i < 3; ++i) inserter.insert(card(std::to_string(i)));
        forEachEntry(connection, [&](const EntryRow& row) { ids.push_back(row.id); });
        deleteEntry(connection, ids[1]);
        deleteEntry(connection, ids[2]);
    }
    {
        // A later connection, as in a later run, still counts on.
        Connection connection = store.open();
        clearEntries(connection);
        EntryInserter(connection).insert(card("after"));
        std::vector<std::int64_t> later;
        forEachEntry(connection, [&](const EntryRow& row) { later.push_back(row.id); });
        ASSERT_EQ(later.size(), 1u);
        EXPECT_GT(later[0], ids[2]);
    }
    EXPECT_LT(ids[0], ids[1]);
    EXPECT_LT(ids[1], ids[2]);
}

// The store's key is made once per run and handed to SQLCipher raw: it must be the key SQLCipher
// makes of the password and the file's salt, and a file replaced by another store (another salt)
// still opens.
TEST(Store, TheKeyMadeOnceIsTheKeySqlcipherMakesOfThePassword) {
    EXPECT_EQ(derivedKeyHex("password", "salt", 4096).substr(0, 40),
              "4B007901B765489ABEAD49D926F721D065A429C1");  // RFC 6070
    TempFolder folder;
    std::string path = folder.file("keitai.mdb"), other = folder.file("other.mdb");
    Store::createFile(path);
    Store::createFile(other);
    Store store(connectionStringFor(path));
    for (int i = 0; i < 2; ++i) {
        Connection connection = store.open();
        EntryInserter(connection).insert(card(std::to_string(i)));
    }

    std::string text = connectionStringFor(path), marker = "Password=";
    size_t from = text.rfind(marker) + marker.size();
    std::string password = text.substr(from, text.find(';', from) - from);
    std::string salt(16, '\0');
    std::ifstream(path, std::ios::binary).read(salt.data(), 16);
    // Opened by SQLCipher itself, with the key made here and with the password.
    auto countWith = [&](const std::string& key) {
        sqlite3* raw = nullptr;
        int count = -1;
        if (sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
            sqlite3_exec(raw, ("PRAGMA key = \"" + key + "\";").c_str(), nullptr, nullptr,
                         nullptr) == SQLITE_OK)
            sqlite3_exec(
                raw, "select count(*) from radio_v401sh;",
                [](void* out, int, char** values, char**) {
                    *static_cast<int*>(out) = std::atoi(values[0]);
                    return 0;
                },
                &count, nullptr);
        sqlite3_close(raw);
        return count;
    };
    EXPECT_EQ(countWith("x'" + derivedKeyHex(password, salt, 64000) + "'"), 2);
    // A store rewritten whole through a raw key still opens with the password.
    store.open().execute("VACUUM;");
    EXPECT_EQ(countWith(password), 2);

    std::filesystem::copy_file(other, path, std::filesystem::copy_options::overwrite_existing);
    Connection connection = store.open();
    EXPECT_EQ(countEntries(connection), 0);
}

TEST(Store, TextsWithApostrophesAndJoinsRoundTripExactly) {
    Store store = Store::inMemory();
    Connection connection = store.open();
    std::vector<std::string> columns = {"BEGIN:VCARD",
                                        "N;CHARSET=SHIFT_JIS:O'Brien;'; drop table x;--",
                                        "TEL;CELL:0901<>TEL;VOICE:03<>", "a\r\nb", "END:VCARD"};
    EntryInserter(connection).insert(columns);
    std::vector<EntryRow> rows;
    forEachEntry(connection, [&](const EntryRow& row) { rows.push_back(row); });
    ASSERT_EQ(rows.size(), 1u);
    for (size_t c = 0; c < columns.size(); ++c) EXPECT_EQ(rows[0].at(c), columns[c]);
}

TEST(Store, WrongKeyMissingFileAndGarbageFailToOpenNamingTheFile) {
    TempFolder folder;
    std::string path = folder.file("keitai.mdb");
    Store::createFile(path);
    std::string wrong = "data source=" + path + ";Database Password=wrong;";
    try {
        Store(wrong).open();
        FAIL() << "a wrong key opened the store";
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.file(), path);
    }
    EXPECT_THROW(Store(connectionStringFor(folder.file("missing.mdb"))).open(), TsunagiError);
    EXPECT_FALSE(std::filesystem::exists(folder.file("missing.mdb")));
    std::string garbage = folder.write("garbage.mdb", std::string(4096, 'x'));
    EXPECT_THROW(Store(connectionStringFor(garbage)).open(), TsunagiError);
    EXPECT_NO_THROW(Store(connectionStringFor(path)).open());
}

TEST(Store, AFolderWithASemicolonSurvivesTheConnectionText) {
    Store store(ConnectionString("/opt/a;b"));
    EXPECT_EQ(store.databasePath(), "/opt/a;b/database/keitai.mdb");
}

TEST(Store, TooManyLinesForOneRowIsRefusedAndTransactionRollsBack) {
    Store store = Store::inMemory();
    Connection connection = store.open();
    {
        Transaction transaction(connection);
        EntryInserter inserter(connection);
        inserter.insert(card("kept only if committed"));
        EXPECT_THROW(inserter.insert(std::vector<std::string>(81, "x:y")), TsunagiError);
    }
    EXPECT_EQ(countEntries(connection), 0);
}

// Entries read in ascending id, near ones stepped to and far ones sought, come as each read by
// its id does: the wide ones whole, each with its own kept lines, none for a missing id.
TEST(Store, EntriesReadInOrderAreThoseReadByTheirIds) {
    Store store = Store::inMemory();
    Connection connection = store.open();
    EntryInserter inserter(connection);
    std::vector<std::string> wide = card("wide");
    for (int line = 0; line < 40; ++line)
        wide.insert(wide.end() - 1, "NOTE:" + std::to_string(line));
    for (int i = 1; i <= 120; ++i) {
        std::vector<std::string> extras;
        if (i % 3 == 0) extras.push_back("NOTE:kept " + std::to_string(i));
        inserter.insert(i % 7 == 0 ? wide : card("n" + std::to_string(i)), extras);
    }
    EntryById byId(connection);
    for (std::int64_t gone : {5, 6, 9, 60}) byId.erase(gone);
    EntriesInOrder inOrder(connection);
    EntryRow walked, sought;
    for (std::int64_t id : {1, 2, 3, 5, 7, 8, 9, 12, 30, 31, 60, 61, 100, 119, 120, 121, 500}) {
        bool found = byId.read(id, sought);
        ASSERT_EQ(inOrder.read(id, walked), found) << id;
        if (!found) continue;
        EXPECT_EQ(walked.id, id);
        EXPECT_EQ(walked.columns, sought.columns) << id;
        EXPECT_EQ(walked.extras, sought.extras) << id;
    }
}

// A snapshot gives the list back as it was: ids, lines and kept lines (any bytes) all.
TEST(Store, ASnapshotPutsTheListBackAsItWas) {
    Store store = Store::inMemory();
    Connection connection = store.open();
    EntryInserter inserter(connection);
    inserter.insert(card("山田"), std::vector<std::string>{"NOTE:a\\nb", "X-A;TYPE=x:\xff"});
    inserter.insert(card("second"));
    inserter.insert(card("gone later"));
    std::vector<EntryRow> before;
    forEachEntry(
        connection, [&](const EntryRow& row) { before.push_back(row); }, true);
    StoreSnapshot snapshot = takeSnapshot(connection);
    EntryById(connection).erase(before[2].id);
    inserter.insert(card("added later"));
    restoreSnapshot(connection, snapshot);
    std::vector<EntryRow> after;
    forEachEntry(
        connection, [&](const EntryRow& row) { after.push_back(row); }, true);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].id, before[i].id);
        EXPECT_EQ(after[i].columns, before[i].columns);
        EXPECT_EQ(after[i].extras, before[i].extras);
    }
}

// A temporary store lives in a file of its own, which goes with the last connection to it; it
// holds and rolls back as any store does.
TEST(Store, ATemporaryStoreIsAFileThatGoesWithItsLastConnection) {
    TempFolder folder;
    std::string path;
    {
        setenv("TMPDIR", folder.path().c_str(), 1);
        Store store = Store::temporary();
        unsetenv("TMPDIR");
        path = store.databasePath();
        EXPECT_EQ(path.rfind(folder.path(), 0), 0u) << path;
        Connection connection = store.open();
        EntryInserter(connection).insert(card("kept"));
        {
            Transaction transaction(connection);
            EntryInserter(connection).insert(card("rolled back"));
        }
        store = Store::inMemory();  // the connection still holds the file
        EXPECT_TRUE(std::filesystem::exists(path));
        EXPECT_EQ(countEntries(connection), 1);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

}  // namespace
}  // namespace tsunagi
