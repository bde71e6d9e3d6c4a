#include "store/entry_list.h"

#include <algorithm>

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

}  // namespace

std::string entryListLine(const std::optional<std::string>& nameColumn, std::int64_t id) {
    std::string name;
    if (nameColumn && characterCount(*nameColumn) > 1) {
        // A name continued over several lines shows its first: one entry, one list line.
        std::string value = pieceAt(*nameColumn, ":", 1);
        value.resize(std::min({value.find('\r'), value.find('\n'), value.size()}));
        name = leftCharacters(value, 5);
    }
    // The "@@@" format: right-aligned in three characters, longer texts kept whole.
    size_t length = characterCount(name);
    if (length < 3) name.insert(0, 3 - length, ' ');
    return name + kFiller + std::to_string(id);
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

int forEachListLine(const Store& store, const std::function<void(const std::string&)>& visit) {
    Connection connection = store.open();
    Statement statement = connection.prepare("select \"3\", id from radio_v401sh order by id;");
    int count = 0;
    for (; statement.step(); ++count) visit(entryListLine(statement.text(0), statement.integer(1)));
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
