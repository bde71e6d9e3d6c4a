#include "card/entry_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "card/checks.h"
#include "card/unicode.h"
#include "import/vcf_import.h"
#include "merge/duplicates.h"
#include "store/entries.h"
#include "store/snapshot.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

// The entries that share each key, as sets of ids.
std::set<std::vector<std::int64_t>> sharing(Connection& connection, HeldKeys* held = nullptr) {
    std::set<std::vector<std::int64_t>> runs;
    std::vector<std::int64_t> run;
    std::optional<std::int64_t> key;
    for (const SharedKey& shared : sharedEntryKeys(connection, nullptr, held)) {
        if (key && *key != shared.key) runs.insert(std::exchange(run, {}));
        key = shared.key;
        run.push_back(shared.id);
    }
    if (!run.empty()) runs.insert(run);
    return runs;
}

int keyRows(Connection& connection) {
    Statement count = connection.prepare("select count(*) from entry_keys;");
    count.step();
    return static_cast<int>(count.integer(0));
}

TEST(EntryKeys, MadeWhenAFileIsReadAndKeptInStepWithEveryChange) {
    TempFolder folder;
    std::string path = folder.write(
        "backup.vcf",
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:Yamada;Taro\r\nTEL;CELL:090-1111-"
        "2222\r\n"
        "X-JPG-MDNO:1\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:Suzuki;Hanako\r\nEMAIL;INTERNET:hanako@"
        "example.jp\r\n"
        "X-JPG-MDNO:2\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:Sato;Ken\r\nTEL;CELL:09033334444\r\n"
        "X-JPG-MDNO:3\r\nEND:VCARD\r\n");
    Store store = Store::inMemory();
    ASSERT_EQ(importVcfFile(store, path), 3);
    Connection connection = store.open();
    EXPECT_EQ(keyRows(connection), 3);  // made by the import, not by the finding
    EXPECT_TRUE(sharing(connection).empty());
    // The keys an import makes from the lines it hands over are those of the stored row.
    EntryKeyMaker maker;
    std::optional<EntryRow> row = readEntry(connection, 1);
    ASSERT_TRUE(row);
    std::vector<std::string> lines;
    for (const std::optional<std::string>& column : row->columns)
        if (column) lines.push_back(*column);
    std::vector<std::int64_t> fromLines = maker.keysOf(lines);
    EXPECT_EQ(fromLines, maker.keysOf(*row));

    // An edited entry loses its keys and has them made anew from what it now holds: Sato now
    // has Yamada's number.
    ASSERT_TRUE(updateEntry(connection, 3,
                            {"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:Sato;Ken",
                             "TEL;CELL:09011112222", "X-JPG-MDNO:3", "END:VCARD"}));
    EXPECT_EQ(keyRows(connection), 2);
    EXPECT_EQ(sharing(connection), (std::set<std::vector<std::int64_t>>{{1, 3}}));
    EXPECT_EQ(keyRows(connection), 3);
    // Its name in what it holds beyond the phone's lines changes nothing of its keys, but they
    // are made anew all the same.
    writeExtras(connection, 2, {"NICKNAME:Hana"});
    EXPECT_EQ(keyRows(connection), 2);
    deleteEntry(connection, 1);
    EXPECT_TRUE(sharing(connection).empty());
    EXPECT_EQ(keyRows(connection), 2);

    // Undo puts rows back without keys; they are made when next asked for.
    StoreSnapshot before = takeSnapshot(connection);
    clearEntries(connection);
    EXPECT_EQ(keyRows(connection), 0);
    restoreSnapshot(connection, before);
    EXPECT_EQ(keyRows(connection), 0);
    EXPECT_TRUE(sharing(connection).empty());
    EXPECT_EQ(keyRows(connection), 2);

    // A store that leaves its keys until asked imports none, and then finds the same.
    Store lazy = Store::inMemory();
    lazy.leaveKeysUntilAsked();
    ASSERT_EQ(importVcfFile(lazy, path), 3);
    ASSERT_EQ(importVcfFile(lazy, path), 3);
    Connection unkeyed = lazy.open();
    EXPECT_EQ(keyRows(unkeyed), 0);
    EXPECT_EQ(sharing(unkeyed), (std::set<std::vector<std::int64_t>>{{1, 4}, {2, 5}, {3, 6}}));
    EXPECT_EQ(keyRows(unkeyed), 6);

    // A store that holds its keys in memory finds by them until anything else changes a row,
    // the number of entries staying the same; then by keys made from the entries.
    Store held = Store::inMemory();
    held.holdKeysInMemory();
    ASSERT_EQ(importVcfFile(held, path), 3);
    ASSERT_EQ(importVcfFile(held, path), 3);
    Connection changed = held.open();
    EXPECT_EQ(sharing(changed, held.heldKeys()),
              (std::set<std::vector<std::int64_t>>{{1, 4}, {2, 5}, {3, 6}}));
    EXPECT_EQ(keyRows(changed), 0);
    ASSERT_TRUE(updateEntry(changed, 4,
                            {"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:Ito;Jun",
                             "TEL;CELL:09055556666", "X-JPG-MDNO:1", "END:VCARD"}));
    EXPECT_EQ(sharing(changed, held.heldKeys()),
              (std::set<std::vector<std::int64_t>>{{2, 5}, {3, 6}}));
    EXPECT_EQ(keyRows(changed), 6);
}

TEST(EntryKeys, KeysMadeAnotherWayOrMissingAreMadeAnew) {
    Store store = Store::inMemory();
    {
        Connection connection = store.open();
        EntryInserter inserter(connection);
        inserter.insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:A", "TEL;CELL:1", "END:VCARD"});
        inserter.insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:B", "TEL;CELL:2", "END:VCARD"});
        inserter.insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:A", "TEL;CELL:1", "END:VCARD"});
        // Keys of another build that would tie 1 and 2 and miss 3.
        connection.execute("PRAGMA user_version = 999;");
        KeyWriter writer(connection);
        writer.write(1, std::vector<std::int64_t>{42});
        writer.write(2, std::vector<std::int64_t>{42});
    }
    std::vector<DuplicateGroup> groups = findDuplicates(store);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].entries.front().id, 1);
    EXPECT_EQ(groups[0].entries.back().id, 3);

    // A store of a build that had no keys at all gets their table and finds the same.
    Connection connection = store.open();
    connection.execute("DROP TABLE entry_keys;");
    ensureStoreTables(connection);
    EXPECT_EQ(sharing(connection), (std::set<std::vector<std::int64_t>>{{1, 3}}));
}

TEST(EntryKeys, SharedKeysOfAManyEntriesAreInKeyThenIdOrder) {
    // Enough keys to be sorted by their highest sixteen bits first: keys of both signs, keys
    // that differ only in their highest bits, keys that differ only in their lowest, each
    // shared by a few entries or by many, written in no order.
    Store store = Store::inMemory();
    Connection connection = store.open();
    std::map<std::int64_t, std::vector<std::int64_t>> expected;
    std::uint64_t state = 12345;
    auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state;
    };
    {
        Transaction transaction(connection);
        KeyWriter writer(connection);
        for (std::int64_t n = 0; n < 6000; ++n) {
            std::int64_t id = (n * 7919) % 6000 + 1;  // every id once, in no order
            std::vector<std::int64_t> keys;
            keys.push_back(static_cast<std::int64_t>(next() % 1500 * 0x0001000100010001ULL));
            keys.push_back(static_cast<std::int64_t>((next() % 4096) << 52));
            if (keys[1] == keys[0]) keys.pop_back();
            if (n % 3 == 0)
                keys.push_back(static_cast<std::int64_t>(0x7777000000000000ULL | next() % 64));
            for (std::int64_t key : keys) expected[key].push_back(id);
            writer.write(id, keys);
        }
        transaction.commit();
    }
    std::vector<SharedKey> want;
    for (auto& [key, ids] : expected) {
        std::sort(ids.begin(), ids.end());
        if (ids.size() > 1)
            for (std::int64_t id : ids) want.push_back({key, id});
    }
    int keyed = 0;
    std::vector<SharedKey> got = sharedKeys(connection, &keyed);
    EXPECT_EQ(keyed, 6000);
    ASSERT_EQ(got.size(), want.size());
    for (size_t k = 0; k < want.size(); ++k) {
        ASSERT_EQ(got[k].key, want[k].key) << k;
        ASSERT_EQ(got[k].id, want[k].id) << k;
    }
}

TEST(EntryKeys, EntriesOfOneContentKeyCompareTheSameAndOthersInOneOrder) {
    auto row = [](std::vector<std::optional<std::string>> lines) {
        EntryRow made;
        made.columns = std::move(lines);
        made.columns.resize(kCardColumns);
        return made;
    };
    const std::vector<EntryRow> rows = {
        row({"N:a", "TEL:1", "X-JPG-MDNO:1"}),
        row({"N:a", "TEL:1", "X-JPG-MDNO:2"}),        // another memory-dial number only
        row({"N:a", std::nullopt, "", "TEL:1"}),      // the same lines further apart
        row({"N:a", "TEL:2"}),                        // another number
        row({"N:a", "TEL:1", "EMAIL:a@example.jp"}),  // a line more
        row({"N:a"}),                                 // a line less
        row({"N:aTEL:1"}),                            // the same bytes in other lines
        row({}),
    };
    for (const EntryRow& one : rows)
        for (const EntryRow& other : rows)
            EXPECT_EQ(sameContent(one, other), contentKey(one) == contentKey(other))
                << contentKey(one) << " / " << contentKey(other);
    // An order: one comes before the other as the other comes after it, the same way each time.
    for (const EntryRow& one : rows)
        for (const EntryRow& other : rows) {
            int there = compareContent(one, other), back = compareContent(other, one);
            EXPECT_EQ((there < 0), (back > 0));
            for (const EntryRow& third : rows) {
                if (there < 0 && compareContent(other, third) < 0) {
                    EXPECT_LT(compareContent(one, third), 0);
                }
            }
        }
    EXPECT_TRUE(sameContent(rows[0], rows[2]));
    EXPECT_FALSE(sameContent(rows[0], rows[6]));
}

TEST(EntryKeys, EachKindIsItsOwnAndAStoredKeyNeverChanges) {
    // A number and a mail of the same text are different keys.
    EXPECT_NE(keyOf(KeyKind::Number, "x"), keyOf(KeyKind::Mail, "x"));
    EXPECT_EQ(kindOf(keyOf(KeyKind::Name, "山田太郎")), KeyKind::Name);
    EXPECT_EQ(kindOf(keyOf(KeyKind::Content, "")), KeyKind::Content);
    // Stored keys outlive the program: the hash is ours and fixed. FNV-1a of "" is
    // cbf29ce484222325; its mix and the kind give this.
    EXPECT_EQ(keyOf(KeyKind::Number, "09011112222"), keyOf(KeyKind::Number, "09011112222"));
    std::uint64_t h = 0xcbf29ce484222325ULL;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    EXPECT_EQ(static_cast<std::uint64_t>(keyOf(KeyKind::Mail, "")), (h & ~7ULL) | 4);
}

TEST(EntryKeys, ACardsKeysAreThoseOfItsNumbersAndMailsAsWritten) {
    // Plain numbers and mails are keyed as they are scanned; others by their text: one key
    // either way.
    const std::vector<std::string> numbers = {"090-1111-2222", "(03) 1234.5678", "+81 90 1111 2222",
                                              "03-1234-5678 内線 12", "---"},
                                   mails = {"Taro@Example.JP", " taro@example.jp ", "太郎@例.jp",
                                            "a\tb@example.jp"};
    std::vector<std::string> columns = {"N;CHARSET=SHIFT_JIS:山田;太郎"};
    std::string numberLine = "TEL;CELL:" + numbers[0], mailLine = "EMAIL;INTERNET:" + mails[0];
    for (size_t i = 1; i < numbers.size(); ++i) numberLine += "<>TEL;VOICE:" + numbers[i];
    for (size_t i = 1; i < mails.size(); ++i) mailLine += "<>EMAIL;INTERNET:" + mails[i];
    columns.push_back(numberLine);
    columns.push_back(mailLine);
    std::set<std::int64_t> expected = {keyOf(KeyKind::Name, personNameKey("山田;太郎"))};
    for (const std::string& number : numbers)
        if (std::string key = numberKey(number); !key.empty())
            expected.insert(keyOf(KeyKind::Number, key));
    for (const std::string& mail : mails) expected.insert(keyOf(KeyKind::Mail, mailKey(mail)));
    EntryKeyMaker maker;
    const std::vector<std::int64_t>& made = maker.keysOf(std::span<const std::string>(columns));
    EXPECT_EQ(std::set<std::int64_t>(made.begin(), made.end()), expected);
    EXPECT_EQ(made.size(), expected.size());  // each once
}

}  // namespace
}  // namespace tsunagi
