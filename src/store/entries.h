#pragma once

// Rows of the entry table. A row holds one card: its lines in the numbered columns "1" to "80"
// in order, without gaps; position p of a row is column p + 1 and position 80 is the id.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "store/store.h"

namespace tsunagi {

inline constexpr int kCardColumns = 80;

struct EntryRow {
    std::int64_t id = 0;
    std::vector<std::optional<std::string>> columns;  // kCardColumns values, null where unused
    // What the card holds beyond the phone's lines: vCard 3.0 content lines in UTF-8,
    // unfolded, with their groups ("ORG:明治商会;", "item1.X-ABLabel:London office").
    std::vector<std::string> extras;

    // The value at position p (0 to 79); null and out-of-range positions read as "".
    const std::string& at(int position) const {
        static const std::string empty;
        if (position < 0 || position >= static_cast<int>(columns.size()) || !columns[position])
            return empty;
        return *columns[position];
    }
};

// Stores an entry's keys in place of those it had.
class KeyWriter {
  public:
    explicit KeyWriter(Connection& connection);
    void write(std::int64_t id, std::span<const std::int64_t> keys);

  private:
    Statement insert_;
    std::string bytes_;
};

// A card's lines hashed with a key of this run alone, where a merge of the card with a card of
// the same lines would change none of them: two entries of one print are one card stored twice,
// and such a merge deletes the second without reading either. None (zero) otherwise.
struct CardPrint {
    std::uint64_t value = 0;
    explicit operator bool() const { return value != 0; }
    bool operator==(const CardPrint&) const = default;
};

// One entry as an importer hands it to the store: its card's lines, what it holds beyond them
// (joined, see joinExtras), what it is found by (none: made when next asked for) and its print
// (for a store that holds its keys in memory).
struct NewEntry {
    std::span<const std::string> columns;
    std::string_view joinedExtras;
    std::span<const std::int64_t> keys;
    CardPrint print{};
};

// Throws TsunagiError when a card has more lines than the table has columns.
void checkCardColumns(size_t count);

// Inserts (id, value) rows into a table of two columns, several rows to a statement: a
// statement's own cost is as much as a short row's.
class PairRows {
  public:
    // `table`: "entry_keys (entry_id, keys)"; `blob`: whether the values are bytes.
    PairRows(Connection& connection, std::string_view verb, std::string_view table, bool blob);
    // The value must stay as it is until flush.
    void add(std::int64_t id, std::string_view value);
    void flush();

  private:
    void bindRow(Statement& statement, int row, std::int64_t id, std::string_view value);

    Statement many_;
    Statement one_;
    bool blob_;
    std::vector<std::pair<std::int64_t, std::string_view>> pending_;
};

// The insert that every importer and the input form use: prepared once, reused for each card.
class EntryInserter {
  public:
    explicit EntryInserter(Connection& connection);
    // Stores the card's lines in columns 1, 2, 3, …, and what it holds beyond them; throws
    // TsunagiError when the lines are more than the table has columns. Returns the new id.
    std::int64_t insert(std::span<const std::string> columns,
                        std::span<const std::string> extras = {});
    std::int64_t insert(const std::vector<std::string>& columns) {
        return insert(std::span(columns));
    }
    // The same with the extras already joined (joinExtras), as a reader on another thread
    // hands them over.
    // `keys`: what the entry is found by when the same person is sought (entry_keys); an entry
    // stored without them has its keys made when they are next asked for.
    std::int64_t insertJoined(std::span<const std::string> columns, std::string_view joinedExtras,
                              std::span<const std::int64_t> keys = {});
    // Stores the entries in their order under consecutive ids, several to a statement (the
    // counter key costs each statement as much as a row); returns the first id, 0 for none.
    std::int64_t insertAll(std::span<const NewEntry> entries);

  private:
    std::int64_t insertRow(std::span<const std::string> columns);
    std::int64_t insertRows(std::span<const NewEntry> entries, int width);
    // A statement inserting several rows at once, and for each of its rows how many columns
    // may still hold a value from the rows it inserted last.
    struct RowsStatement {
        Statement statement;
        std::vector<size_t> bound;
    };
    RowsStatement& rowsStatement(int width);

    Connection& connection_;
    Statement statement_;
    std::string joined_;
    size_t boundColumns_ = kCardColumns;  // columns that may still hold a value from the last card
    // Statements inserting several rows at once, by the columns they name (8, 16, … 56).
    std::vector<std::optional<RowsStatement>> rowsStatements_;
    PairRows keyRows_;
    PairRows extraRows_;
    std::string keyBytes_;
    std::vector<size_t> keyEnds_;
};

// A row's keys as entry_keys stores them: 8 bytes each, least significant first.
void appendKeyBytes(std::span<const std::int64_t> keys, std::string& bytes);

// Calls `visit` for every row in ascending id. The rows are read ahead on another thread, so
// `visit` must not use the store itself.
// Without `withExtras`, what the entries hold beyond the phone's lines is not read (their rows'
// extras stay empty): the writers of the phone's own formats have no place for it.
// `look`, when given, is called on the reading thread with each row as it is read and what it
// holds beyond the phone's lines (joined by line breaks, as stored, whether or not the row's
// extras are read), before the row is handed to `visit`: work that needs the row alone goes on
// beside the visits.
using RowLook = std::function<void(const EntryRow&, std::string_view extras)>;
void forEachEntry(Connection& connection, const std::function<void(const EntryRow&)>& visit,
                  bool withExtras = true, const RowLook& look = {});

// One entry as a writer takes it: its row and its number in writing order, counted from 1.
using EntryVisit = std::function<void(const EntryRow& row, int number)>;

// The entries a writer lays out, in ascending id: how many there are, and a walk over them.
// The save command takes them from the store; tests hold them in memory.
struct EntryRows {
    int count = 0;
    std::function<void(const EntryVisit&)> forEach;
    // The store's identity seed, from which entries without a UID of their own have theirs;
    // "" for rows held in memory, whose UIDs are then made from what they hold.
    std::string uidSeed;
};

// The entries of the store behind `connection`: counted now, read as they are visited.
EntryRows storedRows(Connection& connection, bool withExtras = true, RowLook look = {});
// The highest id an entry has, 0 for none.
std::int64_t lastEntryId(Connection& connection);
// Rows held in memory, numbered in their order.
EntryRows heldRows(std::vector<EntryRow> rows);

std::optional<EntryRow> readEntry(Connection& connection, std::int64_t id);

// Reads entries in ascending id: one near the last read by stepping on to it, one far off by
// seeking it, so that runs of neighbours cost far less than reading each by its id. The store
// must not change while it reads.
class EntriesInOrder {
  public:
    explicit EntriesInOrder(Connection& connection);
    // Reads into `row`, reusing the strings it holds; false when no entry has that id. Each id
    // asked for is above the one before.
    bool read(std::int64_t id, EntryRow& row);

  private:
    // Rows in ascending id from one sought, and the row it stands on.
    struct Walk {
        Statement statement;
        int idColumn;
        bool on = false;
        bool past = false;  // past the last row
        std::int64_t at = 0;
        // Stands on the first row of `id` or above; false where none is.
        bool reach(std::int64_t id);
    };
    Walk rows_, extras_;
    Statement whole_;  // a row of more columns than the walk reads
};

// What may be stored beside an entry's row: where the caller knows there is none of it, it is
// not sought to be deleted.
struct StoredBeside {
    bool extras = true;  // lines beyond the phone's
    bool keys = true;
};

// Reads, rewrites and deletes entries by id with statements prepared once: for the many entries
// that merging duplicates touches. A rewritten entry loses its keys until they are made anew.
class EntryById {
  public:
    explicit EntryById(Connection& connection);
    std::optional<EntryRow> read(std::int64_t id);
    // Reads into `row`, reusing the strings it holds; false when no entry has that id.
    bool read(std::int64_t id, EntryRow& row);
    void erase(std::int64_t id, StoredBeside beside = {});
    // The same for every entry of ids `first` to `last`, in one statement each.
    void eraseRange(std::int64_t first, std::int64_t last, StoredBeside beside = {});
    // Rewrites columns 1 to n with `columns`, empties the columns after them and replaces what
    // the entry holds beyond them.
    void rewrite(std::int64_t id, const std::vector<std::string>& columns,
                 const std::vector<std::string>& extras, StoredBeside beside = {});
    // Replaces only what the entry holds beyond its columns; its columns, and so its keys, stay.
    void rewriteExtras(std::int64_t id, const std::vector<std::string>& extras,
                       StoredBeside beside = {});

  private:
    Statement selectFirst_;  // the first columns alone
    Statement select_;
    Statement delete_;
    Statement update_;
    Statement deleteExtras_;
    Statement insertExtras_;
    Statement deleteKeys_;
    std::string joined_;
    size_t boundColumns_ = 0;  // the columns the update has bound
};

// Whether the keys of any entry are stored beside it.
bool keysStored(Connection& connection);

// What an entry holds beyond the phone's lines as it is stored: one content line to a line.
void joinExtras(std::span<const std::string> extras, std::string& joined);

// What an entry holds beyond the phone's lines, in their order.
// An entry row in one string, each column and line behind its length, so that any bytes it
// holds come back as they were; held in far less memory than the row's strings.
void packRow(const EntryRow& row, std::string& packed);
void unpackRow(std::string_view packed, EntryRow& row);

std::vector<std::string> readExtras(Connection& connection, std::int64_t id);
// Replaces what an entry holds beyond the phone's lines.
void writeExtras(Connection& connection, std::int64_t id, const std::vector<std::string>& extras);
// Makes a store of an older build able to keep what cards hold beyond the phone's lines and the
// keys they are found by.
void ensureStoreTables(Connection& connection);

// The entries one file gave, by their ids, and whether it was the phone's own backup.
struct EntryFile {
    std::int64_t firstId = 0, lastId = 0;
    bool phoneOwn = false;
};
void recordEntryFile(Connection& connection, const EntryFile& file);
// Every file recorded, in ascending first id.
std::vector<EntryFile> entryFiles(Connection& connection);

// The keys of the entries, as duplicates are found by them. `version` counts the way they are
// made: keys made another way are forgotten, to be made anew.
void forgetKeysUnlessMadeBy(Connection& connection, int version);
// The entries that have no keys, in ascending id.
std::vector<std::int64_t> unkeyedEntries(Connection& connection);
// Every key that two or more entries share, with each of them: ordered by key, then by id.
// `keyedEntries`, when given, is set to the number of entries that have keys.
struct SharedKey {
    std::int64_t key;
    std::int64_t id;
};
// `kinds`, when given, gets for each entry with keys, in the order of the table, its id and the
// kinds of all its keys as bits (1 << the key's lowest three bits).
struct EntryKeyKinds {
    std::int64_t id;
    CardPrint print{};  // held in memory only
    unsigned kinds;
};
std::vector<SharedKey> sharedKeys(Connection& connection, int* keyedEntries = nullptr,
                                  std::vector<EntryKeyKinds>* kinds = nullptr);

// The keys of every entry imported into a store that holds them in memory
// (Store::holdKeysInMemory), as the imports committed them.
struct HeldKeys {
    std::vector<SharedKey> keys;       // in ascending id, unless sorted
    bool sorted = false;               // by key, then id
    std::vector<EntryKeyKinds> kinds;  // every entry imported, those without keys too
    // False once something else changed the entries: the keys say nothing any more.
    bool whole = true;
    // The rows the store's one handle had changed when the keys were last known to be those of
    // every entry (Connection::changedRows): while it has changed no more, nothing else changed
    // the entries. -1 where that is not known; the entries are then counted instead.
    std::int64_t changedRows = -1;
    void letGo();
};
// The same as sharedKeys over keys held in memory, which it sorts where they are; the kinds are
// those held.
std::vector<SharedKey> sharedKeys(HeldKeys& held);

// Rewrites columns 1 to n with `columns` and empties the columns after them; what the entry
// holds beyond them stays. False when no row has that id.
bool updateEntry(Connection& connection, std::int64_t id, const std::vector<std::string>& columns);

void deleteEntry(Connection& connection, std::int64_t id);
void clearEntries(Connection& connection);
// Gives the space of deleted entries back to the file system when there is much of it.
void compactStore(Connection& connection);
int countEntries(Connection& connection);

// The model's line template: its card-line beginnings in card order.
std::vector<std::string> readLineTemplate(Connection& connection);

}  // namespace tsunagi
