#include "merge/duplicates.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <numeric>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "card/card_view.h"
#include "card/checks.h"
#include "card/dialect.h"
#include "card/unicode.h"
#include "card/vcard_line.h"
#include "platform/error.h"
#include "platform/text.h"
#include "store/entries.h"

namespace tsunagi {

namespace {

// One number whatever its form, for finding and for merging alike.
std::string digitsOf(std::string_view number) { return numberKey(number); }

// A mail address as two entries are compared by it: without blanks around it, in any case.
std::string mailKey(std::string_view mail) { return lowerAscii(trimBlanks(mail)); }

// Every stored line but the memory-dial number: two entries with the same are one file's card
// read twice.
std::string contentKey(const EntryRow& row) {
    std::string key;
    for (int p = 0; p < kCardColumns; ++p) {
        const std::string& value = row.at(p);
        if (value.empty() || value.compare(0, kMemoryNumberItem.size(), kMemoryNumberItem) == 0)
            continue;
        key += value;
        key += '\x1f';
    }
    return key;
}

class UnionFind {
  public:
    explicit UnionFind(size_t size) : parent_(size) {
        std::iota(parent_.begin(), parent_.end(), size_t(0));
    }
    size_t find(size_t x) {
        while (parent_[x] != x) x = parent_[x] = parent_[parent_[x]];
        return x;
    }
    void join(size_t a, size_t b) {
        a = find(a);
        b = find(b);
        if (a != b) parent_[std::max(a, b)] = std::min(a, b);  // the earliest entry leads
    }

  private:
    std::vector<size_t> parent_;
};

struct Person {
    DuplicateEntry entry;
    std::vector<std::string> numberDigits;
    std::vector<std::string> mailKeys;
};

// How many different keys the members have among them. A group can be thousands strong (one
// person's card read from many backups), so the keys seen are hashed, not searched.
size_t distinctAcross(const std::vector<const Person*>& people,
                      std::vector<std::string> Person::*keys) {
    std::unordered_set<std::string_view> seen;
    for (const Person* person : people)
        for (const std::string& key : person->*keys) seen.insert(key);
    return seen.size();
}

DuplicateGroup groupOf(const std::vector<const Person*>& members, bool sure) {
    DuplicateGroup group;
    group.sure = sure;
    for (const Person* person : members) group.entries.push_back(person->entry);
    group.mergedNumbers = distinctAcross(members, &Person::numberDigits);
    group.mergedMails = distinctAcross(members, &Person::mailKeys);
    return group;
}

}  // namespace

std::vector<DuplicateGroup> findDuplicates(const Store& store) {
    std::vector<Person> people;
    std::unordered_map<std::string, size_t> byName, byContent;
    std::vector<std::pair<size_t, size_t>> sureLinks;
    {
        Connection connection = store.open();
        forEachEntry(connection, [&](const EntryRow& row) {
            CardView card = readCard(row);
            Person person;
            person.entry.id = row.id;
            person.entry.name = card.name.value_or("");
            person.entry.reading = card.reading.value_or("");
            for (const std::string& extra : row.extras)
                if (startsWithIgnoringCase(extra, "ORG:")) {
                    person.entry.company = pieceAt(std::string_view(extra).substr(4), ";", 0);
                    break;
                }
            for (const NumberPiece& number : card.numbers) {
                person.entry.numbers.push_back(number.value);
                std::string digits = digitsOf(number.value);
                if (!digits.empty()) person.numberDigits.push_back(digits);
            }
            for (const MailPiece& mail : card.mails) {
                person.entry.mails.push_back(mail.value);
                std::string key = mailKey(mail.value);
                if (!key.empty()) person.mailKeys.push_back(key);
            }
            size_t index = people.size();
            std::string name = nameKey(person.entry.name);
            if (!name.empty()) {
                auto [at, fresh] = byName.emplace(name, index);
                if (!fresh) sureLinks.push_back({at->second, index});
            }
            auto [at, fresh] = byContent.emplace(contentKey(row), index);
            if (!fresh) sureLinks.push_back({at->second, index});
            people.push_back(std::move(person));
        });
    }

    UnionFind sure(people.size());
    for (auto [a, b] : sureLinks) sure.join(a, b);
    // Shared numbers and mails link whole sure groups, as "possibly the same".
    UnionFind possible(people.size());
    std::unordered_map<std::string, size_t> byNumber, byMail;
    for (size_t i = 0; i < people.size(); ++i) {
        for (const std::string& digits : people[i].numberDigits) {
            auto [at, fresh] = byNumber.emplace(digits, i);
            if (!fresh && sure.find(at->second) != sure.find(i))
                possible.join(sure.find(at->second), sure.find(i));
        }
        for (const std::string& mail : people[i].mailKeys) {
            auto [at, fresh] = byMail.emplace(mail, i);
            if (!fresh && sure.find(at->second) != sure.find(i))
                possible.join(sure.find(at->second), sure.find(i));
        }
    }

    std::map<size_t, std::vector<const Person*>> sureMembers;
    for (size_t i = 0; i < people.size(); ++i) sureMembers[sure.find(i)].push_back(&people[i]);
    std::vector<DuplicateGroup> groups;
    for (const auto& [leader, members] : sureMembers)
        if (members.size() > 1) groups.push_back(groupOf(members, true));
    std::map<size_t, std::vector<const Person*>> possibleMembers;
    for (const auto& [leader, members] : sureMembers)
        for (const Person* person : members)
            possibleMembers[possible.find(leader)].push_back(person);
    for (auto& [leader, members] : possibleMembers) {
        if (sureMembers[leader].size() == members.size()) continue;  // linked to nobody
        std::sort(members.begin(), members.end(),
                  [](const Person* a, const Person* b) { return a->entry.id < b->entry.id; });
        groups.push_back(groupOf(members, false));
    }
    return groups;
}

namespace {

std::optional<long> memoryNumberOf(const EntryRow& row) {
    CardView card = readCard(row);
    if (!card.memoryNumber) return std::nullopt;
    std::string digits = trimBlanks(*card.memoryNumber);
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stol(digits);
}

// The place for a new number or mail column, as the template orders them: numbers before the
// mail column, mails right after the number column; else before the group, the memory-dial
// number or the end line.
size_t placeForNewColumn(const std::vector<std::string>& columns, bool numbers) {
    if (!numbers)
        for (size_t i = 0; i < columns.size(); ++i)
            if (columnKind(columns[i]) == ColumnKind::Numbers) return i + 1;
    for (size_t i = 0; i < columns.size(); ++i) {
        const std::string& value = columns[i];
        if ((numbers && columnKind(value) == ColumnKind::Mails) ||
            value.compare(0, kGroupItem.size(), kGroupItem) == 0 ||
            value.compare(0, kMemoryNumberItem.size(), kMemoryNumberItem) == 0 ||
            contains(value, kEndLine))
            return i;
    }
    return columns.size();
}

void addPieces(std::vector<std::string>& columns, ColumnKind kind,
               const std::vector<std::string>& pieces) {
    if (pieces.empty()) return;
    auto column = std::find_if(columns.begin(), columns.end(),
                               [kind](const std::string& v) { return columnKind(v) == kind; });
    if (column == columns.end()) {
        size_t place = placeForNewColumn(columns, kind == ColumnKind::Numbers);
        column = columns.insert(columns.begin() + static_cast<long>(place), "");
    }
    std::string& value = *column;
    // A value in the writers' form ends every piece with "<>"; the phone's has "<>" between.
    bool closed = value.empty() || value.ends_with(kJoin);
    for (const std::string& piece : pieces) {
        if (closed)
            value.append(piece).append(kJoin);
        else
            value.append(kJoin).append(piece);
    }
}

std::vector<std::string> usedColumns(const EntryRow& row) {
    std::vector<std::string> columns;
    for (int p = 0; p < kCardColumns; ++p)
        if (row.columns[p]) columns.push_back(*row.columns[p]);
    while (!columns.empty() && columns.back().empty()) columns.pop_back();
    return columns;
}

// Where a line the kept entry lacks goes: before its numbers, mails, group, memory-dial number
// or end line, as the template orders them.
size_t placeBeforeNumbers(const std::vector<std::string>& columns) {
    for (size_t i = 0; i < columns.size(); ++i) {
        const std::string& value = columns[i];
        if (columnKind(value) != ColumnKind::Other || value.compare(0, 6, "X-JPG-") == 0 ||
            value.compare(0, kGroupItem.size(), kGroupItem) == 0 || contains(value, kEndLine))
            return i;
    }
    return columns.size();
}

// The kept entry's empty lines filled from the first of the others that has them: the name,
// the reading, the note, the group.
void fillEmptyLines(std::vector<std::string>& columns, const std::vector<EntryRow>& others) {
    auto lineStarting = [&columns](std::string_view head) {
        return std::find_if(columns.begin(), columns.end(), [head](const std::string& value) {
            return startsWithIgnoringCase(value, head);
        });
    };
    auto fromOthers = [&others](std::string_view head) -> std::optional<std::string> {
        for (const EntryRow& other : others)
            for (const std::optional<std::string>& value : other.columns) {
                if (!value) break;
                if (startsWithIgnoringCase(*value, head) &&
                    !trimBlanks(std::string_view(*value).substr(value->find(':') + 1)).empty())
                    return *value;
            }
        return std::nullopt;
    };
    for (std::string_view head : {kNameItem, kReadingItem, std::string_view("NOTE")}) {
        auto line = lineStarting(head);
        bool empty = line == columns.end() ||
                     trimBlanks(std::string_view(*line).substr(line->find(':') + 1)).empty();
        if (!empty) continue;
        std::optional<std::string> filled = fromOthers(head);
        if (!filled) continue;
        if (line != columns.end()) {
            *line = *filled;
        } else {
            // The reading goes right after the name; the others before the numbers.
            auto name = lineStarting(kNameItem);
            size_t place = head == kReadingItem && name != columns.end()
                               ? static_cast<size_t>(name - columns.begin()) + 1
                               : placeBeforeNumbers(columns);
            columns.insert(columns.begin() + static_cast<long>(place), *filled);
        }
    }
    auto group = lineStarting(kGroupItem);
    if (group == columns.end() || trimBlanks(group->substr(kGroupItem.size())) == "0" ||
        trimBlanks(group->substr(kGroupItem.size())).empty()) {
        for (const EntryRow& other : others)
            for (const std::optional<std::string>& value : other.columns) {
                if (!value) break;
                std::string number =
                    startsWithIgnoringCase(*value, kGroupItem)
                        ? trimBlanks(std::string_view(*value).substr(kGroupItem.size()))
                        : std::string();
                if (number.empty() || number == "0") continue;
                if (group != columns.end())
                    *group = *value;
                else
                    columns.insert(
                        columns.begin() + static_cast<long>(placeForNewColumn(columns, false)),
                        *value);
                goto filledGroup;
            }
    filledGroup:;
    }
}

// Properties a card holds once: the kept entry's own stands, else the first other's.
bool heldOnce(std::string_view name) {
    for (std::string_view single : {"ORG", "TITLE", "ROLE", "BDAY", "ANNIVERSARY", "NICKNAME",
                                    "NOTE", "PHOTO", "LOGO", "UID", "GENDER", "TZ", "GEO"})
        if (name == single) return true;
    return false;
}

// What the kept entry holds beyond the phone's lines, with what the others hold that it lacks.
// The others' groups ("item1") are numbered anew so that a label stays with its own line.
std::vector<std::string> mergedExtras(const EntryRow& first, const std::vector<EntryRow>& others) {
    std::vector<std::string> extras = first.extras;
    std::unordered_set<std::string> lines(extras.begin(), extras.end()), once;
    int lastGroup = 0;
    auto noteLine = [&](const std::string& extra) {
        VcardLine line;
        if (!parseVcardLine(extra, line)) return line;
        if (heldOnce(line.name)) once.insert(line.name);
        if (line.group.size() > 4 && line.group.compare(0, 4, "item") == 0)
            lastGroup = std::max(lastGroup, std::atoi(line.group.c_str() + 4));
        return line;
    };
    for (const std::string& extra : extras) noteLine(extra);
    for (const EntryRow& other : others) {
        std::map<std::string, std::string> renamed;
        for (const std::string& extra : other.extras) {
            VcardLine line;
            if (!parseVcardLine(extra, line)) continue;
            if (heldOnce(line.name) && once.count(line.name)) continue;
            std::string text = extra;
            if (!line.group.empty()) {
                auto [found, added] = renamed.try_emplace(line.group, "");
                if (added) found->second = "item" + std::to_string(++lastGroup);
                text = found->second + extra.substr(line.group.size());
            }
            if (!lines.insert(text).second) continue;
            if (heldOnce(line.name)) once.insert(line.name);
            extras.push_back(std::move(text));
        }
    }
    return extras;
}

// The first entry's columns with the others' numbers and mails it lacks, and the lowest
// memory-dial number of them all.
std::vector<std::string> mergedColumns(const EntryRow& first, const std::vector<EntryRow>& others) {
    std::vector<std::string> columns = usedColumns(first);
    fillEmptyLines(columns, others);
    CardView kept = readCard(first);
    std::unordered_set<std::string> numberDigits, mailKeys;
    for (const NumberPiece& n : kept.numbers) numberDigits.insert(digitsOf(n.value));
    for (const MailPiece& m : kept.mails) mailKeys.insert(mailKey(m.value));
    std::vector<std::string> newNumbers, newMails;
    std::optional<long> lowest = memoryNumberOf(first);
    for (const EntryRow& other : others) {
        CardView card = readCard(other);
        for (const NumberPiece& n : card.numbers)
            if (numberDigits.insert(digitsOf(n.value)).second)
                newNumbers.push_back(n.head + ":" + n.value);
        for (const MailPiece& m : card.mails)
            if (mailKeys.insert(mailKey(m.value)).second)
                newMails.push_back(m.head + ":" + m.value);
        if (std::optional<long> number = memoryNumberOf(other))
            if (!lowest || *number < *lowest) lowest = number;
    }
    addPieces(columns, ColumnKind::Numbers, newNumbers);
    addPieces(columns, ColumnKind::Mails, newMails);
    if (lowest) {
        auto line = std::find_if(columns.begin(), columns.end(), [](const std::string& v) {
            return v.compare(0, kMemoryNumberItem.size(), kMemoryNumberItem) == 0;
        });
        std::string text = std::string(kMemoryNumberItem) + std::to_string(*lowest);
        if (line != columns.end())
            *line = text;
        else
            columns.insert(columns.begin() + static_cast<long>(placeForNewColumn(columns, false)),
                           text);
    }
    return columns;
}

}  // namespace

MergeResult mergeDuplicates(const Store& store, const std::vector<DuplicateGroup>& groups) {
    MergeResult result;
    Connection connection = store.open();
    Transaction transaction(connection);
    EntryById entries(connection);
    // Groups may share entries: counted once each, and an entry merged away in one group is
    // no longer there for the next.
    std::unordered_set<std::int64_t> touched, kept;
    for (const DuplicateGroup& group : groups) {
        if (group.entries.size() < 2) continue;
        std::optional<EntryRow> first;
        std::vector<EntryRow> others;
        for (const DuplicateEntry& entry : group.entries) {
            std::optional<EntryRow> row = entries.read(entry.id);
            if (!row) continue;
            if (!first)
                first = std::move(row);
            else
                others.push_back(std::move(*row));
        }
        if (!first || others.empty()) continue;
        // The name the user picked: moved to the front of the others, so that it fills first.
        if (group.nameFrom && *group.nameFrom != first->id) {
            auto picked = std::find_if(others.begin(), others.end(), [&](const EntryRow& row) {
                return row.id == *group.nameFrom;
            });
            if (picked != others.end()) {
                std::rotate(others.begin(), picked, picked + 1);
                for (std::optional<std::string>& column : first->columns)
                    if (column && (startsWithIgnoringCase(*column, kNameItem) ||
                                   startsWithIgnoringCase(*column, kReadingItem)))
                        column->resize(column->find(':') + 1);  // emptied: filled from the pick
            }
        }
        std::vector<std::string> columns = mergedColumns(*first, others);
        if (columns.size() > static_cast<size_t>(kCardColumns))
            throw TsunagiError("「" + group.entries.front().name + "」をまとめると 1 件の行数が " +
                               std::to_string(kCardColumns) +
                               " 行を超えるため、まとめられません。何も変更していません。");
        updateEntry(connection, first->id, columns);
        writeExtras(connection, first->id, mergedExtras(*first, others));
        touched.insert(first->id);
        kept.insert(first->id);
        for (const EntryRow& other : others) {
            entries.erase(other.id);
            touched.insert(other.id);
            kept.erase(other.id);
        }
    }
    transaction.commit();
    result.entriesBefore = static_cast<long>(touched.size());
    result.entriesAfter = static_cast<long>(kept.size());
    return result;
}

std::string describeMerge(const MergeResult& result) {
    if (result.entriesBefore == 0) return "まとめたデータはありません。";
    return std::to_string(result.entriesBefore) + " 件のデータを " +
           std::to_string(result.entriesAfter) + " 件にまとめました。";
}

}  // namespace tsunagi
