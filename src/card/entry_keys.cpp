#include "card/entry_keys.h"

#include <algorithm>

#include "card/card_view.h"
#include "card/checks.h"
#include "card/dialect.h"
#include "card/unicode.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

constexpr std::int64_t kKindBits = 7;

// FNV-1a over the bytes, then the finalizer of MurmurHash3 to spread them: fixed here, as the
// keys outlive the program that made them.
std::uint64_t hashOf(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    hash *= 0xc4ceb9fe1a85ec53ULL;
    hash ^= hash >> 33;
    return hash;
}

bool isLatin(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80;
    });
}

}  // namespace

KeyKind kindOf(std::int64_t key) { return static_cast<KeyKind>(key & kKindBits); }

std::int64_t keyOf(KeyKind kind, std::string_view text) {
    return static_cast<std::int64_t>(hashOf(text) & ~std::uint64_t(kKindBits)) |
           static_cast<std::int64_t>(kind);
}

std::string mailKey(std::string_view mail) { return lowerAscii(trimBlanks(mail)); }

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

std::vector<std::string> spellingsOf(const Person& person) {
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

const std::vector<std::int64_t>& EntryKeyMaker::keysOf(std::span<const std::string> columns) {
    row_.columns.resize(kCardColumns);
    for (size_t c = 0; c < row_.columns.size(); ++c) {
        if (c >= columns.size()) {
            row_.columns[c].reset();
        } else if (row_.columns[c]) {
            row_.columns[c]->assign(columns[c]);
        } else {
            row_.columns[c].emplace(columns[c]);
        }
    }
    return keysOf(row_);
}

const std::vector<std::int64_t>& EntryKeyMaker::keysOf(const EntryRow& row) {
    keys_.clear();
    auto add = [this](KeyKind kind, std::string_view text) {
        if (text.empty()) return;
        std::int64_t key = keyOf(kind, text);
        if (std::find(keys_.begin(), keys_.end(), key) == keys_.end()) keys_.push_back(key);
    };
    CardView card = readCard(row);
    add(KeyKind::Name, kanjiFormKey(card.name.value_or("")));
    for (const NumberPiece& number : card.numbers) add(KeyKind::Number, numberKey(number.value));
    for (const MailPiece& mail : card.mails) add(KeyKind::Mail, mailKey(mail.value));
    // Two entries of one content share their name, numbers and mails; an entry with none of
    // them is found by its content.
    if (keys_.empty()) add(KeyKind::Content, contentKey(row));
    return keys_;
}

EntryRow nameLinesOf(const EntryRow& row) {
    EntryRow nameLines;
    for (const std::optional<std::string>& column : row.columns) {
        if (!column) break;
        if (column->compare(0, kNameItem.size(), kNameItem) == 0 ||
            propertyName(*column) == "SOUND")
            nameLines.columns.push_back(*column);
    }
    for (const std::string& extra : row.extras) {
        std::string_view property = propertyName(extra);
        if (property == "N" || property == "FN" || property == "NICKNAME" ||
            startsWithIgnoringCase(property, "X-PHONETIC-"))
            nameLines.extras.push_back(extra);
    }
    return nameLines;
}

void makeMissingKeys(Connection& connection) {
    Transaction transaction(connection);
    forgetKeysUnlessMadeBy(connection, kEntryKeysVersion);
    std::vector<std::int64_t> ids = unkeyedEntries(connection);
    EntryById entries(connection);
    KeyWriter writer(connection);
    EntryKeyMaker maker;
    EntryRow row;
    for (std::int64_t id : ids)
        if (entries.read(id, row)) writer.write(id, maker.keysOf(row));
    transaction.commit();
}

std::vector<SharedKey> sharedEntryKeys(Connection& connection) {
    Statement made = connection.prepare("PRAGMA user_version;");
    bool current = made.step() && made.integer(0) == kEntryKeysVersion;
    int keyed = 0;
    if (current) {
        // Every entry with keys is an entry (its keys go with it), so when as many have keys as
        // there are entries, none lacks them.
        std::vector<SharedKey> shared = sharedKeys(connection, &keyed);
        if (keyed == countEntries(connection)) return shared;
    }
    makeMissingKeys(connection);
    return sharedKeys(connection);
}

}  // namespace tsunagi
