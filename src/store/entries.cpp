#include "store/entries.h"

#include "platform/batch_pipe.h"
#include "platform/error.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

std::string quotedColumn(int number) { return "\"" + std::to_string(number) + "\""; }

std::string insertSql() {
    std::string names, slots;
    for (int c = 1; c <= kCardColumns; ++c) {
        names += (c > 1 ? "," : "") + quotedColumn(c);
        slots += c > 1 ? ",?" : "?";
    }
    return "insert into radio_v401sh (" + names + ") values (" + slots + ");";
}

std::string updateSql() {
    std::string assignments;
    for (int c = 1; c <= kCardColumns; ++c)
        assignments += (c > 1 ? "," : "") + quotedColumn(c) + "=?";
    return "update radio_v401sh set " + assignments + " where id=?;";
}

void checkColumnCount(size_t count) {
    if (count > static_cast<size_t>(kCardColumns))
        throw TsunagiError("1 件のデータが " + std::to_string(count) + " 行あり、保存できる " +
                           std::to_string(kCardColumns) + " 行を超えています。");
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
size_t readRow(const Statement& statement, EntryRow& row) {
    row.columns.resize(kCardColumns);
    size_t bytes = 0;
    int c = 0;
    for (; c < kCardColumns; ++c) {
        std::optional<std::string_view> value = statement.textView(c);
        if (!value) break;
        if (row.columns[c])
            row.columns[c]->assign(*value);
        else
            row.columns[c].emplace(*value);
        bytes += value->size();
    }
    for (; c < kCardColumns; ++c) row.columns[c].reset();
    row.id = statement.integer(kCardColumns);
    return bytes;
}

const std::string& selectAllSql() {
    static const std::string sql = [] {
        std::string names;
        for (int c = 1; c <= kCardColumns; ++c) names += quotedColumn(c) + ",";
        return "select " + names + "id from radio_v401sh";
    }();
    return sql;
}

}  // namespace

EntryInserter::EntryInserter(Connection& connection)
    : statement_(connection.prepare(insertSql())) {}

void EntryInserter::insert(std::span<const std::string> columns) {
    checkColumnCount(columns.size());
    for (size_t c = 0; c < columns.size(); ++c)
        statement_.bindUntilReset(static_cast<int>(c + 1), columns[c]);
    // Bindings outlive a reset: only the columns the last card used need emptying.
    for (size_t c = columns.size(); c < boundColumns_; ++c)
        statement_.bindNull(static_cast<int>(c + 1));
    boundColumns_ = columns.size();
    statement_.step();
    statement_.reset();
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

void forEachEntry(Connection& connection, const std::function<void(const EntryRow&)>& visit) {
    Statement statement = connection.prepare(selectAllSql() + " order by id;");
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
                bytes += readRow(statement, batch->rows[batch->count++]);
            }
            if (batch->count > 0) batches.filled();
        }
    });
    while (const RowBatch* batch = pipe.next())
        for (size_t r = 0; r < batch->count; ++r) visit(batch->rows[r]);
}

EntryRows storedRows(Connection& connection) {
    EntryRows rows;
    rows.count = countEntries(connection);
    rows.forEach = [&connection](const EntryVisit& visit) {
        int number = 0;
        forEachEntry(connection, [&](const EntryRow& row) { visit(row, ++number); });
    };
    return rows;
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

EntryById::EntryById(Connection& connection)
    : select_(connection.prepare(selectAllSql() + " where id=?;")),
      delete_(connection.prepare("delete from radio_v401sh where id=?;")) {}

std::optional<EntryRow> EntryById::read(std::int64_t id) {
    select_.reset();
    select_.bind(1, id);
    if (!select_.step()) return std::nullopt;
    EntryRow row;
    readRow(select_, row);
    return row;
}

void EntryById::erase(std::int64_t id) {
    delete_.reset();
    delete_.bind(1, id);
    delete_.step();
}

bool updateEntry(Connection& connection, std::int64_t id, const std::vector<std::string>& columns) {
    checkColumnCount(columns.size());
    Statement exists = connection.prepare("select 1 from radio_v401sh where id=?;");
    exists.bind(1, id);
    if (!exists.step()) return false;
    Statement statement = connection.prepare(updateSql());
    bindColumns(statement, columns);
    statement.bind(kCardColumns + 1, id);
    statement.step();
    return true;
}

void deleteEntry(Connection& connection, std::int64_t id) { EntryById(connection).erase(id); }

void clearEntries(Connection& connection) {
    // The store is encrypted, so overwriting every freed page (SQLCipher's default) only costs
    // time: seconds at 100,000 entries.
    connection.execute("PRAGMA secure_delete = OFF;");
    connection.execute("delete from radio_v401sh;");
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
