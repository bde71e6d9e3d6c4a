#include "store/entry_list.h"

#include <charconv>

#include "platform/batch_pipe.h"
#include "platform/text.h"
#include "store/entries.h"

namespace tsunagi {

namespace {

// 22 ideographic spaces carry the id beyond the visible width of the list.
const std::string kFiller = [] {
    std::string filler;
    for (int i = 0; i < 22; ++i) filler += "\u3000";
    return filler + "<>";
}();

// The list line of an entry into `line`, which is emptied first and then holds its one
// allocation from line to line.
void listLineInto(std::string& line, std::optional<std::string_view> nameColumn, std::int64_t id) {
    line.clear();
    std::string_view name;
    // More than one character, counted no further than the second.
    auto longerThanOne = [](std::string_view text) {
        int leads = 0;
        for (unsigned char c : text)
            if ((c & 0xC0) != 0x80 && ++leads == 2) return true;
        return false;
    };
    if (nameColumn && longerThanOne(*nameColumn)) {
        // The value after the property's colon, to the next colon; a name continued over
        // several lines shows its first: one entry, one list line.
        if (size_t colon = nameColumn->find(':'); colon != std::string_view::npos) {
            std::string_view value = nameColumn->substr(colon + 1);
            size_t seen = 0, end = 0;
            for (; end < value.size(); ++end) {
                char c = value[end];
                if (c == ':' || c == '\r' || c == '\n') break;
                if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && seen++ == 5) break;
            }
            name = value.substr(0, end);
        }
    }
    // The "@@@" format: right-aligned in three characters, longer texts kept whole.
    size_t length = characterCount(name);
    if (length < 3) line.append(3 - length, ' ');
    line.append(name).append(kFiller);
    char digits[24];
    line.append(digits, std::to_chars(digits, digits + sizeof digits, id).ptr);
}

}  // namespace

std::string entryListLine(const std::optional<std::string>& nameColumn, std::int64_t id) {
    std::string line;
    listLineInto(line, nameColumn ? std::optional<std::string_view>(*nameColumn) : std::nullopt,
                 id);
    return line;
}

std::optional<std::int64_t> idFromListLine(const std::string& line) {
    size_t at = line.rfind("<>");
    if (at == std::string::npos) return std::nullopt;
    std::string_view digits = std::string_view(line).substr(at + 2);
    if (digits.empty() || digits.size() > 18 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return std::stoll(std::string(digits));
}

std::string countLabel(int count) { return std::to_string(count) + "ﾃﾞｰﾀ"; }

std::vector<std::string> readEntryList(const Store& store) {
    std::vector<std::string> lines;
    forEachListLine(store, [&](const std::string& line) { lines.push_back(line); });
    return lines;
}

namespace {

// Name columns and ids read ahead of their lines; kept from batch to batch.
struct ListBatch {
    std::string names;  // one after another
    std::vector<size_t> ends;
    std::vector<bool> named;  // false for a row without the column
    std::vector<std::int64_t> ids;
};

constexpr size_t kListBatchRows = 1024;

}  // namespace

int forEachListLine(const Store& store, const std::function<void(const std::string&)>& visit) {
    Connection connection = store.open();
    Statement statement = connection.prepare("select \"3\", id from radio_v401sh order by id;");
    // The store is read on a thread of its own while the lines are made and visited here; the
    // statement outlives that thread.
    BatchPipe<ListBatch> pipe;
    pipe.start([&](BatchPipe<ListBatch>& batches) {
        bool more = true;
        while (more) {
            ListBatch* batch = batches.fill();
            if (!batch) return;
            batch->names.clear();
            batch->ends.clear();
            batch->named.clear();
            batch->ids.clear();
            while (batch->ids.size() < kListBatchRows && (more = statement.step())) {
                std::optional<std::string_view> name = statement.textView(0);
                batch->names.append(name.value_or(""));
                batch->ends.push_back(batch->names.size());
                batch->named.push_back(name.has_value());
                batch->ids.push_back(statement.integer(1));
            }
            if (!batch->ids.empty()) batches.filled();
        }
    });
    int count = 0;
    std::string line;
    while (const ListBatch* batch = pipe.next())
        for (size_t r = 0, start = 0; r < batch->ids.size(); start = batch->ends[r++], ++count) {
            std::string_view name =
                std::string_view(batch->names).substr(start, batch->ends[r] - start);
            listLineInto(line, batch->named[r] ? std::optional(name) : std::nullopt, batch->ids[r]);
            visit(line);
        }
    return count;
}

void clearStore(const Store& store) {
    Connection connection = store.open();
    clearEntries(connection);
}

void emptyStoreAtStart(const Store& store) {
    Connection connection = store.open();
    ensureStoreTables(connection);
    clearEntries(connection);
    compactStore(connection);
}

}  // namespace tsunagi
