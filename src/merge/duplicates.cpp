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
#include "card/person.h"
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

struct Candidate {
    DuplicateEntry entry;
    std::vector<std::string> numberDigits;
    std::vector<std::string> mailKeys;
    std::string name;  // the name key, old kanji as new
    // The lines that say its name (the name and reading lines, and the kept N, FN, nickname
    // and readings), to make the keys from once another entry shares a number or a mail.
    EntryRow nameLines;
    std::optional<std::vector<std::string>> keys;  // every way another book may write its name
};

// How many different keys the members have among them. A group can be thousands strong (one
// person's card read from many backups), so the keys seen are hashed, not searched.
size_t distinctAcross(const std::vector<const Candidate*>& people,
                      std::vector<std::string> Candidate::*keys) {
    std::unordered_set<std::string_view> seen;
    for (const Candidate* person : people)
        for (const std::string& key : person->*keys) seen.insert(key);
    return seen.size();
}

DuplicateGroup groupOf(const std::vector<const Candidate*>& members, DuplicateKind kind) {
    DuplicateGroup group;
    group.kind = kind;
    for (const Candidate* person : members) group.entries.push_back(person->entry);
    std::sort(group.entries.begin(), group.entries.end(),
              [](const DuplicateEntry& a, const DuplicateEntry& b) { return a.id < b.id; });
    group.mergedNumbers = distinctAcross(members, &Candidate::numberDigits);
    group.mergedMails = distinctAcross(members, &Candidate::mailKeys);
    return group;
}

bool isLatin(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80;
    });
}

// The ways a name is written in other books: the name itself (old kanji as new, kana of any
// width and kind), family and given the other way round (Latin and kana names), the reading,
// the reading in Latin letters, nicknames.
std::vector<std::string> nameKeysOf(const Person& person) {
    std::vector<std::string> keys;
    auto add = [&keys](std::string key) {
        if (!key.empty() && std::find(keys.begin(), keys.end(), key) == keys.end())
            keys.push_back(std::move(key));
    };
    const std::string &family = person.name[0], &given = person.name[1];
    add(kanjiFormKey(family + given));
    if (isLatin(family + given) || !isJapaneseScript(family + given) ||
        katakanaOf(family + given) == fullWidthKatakana(family + given))
        add(kanjiFormKey(given + family));
    if (isLatin(family + given)) {
        add(romajiOf(family + given));
        add(romajiOf(given + family));
    }
    const std::string &readingFamily = person.readingFamily, &readingGiven = person.readingGiven;
    add(kanjiFormKey(readingFamily + readingGiven));
    add(kanjiFormKey(readingGiven + readingFamily));
    add(romajiOf(readingFamily + readingGiven));
    add(romajiOf(readingGiven + readingFamily));
    for (const std::string& nickname : person.nicknames) add(kanjiFormKey(nickname));
    return keys;
}

}  // namespace

std::vector<DuplicateGroup> findDuplicates(const Store& store) {
    std::vector<Candidate> people;
    std::unordered_map<std::string, size_t> byContent;
    std::unordered_map<std::string, std::vector<size_t>> byName;
    std::vector<std::pair<size_t, size_t>> sureLinks;
    {
        Connection connection = store.open();
        forEachEntry(connection, [&](const EntryRow& row) {
            CardView card = readCard(row);
            Candidate person;
            person.entry.id = row.id;
            person.entry.name = card.name.value_or("");
            person.entry.reading = card.reading.value_or("");
            for (const std::optional<std::string>& column : row.columns) {
                if (!column) break;
                std::string_view property = propertyName(*column);
                if (column->compare(0, kNameItem.size(), kNameItem) == 0 || property == "SOUND")
                    person.nameLines.columns.push_back(*column);
                else if (property == "ORG" && person.entry.company.empty())
                    person.entry.company = trimBlanks(pieceAt(pieceAt(*column, ":", 1), ";", 0));
            }
            for (const std::string& extra : row.extras) {
                std::string_view property = propertyName(extra);
                if (property == "N" || property == "FN" || property == "NICKNAME" ||
                    startsWithIgnoringCase(property, "X-PHONETIC-"))
                    person.nameLines.extras.push_back(extra);
                else if (property == "ORG" && person.entry.company.empty())
                    person.entry.company = trimBlanks(pieceAt(pieceAt(extra, ":", 1), ";", 0));
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
            person.name = kanjiFormKey(person.entry.name);
            size_t index = people.size();
            if (!person.name.empty()) byName[person.name].push_back(index);
            auto [at, fresh] = byContent.emplace(contentKey(row), index);
            if (!fresh) sureLinks.push_back({at->second, index});
            people.push_back(std::move(person));
        });
    }

    UnionFind sure(people.size());
    for (auto [a, b] : sureLinks) sure.join(a, b);
    // One name: the same person where the entries share a number or a mail, or one of them has
    // none; entries whose numbers and mails all differ may be two people of one name.
    std::vector<std::vector<size_t>> namesakes;
    for (auto& [name, members] : byName) {
        if (members.size() < 2) continue;
        UnionFind local(members.size());
        std::unordered_map<std::string_view, size_t> firstWith;
        std::optional<size_t> firstInformed;
        for (size_t m = 0; m < members.size(); ++m) {
            const Candidate& person = people[members[m]];
            bool informed = !person.numberDigits.empty() || !person.mailKeys.empty();
            if (informed && !firstInformed) firstInformed = m;
            for (const auto* keys : {&person.numberDigits, &person.mailKeys})
                for (const std::string& key : *keys) {
                    auto [at, fresh] = firstWith.emplace(key, m);
                    if (!fresh) local.join(at->second, m);
                }
        }
        for (size_t m = 0; m < members.size(); ++m) {
            const Candidate& person = people[members[m]];
            if (person.numberDigits.empty() && person.mailKeys.empty())
                local.join(firstInformed.value_or(0), m);
        }
        std::map<size_t, std::vector<size_t>> parts;
        for (size_t m = 0; m < members.size(); ++m) {
            parts[local.find(m)].push_back(members[m]);
            sure.join(members[local.find(m)], members[m]);
        }
        if (parts.size() > 1) namesakes.push_back(members);
    }
    // Shared numbers and mails: one person where the names agree written another way,
    // else whole groups linked as "possibly the same".
    std::unordered_map<std::string, std::vector<size_t>> byContact;
    for (size_t i = 0; i < people.size(); ++i) {
        for (const std::string& digits : people[i].numberDigits)
            byContact["T" + digits].push_back(i);
        for (const std::string& mail : people[i].mailKeys) byContact["M" + mail].push_back(i);
    }
    for (auto& [contact, members] : byContact) {
        if (members.size() < 2) continue;
        std::unordered_map<std::string_view, size_t> byKey;
        for (size_t i : members) {
            std::optional<std::vector<std::string>>& keys = people[i].keys;
            if (!keys) keys = nameKeysOf(readPerson(people[i].nameLines));
            for (const std::string& key : *keys) {
                auto [at, fresh] = byKey.emplace(key, i);
                if (!fresh && people[at->second].name != people[i].name) sure.join(at->second, i);
            }
        }
    }
    UnionFind possible(people.size());
    for (auto& [contact, members] : byContact)
        for (size_t i : members)
            if (sure.find(members.front()) != sure.find(i))
                possible.join(sure.find(members.front()), sure.find(i));

    std::map<size_t, std::vector<const Candidate*>> sureMembers;
    for (size_t i = 0; i < people.size(); ++i) sureMembers[sure.find(i)].push_back(&people[i]);
    std::vector<DuplicateGroup> groups;
    for (const auto& [leader, members] : sureMembers)
        if (members.size() > 1) groups.push_back(groupOf(members, DuplicateKind::Same));
    // Namesakes whom nothing else ties are shown together, for the user to decide.
    for (const std::vector<size_t>& members : namesakes) {
        std::unordered_set<size_t> leaders;
        std::vector<const Candidate*> all;
        for (size_t m : members) {
            leaders.insert(sure.find(m));
            all.push_back(&people[m]);
        }
        if (leaders.size() > 1) groups.push_back(groupOf(all, DuplicateKind::Namesakes));
    }
    std::map<size_t, std::vector<const Candidate*>> possibleMembers;
    for (const auto& [leader, members] : sureMembers)
        for (const Candidate* person : members)
            possibleMembers[possible.find(leader)].push_back(person);
    for (auto& [leader, members] : possibleMembers) {
        if (sureMembers[leader].size() == members.size()) continue;  // linked to nobody
        groups.push_back(groupOf(members, DuplicateKind::Possible));
    }
    // Sure groups first, in the order of their first entries, then the others.
    std::stable_sort(groups.begin(), groups.end(),
                     [](const DuplicateGroup& a, const DuplicateGroup& b) {
                         if (a.sure() != b.sure()) return a.sure();
                         return a.entries.front().id < b.entries.front().id;
                     });
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

// Properties a person has one of: the kept entry's own stands, else the first other's; what
// differs is named.
bool heldOnce(std::string_view name) {
    for (std::string_view single :
         {"BDAY", "ANNIVERSARY", "PHOTO", "LOGO", "UID", "GENDER", "TZ", "GEO", "N", "FN"})
        if (name == single) return true;
    return false;
}

// The words a merge's summary names a property by.
std::string spokenProperty(std::string_view name) {
    if (name == "BDAY") return "誕生日";
    if (name == "ANNIVERSARY") return "記念日";
    if (name == "GENDER") return "性別";
    return std::string(name);
}

// What the kept entry holds beyond the phone's lines, with what the others hold that it lacks:
// every note, company, title, address, web page and the like united; N and FN only of the
// entry that gives the name; readings as the phone's lines hold them (in katakana). The others'
// groups ("item1") are numbered anew so that a label stays with its own line. What one value
// must win of is named in `notKept`.
std::vector<std::string> mergedExtras(const EntryRow& first, const std::vector<EntryRow>& others,
                                      std::int64_t nameSource, const std::string& name,
                                      std::vector<std::string>& notKept) {
    std::vector<std::string> extras;
    std::unordered_set<std::string> lines, notes;
    std::map<std::string, std::string> once;  // property → the value that stands
    int lastGroup = 0;
    for (const std::string& extra : first.extras) {
        VcardLine line;
        if (parseVcardLine(extra, line) && line.group.size() > 4 &&
            line.group.compare(0, 4, "item") == 0)
            lastGroup = std::max(lastGroup, std::atoi(line.group.c_str() + 4));
    }
    auto add = [&](const EntryRow& row, bool kept) {
        std::map<std::string, std::string> renamed;
        for (const std::string& extra : row.extras) {
            VcardLine line;
            if (!parseVcardLine(extra, line)) continue;
            bool alternative = line.parameter("ALTID").has_value();
            if (line.name == "X-PHONETIC-LAST-NAME" || line.name == "X-PHONETIC-FIRST-NAME" ||
                line.name == "NOTE")
                continue;  // readings from the phone's lines; every note below
            if ((line.name == "N" || line.name == "FN") && row.id != nameSource && !alternative)
                continue;
            if (heldOnce(line.name) && !alternative) {
                auto [at, added] = once.emplace(line.name, trimBlanks(line.value));
                if (!added) {
                    if (at->second != trimBlanks(line.value) && line.name != "UID" &&
                        line.name != "N" && line.name != "FN") {
                        std::string scratch;
                        notKept.push_back(name + ": " + spokenProperty(line.name) + " " +
                                          std::string(unescapeText(line.value, scratch)));
                    }
                    continue;
                }
            }
            std::string text = extra;
            if (!kept && !line.group.empty()) {
                auto [found, added] = renamed.try_emplace(line.group, "");
                if (added) found->second = "item" + std::to_string(++lastGroup);
                text = found->second + extra.substr(line.group.size());
            }
            if (lines.insert(text).second) extras.push_back(std::move(text));
        }
        // Every note of every entry, each once; the kept entry's own line stays where it is.
        Person person = readPerson(row);
        std::vector<std::string> columnNotes;
        if (kept) {
            CardView card = readCard(row);
            if (card.note) columnNotes = readPerson(EntryRow{0, {card.note}, {}}).notes;
        }
        for (const std::string& text : person.notes) {
            bool inColumn =
                std::find(columnNotes.begin(), columnNotes.end(), text) != columnNotes.end();
            if (notes.insert(text).second && !inColumn)
                extras.push_back("NOTE:" + escapeText(text));
        }
    };
    add(first, true);
    for (const EntryRow& other : others) add(other, false);
    return extras;
}

// A number as merging compares it: its digits, its extension and whether it is a fax, so that
// two extensions of one office and a shop's number and fax stay apart.
std::vector<std::string> numberItemKeys(const EntryRow& row, const CardView& card) {
    Person person = readPerson(row);
    std::vector<std::string> keys;
    size_t k = 0;
    for (const NumberPiece& number : card.numbers) {
        std::string key = digitsOf(number.value);
        if (!trimBlanks(number.value).empty() && k < person.numbers.size()) {
            const PersonItem& item = person.numbers[k++];
            std::string text = trimBlanks(item.text());
            if (startsWithIgnoringCase(text, "tel:")) text = text.substr(4);
            key += "|" + std::string(splitExtension(text).extension);
            if (item.hasType("FAX")) key += "|FAX";
        }
        keys.push_back(std::move(key));
    }
    return keys;
}

// The first entry's columns with the others' numbers and mails it lacks, and the lowest
// memory-dial number of them all.
std::vector<std::string> mergedColumns(const EntryRow& first, const std::vector<EntryRow>& others) {
    std::vector<std::string> columns = usedColumns(first);
    fillEmptyLines(columns, others);
    CardView kept = readCard(first);
    std::unordered_set<std::string> numberDigits, mailKeys;
    for (const std::string& key : numberItemKeys(first, kept)) numberDigits.insert(key);
    for (const MailPiece& m : kept.mails) mailKeys.insert(mailKey(m.value));
    std::vector<std::string> newNumbers, newMails;
    std::optional<long> lowest = memoryNumberOf(first);
    for (const EntryRow& other : others) {
        CardView card = readCard(other);
        std::vector<std::string> keys = numberItemKeys(other, card);
        for (size_t i = 0; i < card.numbers.size(); ++i)
            if (numberDigits.insert(keys[i]).second)
                newNumbers.push_back(card.numbers[i].head + ":" + card.numbers[i].value);
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

// How good a name is to keep: family and given apart over a whole name, kanji over kana,
// normal width over half-width; the same whatever order the entries came in.
std::tuple<int, int, int, std::string> nameRank(const std::string& name) {
    bool kanji = false;
    for (size_t i = 0; i + 2 < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        // CJK ideographs: U+4E00 to U+9FFF, three bytes from E4 B8 80 to E9 BF BF.
        if (c >= 0xE4 && c <= 0xE9) kanji = true;
    }
    bool halfWidth = fullWidthKatakana(name) != name;
    return {contains(name, ";") ? 1 : 0, kanji ? 1 : 0, halfWidth ? 0 : 1, name};
}

// How good a reading is to keep: family and given apart, katakana over hiragana.
std::tuple<int, int, std::string> readingRank(const std::string& reading) {
    return {contains(reading, ";") ? 1 : 0, katakanaOf(reading) == reading ? 1 : 0, reading};
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
        std::vector<EntryRow> rows;
        for (const DuplicateEntry& entry : group.entries)
            if (std::optional<EntryRow> row = entries.read(entry.id))
                rows.push_back(std::move(*row));
        if (rows.size() < 2) continue;
        // The merged entry keeps the place (the id) of the earliest, and is built on the entry
        // with the name the user picked, else the best name of the group, so that it comes out
        // the same whatever order the books were read in.
        std::int64_t place = rows.front().id;
        for (const EntryRow& row : rows) place = std::min(place, row.id);
        struct Rank {
            bool picked;
            std::tuple<int, int, int, std::string> name;
            size_t lines;
            std::string content;
            size_t row;
        };
        std::vector<Rank> ranked;
        for (size_t i = 0; i < rows.size(); ++i)
            ranked.push_back({group.nameFrom && *group.nameFrom == rows[i].id,
                              nameRank(readCard(rows[i]).name.value_or("")),
                              usedColumns(rows[i]).size(), contentKey(rows[i]), i});
        // The pick, the best name, the card with most lines, then its text: never the order.
        std::sort(ranked.begin(), ranked.end(), [](const Rank& a, const Rank& b) {
            if (a.picked != b.picked) return a.picked;
            if (a.name != b.name) return a.name > b.name;
            if (a.lines != b.lines) return a.lines > b.lines;
            return a.content < b.content;
        });
        const EntryRow& base = rows[ranked.front().row];
        std::vector<EntryRow> others;
        for (size_t r = 1; r < ranked.size(); ++r) others.push_back(rows[ranked[r].row]);
        std::string bestReading = readCard(base).reading.value_or("");
        for (const EntryRow& other : others) {
            CardView card = readCard(other);
            if (card.reading && !trimBlanks(*card.reading).empty() &&
                (trimBlanks(bestReading).empty() ||
                 readingRank(*card.reading) > readingRank(bestReading)))
                bestReading = *card.reading;
        }
        std::vector<std::string> columns = mergedColumns(base, others);
        if (!bestReading.empty())
            for (std::string& column : columns)
                if (startsWithIgnoringCase(column, kReadingItem))
                    column = std::string(kReadingItem) + bestReading;
        if (columns.size() > static_cast<size_t>(kCardColumns))
            throw TsunagiError("「" + group.entries.front().name + "」をまとめると 1 件の行数が " +
                               std::to_string(kCardColumns) +
                               " 行を超えるため、まとめられません。何も変更していません。");
        std::string shown = shownName(readCard(base).name.value_or(""));
        std::vector<std::string> extras =
            mergedExtras(base, others, base.id, shown, result.notKept);
        updateEntry(connection, place, columns);
        writeExtras(connection, place, extras);
        for (const EntryRow& row : rows) {
            touched.insert(row.id);
            if (row.id == place) {
                kept.insert(row.id);
            } else {
                entries.erase(row.id);
                kept.erase(row.id);
            }
        }
    }
    transaction.commit();
    result.entriesBefore = static_cast<long>(touched.size());
    result.entriesAfter = static_cast<long>(kept.size());
    return result;
}

size_t bestNamedEntry(const DuplicateGroup& group) {
    size_t best = 0;
    for (size_t e = 1; e < group.entries.size(); ++e)
        if (nameRank(group.entries[e].name) > nameRank(group.entries[best].name)) best = e;
    return best;
}

std::string describeMerge(const MergeResult& result) {
    if (result.entriesBefore == 0) return "まとめたデータはありません。";
    std::string words = std::to_string(result.entriesBefore) + " 件のデータを " +
                        std::to_string(result.entriesAfter) + " 件にまとめました。";
    if (!result.notKept.empty())
        words += "\n1 つしか持てないため、次は残していません：" +
                 namedEntries(result.notKept, result.notKept.size()) + "。";
    return words;
}

}  // namespace tsunagi
