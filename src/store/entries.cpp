#include "store/entries.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "platform/batch_pipe.h"
#include "platform/error.h"
#include "platform/memory.h"
#include "platform/text.h"
#include "store/identity.h"

namespace tsunagi {

namespace {

std::string quotedColumn(int number) { return "\"" + std::to_string(number) + "\""; }

// "1","2",…,"count", each followed by `after`.
std::string columnNames(int count, std::string_view after = "") {
    std::string names;
    for (int c = 1; c <= count; ++c) {
        if (c > 1) names += ',';
        names += quotedColumn(c);
        names += after;
    }
    return names;
}

std::string insertSql() {
    std::string slots = "?";
    for (int c = 2; c <= kCardColumns; ++c) slots += ",?";
    return "insert into radio_v401sh (" + columnNames(kCardColumns) + ") values (" + slots + ");";
}

std::string updateSql() {
    return "update radio_v401sh set " + columnNames(kCardColumns, "=?") + " where id=?;";
}

void splitExtras(std::string_view joined, std::vector<std::string>& extras) {
    extras.clear();
    while (!joined.empty()) {
        size_t end = joined.find('\n');
        extras.emplace_back(joined.substr(0, end));
        if (end == std::string_view::npos) break;
        joined.remove_prefix(end + 1);
    }
}

void bindColumns(Statement& statement, const std::vector<std::string>& columns) {
    for (int c = 1; c <= kCardColumns; ++c) {
        if (static_cast<size_t>(c) <= columns.size())
            statement.bind(c, columns[c - 1]);
        else
            statement.bindNull(c);
    }
}

// Fills `row` from the statement's current row, reusing the strings it already holds, and
// returns the bytes of its text. A card fills its columns from the first without gaps and
// leaves the rest null (every insert and update writes it so), so the first null column ends
// it: the columns after it are not asked for, which is most of the reading's cost.
// Reads a row whose first `count` columns and then its id the statement selects.
size_t readRow(const Statement& statement, EntryRow& row, int count = kCardColumns) {
    row.columns.resize(kCardColumns);
    size_t bytes = 0;
    int c = 0;
    for (; c < count; ++c) {
        std::optional<std::string_view> value = statement.textView(c);
        if (!value) break;
        if (row.columns[c])
            row.columns[c]->assign(*value);
        else
            row.columns[c].emplace(*value);
        bytes += value->size();
    }
    for (; c < kCardColumns; ++c) row.columns[c].reset();
    row.id = statement.integer(count);
    return bytes;
}

// The first `count` numbered columns and the id, as a row is read.
std::string rowColumns(int count) {
    std::string names;
    for (int c = 1; c <= count; ++c) names += quotedColumn(c) + ",";
    return names + "id";
}

const std::string& rowColumns() {
    static const std::string names = rowColumns(kCardColumns);
    return names;
}

// The columns an entry is read with first, by its id or in a walk over all: a card of the
// phone holds a dozen lines or so, and each column selected costs as much as a line; a card
// that fills them is read again whole.
constexpr int kFirstColumns = 24;

// Rows inserted by one statement, and the most columns such a statement names: SQLite takes
// at most 999 parameters to a statement.
constexpr size_t kRowsPerStatement = 16;
constexpr int kWidestRows = 56;
static_assert(kRowsPerStatement * kWidestRows <= 999);

// `rows` rows of `perRow` parameters each: "(?,?),(?,?)".
std::string valueSlots(size_t rows, int perRow) {
    std::string row = "(?";
    for (int c = 1; c < perRow; ++c) row += ",?";
    row += ")";
    std::string slots = row;
    for (size_t r = 1; r < rows; ++r) {
        slots += ',';
        slots += row;
    }
    return slots;
}

}  // namespace

void checkCardColumns(size_t count) {
    if (count > static_cast<size_t>(kCardColumns))
        throw TsunagiError("1 件のデータが " + std::to_string(count) + " 行あり、保存できる " +
                           std::to_string(kCardColumns) + " 行を超えています。");
}

void appendKeyBytes(std::span<const std::int64_t> keys, std::string& bytes) {
    for (std::int64_t key : keys)
        for (int b = 0; b < 8; ++b)
            bytes += static_cast<char>(static_cast<std::uint64_t>(key) >> (8 * b) & 0xFF);
}

PairRows::PairRows(Connection& connection, std::string_view verb, std::string_view table, bool blob)
    : many_(connection.prepare(std::string(verb) + " " + std::string(table) + " values " +
                               valueSlots(kRowsPerStatement, 2) + ";")),
      one_(connection.prepare(std::string(verb) + " " + std::string(table) + " values (?,?);")),
      blob_(blob) {}

void PairRows::bindRow(Statement& statement, int row, std::int64_t id, std::string_view value) {
    statement.bind(2 * row + 1, id);
    if (blob_)
        statement.bindBlobUntilReset(2 * row + 2, value);
    else
        statement.bindUntilReset(2 * row + 2, value);
}

void PairRows::add(std::int64_t id, std::string_view value) {
    pending_.emplace_back(id, value);
    if (pending_.size() < kRowsPerStatement) return;
    for (size_t r = 0; r < pending_.size(); ++r)
        bindRow(many_, static_cast<int>(r), pending_[r].first, pending_[r].second);
    pending_.clear();
    many_.step();
    many_.reset();
}

void PairRows::flush() {
    for (const auto& [id, value] : pending_) {
        bindRow(one_, 0, id, value);
        one_.step();
        one_.reset();
    }
    pending_.clear();
}

EntryInserter::EntryInserter(Connection& connection)
    : connection_(connection),
      statement_(connection.prepare(insertSql())),
      rowsStatements_(kWidestRows / 8),
      keyRows_(connection, "insert or replace into", "entry_keys (entry_id, keys)", true),
      extraRows_(connection, "insert into", "entry_extras (entry_id, lines)", false) {}

void joinExtras(std::span<const std::string> extras, std::string& joined) {
    joined.clear();
    for (const std::string& line : extras) {
        if (!joined.empty()) joined += '\n';
        // A content line holds no line break; one that came with one has it escaped.
        if (line.find('\n') == std::string::npos && line.find('\r') == std::string::npos) {
            joined += line;
            continue;
        }
        for (char c : line) {
            if (c == '\n')
                joined += "\\n";
            else if (c != '\r')
                joined += c;
        }
    }
}

std::int64_t EntryInserter::insert(std::span<const std::string> columns,
                                   std::span<const std::string> extras) {
    if (extras.empty()) return insertJoined(columns, {});
    joinExtras(extras, joined_);
    return insertJoined(columns, joined_);
}

std::int64_t EntryInserter::insertRow(std::span<const std::string> columns) {
    checkCardColumns(columns.size());
    for (size_t c = 0; c < columns.size(); ++c)
        statement_.bindUntilReset(static_cast<int>(c + 1), columns[c]);
    // Bindings outlive a reset: only the columns the last card used need emptying.
    for (size_t c = columns.size(); c < boundColumns_; ++c)
        statement_.bindNull(static_cast<int>(c + 1));
    boundColumns_ = columns.size();
    statement_.step();
    statement_.reset();
    return connection_.lastInsertId();
}

EntryInserter::RowsStatement& EntryInserter::rowsStatement(int width) {
    std::optional<RowsStatement>& statement = rowsStatements_[width / 8 - 1];
    if (!statement) {
        // A fresh statement's parameters are all empty.
        statement.emplace(RowsStatement{
            connection_.prepare("insert into radio_v401sh (" + columnNames(width) + ") values " +
                                valueSlots(kRowsPerStatement, width) + ";"),
            std::vector<size_t>(kRowsPerStatement, 0)});
    }
    return *statement;
}

// Inserts kRowsPerStatement entries of at most `width` lines; returns the last one's id. The
// rows of one insert are numbered one after another, in their order.
std::int64_t EntryInserter::insertRows(std::span<const NewEntry> entries, int width) {
    auto& [statement, bound] = rowsStatement(width);
    for (size_t r = 0; r < entries.size(); ++r) {
        std::span<const std::string> columns = entries[r].columns;
        int base = static_cast<int>(r) * width;
        for (size_t c = 0; c < columns.size(); ++c)
            statement.bindUntilReset(base + static_cast<int>(c) + 1, columns[c]);
        // Bindings outlive a reset: only the columns this row's last entry used need emptying.
        for (size_t c = columns.size(); c < bound[r]; ++c)
            statement.bindNull(base + static_cast<int>(c) + 1);
        bound[r] = columns.size();
    }
    statement.step();
    statement.reset();
    return connection_.lastInsertId();
}

std::int64_t EntryInserter::insertAll(std::span<const NewEntry> entries) {
    for (const NewEntry& entry : entries) checkCardColumns(entry.columns.size());
    std::vector<std::int64_t> ids(entries.size());
    for (size_t done = 0; done < entries.size();) {
        size_t rows = 1;
        int width = kCardColumns;
        if (entries.size() - done >= kRowsPerStatement) {
            size_t widest = 1;
            for (size_t e = done; e < done + kRowsPerStatement; ++e)
                widest = std::max(widest, entries[e].columns.size());
            width = static_cast<int>((widest + 7) / 8 * 8);
            if (width <= kWidestRows) rows = kRowsPerStatement;
        }
        std::int64_t last = rows == 1 ? insertRow(entries[done].columns)
                                      : insertRows(entries.subspan(done, rows), width);
        for (size_t r = 0; r < rows; ++r)
            ids[done + r] = last - static_cast<std::int64_t>(rows - 1 - r);
        done += rows;
    }

    keyBytes_.clear();
    keyEnds_.clear();
    for (const NewEntry& entry : entries) {
        appendKeyBytes(entry.keys, keyBytes_);
        keyEnds_.push_back(keyBytes_.size());
    }
    for (size_t e = 0, start = 0; e < entries.size(); start = keyEnds_[e++])
        if (keyEnds_[e] > start)
            keyRows_.add(ids[e], std::string_view(keyBytes_).substr(start, keyEnds_[e] - start));
    keyRows_.flush();
    for (size_t e = 0; e < entries.size(); ++e)
        if (!entries[e].joinedExtras.empty()) extraRows_.add(ids[e], entries[e].joinedExtras);
    extraRows_.flush();
    return ids.empty() ? 0 : ids.front();
}

std::int64_t EntryInserter::insertJoined(std::span<const std::string> columns,
                                         std::string_view joinedExtras,
                                         std::span<const std::int64_t> keys) {
    NewEntry entry{columns, joinedExtras, keys};
    return insertAll(std::span(&entry, 1));
}

void packRow(const EntryRow& row, std::string& packed) {
    auto put = [&packed](std::uint32_t n) { packed.append(reinterpret_cast<const char*>(&n), 4); };
    packed.clear();
    packed.append(reinterpret_cast<const char*>(&row.id), sizeof row.id);
    size_t used = row.columns.size();
    while (used > 0 && !row.columns[used - 1]) --used;
    put(static_cast<std::uint32_t>(used));
    for (size_t c = 0; c < used; ++c) {
        put(row.columns[c] ? static_cast<std::uint32_t>(row.columns[c]->size()) : ~0u);
        if (row.columns[c]) packed.append(*row.columns[c]);
    }
    put(static_cast<std::uint32_t>(row.extras.size()));
    for (const std::string& extra : row.extras) {
        put(static_cast<std::uint32_t>(extra.size()));
        packed.append(extra);
    }
}

void unpackRow(std::string_view packed, EntryRow& row) {
    auto take = [&packed](size_t n) {
        std::string_view bytes = packed.substr(0, n);
        packed.remove_prefix(n);
        return bytes;
    };
    auto count = [&take] {
        std::uint32_t n = 0;
        std::memcpy(&n, take(4).data(), 4);
        return n;
    };
    std::memcpy(&row.id, take(sizeof row.id).data(), sizeof row.id);
    std::uint32_t used = count();
    row.columns.resize(kCardColumns);
    for (size_t c = 0; c < row.columns.size(); ++c) {
        std::uint32_t size = c < used ? count() : ~0u;
        if (size == ~0u)
            row.columns[c].reset();
        else
            row.columns[c] = take(size);
    }
    row.extras.resize(count());
    for (std::string& extra : row.extras) extra = take(count());
}

std::vector<std::string> readExtras(Connection& connection, std::int64_t id) {
    Statement select = connection.prepare("select lines from entry_extras where entry_id=?;");
    select.bind(1, id);
    std::vector<std::string> extras;
    if (select.step()) splitExtras(select.textView(0).value_or(""), extras);
    return extras;
}

namespace {

void forgetKeysOf(Connection& connection, std::int64_t id) {
    Statement erase = connection.prepare("delete from entry_keys where entry_id=?;");
    erase.bind(1, id);
    erase.step();
}

}  // namespace

void writeExtras(Connection& connection, std::int64_t id, const std::vector<std::string>& extras) {
    forgetKeysOf(connection, id);  // any change to an entry drops its keys
    Statement erase = connection.prepare("delete from entry_extras where entry_id=?;");
    erase.bind(1, id);
    erase.step();
    if (extras.empty()) return;
    std::string joined;
    joinExtras(extras, joined);
    Statement insert =
        connection.prepare("insert into entry_extras (entry_id, lines) values (?, ?);");
    insert.bind(1, id);
    insert.bind(2, joined);
    insert.step();
}

void ensureStoreTables(Connection& connection) {
    connection.execute(
        "CREATE TABLE IF NOT EXISTS entry_extras (entry_id INTEGER PRIMARY KEY, lines TEXT NOT "
        "NULL);"
        "CREATE TABLE IF NOT EXISTS entry_keys (entry_id INTEGER PRIMARY KEY, keys BLOB NOT "
        "NULL);"
        "CREATE TABLE IF NOT EXISTS entry_files (first_id INTEGER PRIMARY KEY, last_id INTEGER "
        "NOT NULL, own INTEGER NOT NULL);");
}

void recordEntryFile(Connection& connection, const EntryFile& file) {
    Statement insert = connection.prepare(
        "insert or replace into entry_files (first_id, last_id, own) values (?, ?, ?);");
    insert.bind(1, file.firstId);
    insert.bind(2, file.lastId);
    insert.bind(3, static_cast<std::int64_t>(file.phoneOwn ? 1 : 0));
    insert.step();
}

std::vector<EntryFile> entryFiles(Connection& connection) {
    std::vector<EntryFile> files;
    Statement select =
        connection.prepare("select first_id, last_id, own from entry_files order by first_id;");
    while (select.step())
        files.push_back({select.integer(0), select.integer(1), select.integer(2) != 0});
    return files;
}

void forgetKeysUnlessMadeBy(Connection& connection, int version) {
    Statement made = connection.prepare("PRAGMA user_version;");
    if (made.step() && made.integer(0) == version) return;
    connection.execute("delete from entry_keys;");
    connection.execute("PRAGMA user_version = " + std::to_string(version) + ";");
}

std::vector<std::int64_t> unkeyedEntries(Connection& connection) {
    Statement select = connection.prepare(
        "select id from radio_v401sh where not exists (select 1 from entry_keys where "
        "entry_id=radio_v401sh.id) order by id;");
    std::vector<std::int64_t> ids;
    while (select.step()) ids.push_back(select.integer(0));
    return ids;
}

KeyWriter::KeyWriter(Connection& connection)
    : insert_(
          connection.prepare("insert or replace into entry_keys (entry_id, keys) values (?, ?);")) {
}

void KeyWriter::write(std::int64_t id, std::span<const std::int64_t> keys) {
    bytes_.clear();
    appendKeyBytes(keys, bytes_);
    insert_.bind(1, id);
    insert_.bindBlob(2, bytes_);
    insert_.step();
    insert_.reset();
}

namespace {

// Sorts by key, then id.
void sortByKeyThenId(std::vector<SharedKey>& keys) {
    auto before = [](const SharedKey& a, const SharedKey& b) {
        return a.key != b.key ? a.key < b.key : a.id < b.id;
    };
    if (keys.size() < 4096) {
        std::sort(keys.begin(), keys.end(), before);
        return;
    }
    // The keys are hashes, spread evenly: one pass puts each among those of its top bits, two
    // to four keys, which are then sorted where they are (a key that many entries share, among
    // its own). Signed order: the top bit flipped puts negative keys first.
    const int bits = std::clamp(static_cast<int>(std::bit_width(keys.size())) - 2, 12, 20);
    auto bucket = [bits](const SharedKey& key) {
        return static_cast<size_t>(
            (static_cast<std::uint64_t>(key.key) ^ (std::uint64_t(1) << 63)) >> (64 - bits));
    };
    std::vector<std::uint32_t> starts((size_t(1) << bits) + 1, 0);
    for (const SharedKey& key : keys) ++starts[bucket(key) + 1];
    for (size_t b = 1; b < starts.size(); ++b) starts[b] += starts[b - 1];
    std::vector<std::uint32_t> next(starts.begin(), starts.end() - 1);
    std::vector<SharedKey> scratch;
    scratch.reserve(keys.size());
    preferLargePages(scratch.data(), keys.size() * sizeof(SharedKey));
    scratch.resize(keys.size());
    for (const SharedKey& key : keys) scratch[next[bucket(key)]++] = key;
    // A bucket of one key (a name many entries share) is in order already where the keys came
    // in the order of their ids; a few keys are put in order one by one.
    for (size_t b = 0; b + 1 < starts.size(); ++b) {
        auto from = scratch.begin() + starts[b], to = scratch.begin() + starts[b + 1];
        if (to - from <= 8) {
            for (auto at = from + 1; at < to; ++at)
                for (auto k = at; k > from && before(*k, *(k - 1)); --k) std::iter_swap(k, k - 1);
        } else if (!std::is_sorted(from, to, before)) {
            std::sort(from, to, before);
        }
    }
    keys.swap(scratch);
}

// Sorts the keys by key, then id, and keeps those of two entries or more.
void keepShared(std::vector<SharedKey>& keys) {
    sortByKeyThenId(keys);
    size_t kept = 0;
    for (size_t i = 0; i < keys.size();) {
        size_t end = i + 1;
        while (end < keys.size() && keys[end].key == keys[i].key) ++end;
        if (end - i > 1)
            for (; i < end; ++i) keys[kept++] = keys[i];
        i = end;
    }
    keys.resize(kept);
}

}  // namespace

std::vector<SharedKey> sharedKeys(Connection& connection, int* keyedEntries,
                                  std::vector<EntryKeyKinds>* kinds) {
    // An entry's keys are one row, so that storing them costs one insert; sorted here by key.
    // Room for more keys than entries hold (a few each) is only address space until used;
    // growing the list instead would copy it and touch fresh pages at every step.
    Statement counted = connection.prepare("select count(*) from entry_keys;");
    size_t rows = counted.step() ? static_cast<size_t>(counted.integer(0)) : 0;
    Statement select = connection.prepare("select entry_id, keys from entry_keys;");
    std::vector<SharedKey> keys;
    keys.reserve(std::max(size_t(1) << 16, rows * 8));
    int entries = 0;
    for (; select.step(); ++entries) {
        std::int64_t id = select.integer(0);
        std::string_view bytes = select.blobView(1);
        unsigned held = 0;
        for (size_t at = 0; at + 8 <= bytes.size(); at += 8) {
            std::uint64_t key = 0;
            for (int b = 7; b >= 0; --b) key = key << 8 | static_cast<unsigned char>(bytes[at + b]);
            keys.push_back({static_cast<std::int64_t>(key), id});
            held |= 1u << (key & 7);
        }
        if (kinds) kinds->push_back({id, {}, held});
    }
    if (keyedEntries) *keyedEntries = entries;
    keepShared(keys);
    return keys;
}

void HeldKeys::letGo() {
    whole = false;
    changedRows = -1;
    keys = {};
    kinds = {};
    sorted = false;
}

std::vector<SharedKey> sharedKeys(HeldKeys& held) {
    // Sorted where they are held, once: only the shared ones are copied.
    if (!held.sorted) {
        sortByKeyThenId(held.keys);
        held.sorted = true;
    }
    const std::vector<SharedKey>& all = held.keys;
    auto forEachRun = [&all](auto&& visit) {
        for (size_t i = 0; i < all.size();) {
            size_t end = i + 1;
            while (end < all.size() && all[end].key == all[i].key) ++end;
            if (end - i > 1) visit(i, end);
            i = end;
        }
    };
    // Counted first, so that the list is made once, in large pages where it is large.
    size_t count = 0;
    forEachRun([&count](size_t from, size_t end) { count += end - from; });
    std::vector<SharedKey> keys;
    keys.reserve(count);
    preferLargePages(keys.data(), count * sizeof(SharedKey));
    forEachRun([&](size_t from, size_t end) {
        keys.insert(keys.end(), all.begin() + from, all.begin() + end);
    });
    return keys;
}

namespace {

// Rows read ahead of their visit. The rows are kept from batch to batch.
struct RowBatch {
    std::vector<EntryRow> rows;
    size_t count = 0;
};

constexpr size_t kBatchRows = 64;
constexpr size_t kBatchBytes = size_t(1) << 20;

}  // namespace

void forEachEntry(Connection& connection, const std::function<void(const EntryRow&)>& visit,
                  bool withExtras, const RowLook& look) {
    Statement statement = connection.prepare("select " + rowColumns(kFirstColumns) +
                                             " from radio_v401sh order by id;");
    Statement whole =
        connection.prepare("select " + rowColumns() + " from radio_v401sh where id=?;");
    // What the cards hold beyond the phone's lines, in the same order: read alongside.
    Statement extras =
        connection.prepare("select entry_id, lines from entry_extras order by entry_id;");
    bool extrasLeft = (withExtras || look) && extras.step();
    // The store is read on a thread of its own while the rows are visited here; the statement
    // outlives that thread.
    BatchPipe<RowBatch> pipe;
    pipe.start([&](BatchPipe<RowBatch>& batches) {
        bool more = true;
        while (more) {
            RowBatch* batch = batches.fill();
            if (!batch) return;
            batch->count = 0;
            size_t bytes = 0;
            while (batch->count < kBatchRows && bytes < kBatchBytes && (more = statement.step())) {
                if (batch->count == batch->rows.size()) batch->rows.emplace_back();
                EntryRow& row = batch->rows[batch->count++];
                size_t rowBytes = readRow(statement, row, kFirstColumns);
                if (row.columns[kFirstColumns - 1]) {
                    whole.reset();
                    whole.bind(1, row.id);
                    if (whole.step()) rowBytes = readRow(whole, row);
                }
                bytes += rowBytes;
                row.extras.clear();
                while (extrasLeft && extras.integer(0) < row.id) extrasLeft = extras.step();
                bool held = extrasLeft && extras.integer(0) == row.id;
                // Valid until the extras' statement steps on.
                std::string_view lines = held ? extras.textView(1).value_or("") : "";
                if (withExtras) splitExtras(lines, row.extras);
                bytes += lines.size();
                if (look) look(row, lines);
                if (held) extrasLeft = extras.step();
            }
            if (batch->count > 0) batches.filled();
        }
    });
    while (const RowBatch* batch = pipe.next())
        for (size_t r = 0; r < batch->count; ++r) visit(batch->rows[r]);
}

EntryRows storedRows(Connection& connection, bool withExtras, RowLook look) {
    EntryRows rows;
    rows.count = countEntries(connection);
    if (withExtras) rows.uidSeed = identitySeed(connection);
    rows.forEach = [&connection, withExtras, look = std::move(look)](const EntryVisit& visit) {
        int number = 0;
        forEachEntry(
            connection, [&](const EntryRow& row) { visit(row, ++number); }, withExtras, look);
    };
    return rows;
}

std::int64_t lastEntryId(Connection& connection) {
    Statement select = connection.prepare("select coalesce(max(id), 0) from radio_v401sh;");
    select.step();
    return select.integer(0);
}

EntryRows heldRows(std::vector<EntryRow> held) {
    EntryRows rows;
    rows.count = static_cast<int>(held.size());
    rows.forEach = [held = std::move(held)](const EntryVisit& visit) {
        int number = 0;
        for (const EntryRow& row : held) visit(row, ++number);
    };
    return rows;
}

std::optional<EntryRow> readEntry(Connection& connection, std::int64_t id) {
    return EntryById(connection).read(id);
}

EntriesInOrder::EntriesInOrder(Connection& connection)
    : rows_{connection.prepare("select " + rowColumns(kFirstColumns) +
                               " from radio_v401sh where id>=? order by id;"),
            kFirstColumns},
      extras_{connection.prepare(
                  "select entry_id, lines from entry_extras where entry_id>=? order by entry_id;"),
              0},
      whole_(connection.prepare("select " + rowColumns() + " from radio_v401sh where id=?;")) {}

bool EntriesInOrder::Walk::reach(std::int64_t id) {
    // Stepping over a few rows costs less than seeking anew.
    constexpr std::int64_t kNear = 16;
    if (on && at >= id) return true;
    if (past) return false;  // no row above one sought before
    if (on && id - at <= kNear) {
        while (at < id) {
            if (!(on = statement.step())) {
                past = true;
                return false;
            }
            at = statement.integer(idColumn);
        }
        return true;
    }
    statement.reset();
    statement.bind(1, id);
    if ((on = statement.step())) at = statement.integer(idColumn);
    past = !on;
    return on;
}

bool EntriesInOrder::read(std::int64_t id, EntryRow& row) {
    if (!rows_.reach(id) || rows_.at != id) return false;
    readRow(rows_.statement, row, kFirstColumns);
    if (row.columns[kFirstColumns - 1]) {
        whole_.reset();
        whole_.bind(1, id);
        if (whole_.step()) readRow(whole_, row);
    }
    row.extras.clear();
    if (extras_.reach(id) && extras_.at == id)
        splitExtras(extras_.statement.textView(1).value_or(""), row.extras);
    return true;
}

EntryById::EntryById(Connection& connection)
    : selectFirst_(connection.prepare(
          "select " + rowColumns(kFirstColumns) +
          ", (select lines from entry_extras where entry_id=radio_v401sh.id) from radio_v401sh "
          "where id=?;")),
      select_(connection.prepare(
          "select " + rowColumns() +
          ", (select lines from entry_extras where entry_id=radio_v401sh.id) from radio_v401sh "
          "where id=?;")),
      delete_(connection.prepare("delete from radio_v401sh where id between ? and ?;")),
      update_(connection.prepare(updateSql())),
      deleteExtras_(connection.prepare("delete from entry_extras where entry_id between ? and ?;")),
      insertExtras_(
          connection.prepare("insert into entry_extras (entry_id, lines) values (?, ?);")),
      deleteKeys_(connection.prepare("delete from entry_keys where entry_id between ? and ?;")) {}

std::optional<EntryRow> EntryById::read(std::int64_t id) {
    EntryRow row;
    if (!read(id, row)) return std::nullopt;
    return row;
}

bool EntryById::read(std::int64_t id, EntryRow& row) {
    Statement* select = &selectFirst_;
    int count = kFirstColumns;
    select->reset();
    select->bind(1, id);
    if (!select->step()) return false;
    if (select->textView(kFirstColumns - 1)) {
        select = &select_;
        count = kCardColumns;
        select->reset();
        select->bind(1, id);
        if (!select->step()) return false;
    }
    readRow(*select, row, count);
    row.extras.clear();
    // What it holds beyond the phone's lines comes in the same row, after the id.
    if (std::optional<std::string_view> lines = select->textView(count + 1))
        splitExtras(*lines, row.extras);
    return true;
}

namespace {

// Runs a statement over the ids `first` to `last`.
void runFor(Statement& statement, std::int64_t first, std::int64_t last) {
    statement.reset();
    statement.bind(1, first);
    statement.bind(2, last);
    statement.step();
}

}  // namespace

void EntryById::erase(std::int64_t id, StoredBeside beside) { eraseRange(id, id, beside); }

void EntryById::eraseRange(std::int64_t first, std::int64_t last, StoredBeside beside) {
    runFor(delete_, first, last);
    if (beside.extras) runFor(deleteExtras_, first, last);
    if (beside.keys) runFor(deleteKeys_, first, last);
}

void EntryById::rewrite(std::int64_t id, const std::vector<std::string>& columns,
                        const std::vector<std::string>& extras, StoredBeside beside) {
    checkCardColumns(columns.size());
    update_.reset();
    // The columns are bound without copying them, and the bindings outlive a reset: only the
    // columns the last entry used beyond these need emptying.
    for (size_t c = 0; c < columns.size(); ++c)
        update_.bindUntilReset(static_cast<int>(c + 1), columns[c]);
    for (size_t c = columns.size(); c < boundColumns_; ++c)
        update_.bindNull(static_cast<int>(c + 1));
    boundColumns_ = columns.size();
    update_.bind(kCardColumns + 1, id);
    update_.step();
    update_.reset();
    if (beside.keys) runFor(deleteKeys_, id, id);
    rewriteExtras(id, extras, beside);
}

void EntryById::rewriteExtras(std::int64_t id, const std::vector<std::string>& extras,
                              StoredBeside beside) {
    if (beside.extras) runFor(deleteExtras_, id, id);
    if (extras.empty()) return;
    joinExtras(extras, joined_);
    insertExtras_.reset();
    insertExtras_.bind(1, id);
    insertExtras_.bindUntilReset(2, joined_);
    insertExtras_.step();
    insertExtras_.reset();
}

bool updateEntry(Connection& connection, std::int64_t id, const std::vector<std::string>& columns) {
    checkCardColumns(columns.size());
    Statement exists = connection.prepare("select 1 from radio_v401sh where id=?;");
    exists.bind(1, id);
    if (!exists.step()) return false;
    Statement statement = connection.prepare(updateSql());
    bindColumns(statement, columns);
    statement.bind(kCardColumns + 1, id);
    statement.step();
    forgetKeysOf(connection, id);
    return true;
}

void deleteEntry(Connection& connection, std::int64_t id) { EntryById(connection).erase(id); }

bool keysStored(Connection& connection) {
    Statement any = connection.prepare("select exists (select 1 from entry_keys);");
    return any.step() && any.integer(0) != 0;
}

void clearEntries(Connection& connection) {
    // The store is encrypted, so overwriting every freed page (SQLCipher's default) only costs
    // time: seconds at 100,000 entries.
    connection.execute("PRAGMA secure_delete = OFF;");
    connection.execute("delete from radio_v401sh;");
    connection.execute("delete from entry_extras;");
    connection.execute("delete from entry_keys;");
    connection.execute("delete from entry_files;");
}

void compactStore(Connection& connection) {
    Statement free = connection.prepare("PRAGMA freelist_count;");
    // A few free pages are kept for the next imports; a store emptied of many entries gives
    // its space back, so that the file does not keep the size of its largest run.
    if (free.step() && free.integer(0) > 256) {
        free.reset();
        connection.execute("VACUUM;");
    }
}

int countEntries(Connection& connection) {
    Statement statement = connection.prepare("select count(*) from radio_v401sh;");
    statement.step();
    return static_cast<int>(statement.integer(0));
}

std::vector<std::string> readLineTemplate(Connection& connection) {
    Statement statement =
        connection.prepare("SELECT feild FROM mst_heddate where serial='V401SH';");
    if (!statement.step())
        throw TsunagiError(connection.name(), 0,
                           "機種 V401SH の行テンプレートがデータベースにありません。");
    return splitAll(statement.text(0).value_or(""), "<>");
}

}  // namespace tsunagi
