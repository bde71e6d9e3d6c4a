#include "card/entry_keys.h"

#include <algorithm>
#include <optional>

#include "card/checks.h"
#include "card/dialect.h"
#include "card/unicode.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

constexpr std::int64_t kKindBits = 7;

// FNV-1a over the bytes, then the finalizer of MurmurHash3 to spread them: fixed here, as the
// keys outlive the program that made them. Fed a byte at a time, so that a key's text need not
// be made first.
class KeyHash {
  public:
    void feed(unsigned char c) {
        hash_ ^= c;
        hash_ *= 0x100000001b3ULL;
    }
    std::int64_t key(KeyKind kind) const {
        std::uint64_t hash = hash_;
        hash ^= hash >> 33;
        hash *= 0xff51afd7ed558ccdULL;
        hash ^= hash >> 33;
        hash *= 0xc4ceb9fe1a85ec53ULL;
        hash ^= hash >> 33;
        return static_cast<std::int64_t>(hash & ~std::uint64_t(kKindBits)) |
               static_cast<std::int64_t>(kind);
    }

  private:
    std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace

KeyKind kindOf(std::int64_t key) { return static_cast<KeyKind>(key & kKindBits); }

std::int64_t keyOf(KeyKind kind, std::string_view text) {
    KeyHash hash;
    for (unsigned char c : text) hash.feed(c);
    return hash.key(kind);
}

std::string mailKey(std::string_view mail) { return lowerAscii(trimBlanks(mail)); }

namespace {

// The value of a joined value's piece as readCard takes it: after its first colon, up to the
// next.
std::string_view pieceValue(std::string_view piece) {
    size_t colon = piece.find(':');
    size_t next = piece.find(':', colon + 1);
    return piece.substr(colon + 1, next == std::string_view::npos ? next : next - colon - 1);
}

// Whether a line is of those a content key is made of: every line but the memory-dial number.
bool isContentLine(std::string_view value) {
    return !value.empty() && value.compare(0, kMemoryNumberItem.size(), kMemoryNumberItem) != 0;
}

// Every line but the memory-dial number, `at(p)` giving line p of `count`, after what
// `content` holds.
template <typename LineAt>
void appendContentOf(int count, LineAt at, std::string& content) {
    for (int p = 0; p < count; ++p) {
        std::string_view value = at(p);
        if (!isContentLine(value)) continue;
        content.append(value);
        content += '\x1f';
    }
}

// The key of a number written as digits with hyphens, brackets, dots or blanks at most, as
// numberKey makes it, without making its text; none for any other number.
std::optional<std::int64_t> plainNumberKey(std::string_view number) {
    KeyHash hash;
    bool digits = false;
    for (char c : number) {
        if (c >= '0' && c <= '9') {
            hash.feed(static_cast<unsigned char>(c));
            digits = true;
        } else if (!isNumberSeparator(c)) {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    return hash.key(KeyKind::Number);
}

// The key of a mail of printable ASCII without blanks, as mailKey makes it; none for another.
std::optional<std::int64_t> plainMailKey(std::string_view mail) {
    if (mail.empty()) return std::nullopt;
    KeyHash hash;
    for (char c : mail) {
        if (c <= ' ' || c > '~') return std::nullopt;
        hash.feed(static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c));
    }
    return hash.key(KeyKind::Mail);
}

// The keys of a card's lines, `at(p)` giving line p of `count`: read as readCard reads them,
// without making its pieces.
template <typename LineAt>
void makeKeys(int count, LineAt at, std::vector<std::int64_t>& keys, std::string& content) {
    keys.clear();
    auto addKey = [&keys](std::int64_t key) {
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
    };
    auto add = [&addKey](KeyKind kind, std::string_view text) {
        if (!text.empty()) addKey(keyOf(kind, text));
    };
    std::string_view name;
    for (int p = 0; p < count; ++p) {
        std::string_view value = at(p);
        if (value.empty()) continue;
        ColumnKind kind = columnKind(value);
        if (kind == ColumnKind::Numbers || kind == ColumnKind::Mails) {
            for (size_t start = 0;;) {
                size_t end = value.find(kJoin, start);
                std::string_view piece = value.substr(start, end - start);
                if (piece.find(':') != std::string_view::npos) {
                    std::string_view text = pieceValue(piece);
                    if (kind == ColumnKind::Numbers) {
                        if (std::optional<std::int64_t> key = plainNumberKey(text))
                            addKey(*key);
                        else
                            add(KeyKind::Number, numberKey(text));
                    } else if (std::optional<std::int64_t> key = plainMailKey(text)) {
                        addKey(*key);
                    } else {
                        add(KeyKind::Mail, mailKey(text));
                    }
                }
                if (end == std::string_view::npos) break;
                start = end + kJoin.size();
            }
        } else if (value.compare(0, kNameItem.size(), kNameItem) == 0) {
            name = pieceValue(value);  // the last name line is the name
        }
    }
    add(KeyKind::Name, personNameKey(name));
    // Two entries of one content share their name, numbers and mails; an entry with none of
    // them is found by its content.
    if (!keys.empty()) return;
    content.clear();
    appendContentOf(count, at, content);
    add(KeyKind::Content, content);
}

}  // namespace

void appendContentKey(const EntryRow& row, std::string& content) {
    appendContentOf(
        kCardColumns, [&row](int p) { return std::string_view(row.at(p)); }, content);
}

std::string contentKey(const EntryRow& row) {
    std::string content;
    appendContentKey(row, content);
    return content;
}

int compareContent(const EntryRow& one, const EntryRow& other) {
    // The lines a content key is made of, one after another.
    auto next = [](const EntryRow& row, size_t& p) -> std::optional<std::string_view> {
        for (size_t end = std::min(row.columns.size(), size_t(kCardColumns)); p < end; ++p)
            if (const std::optional<std::string>& column = row.columns[p];
                column && isContentLine(*column))
                return *row.columns[p++];
        return std::nullopt;
    };
    size_t p = 0, q = 0;
    for (;;) {
        std::optional<std::string_view> a = next(one, p), b = next(other, q);
        if (!a || !b) return a ? 1 : b ? -1 : 0;
        if (int order = a->compare(*b); order != 0) return order;
    }
}

const std::vector<std::int64_t>& EntryKeyMaker::keysOf(std::span<const std::string> columns) {
    makeKeys(
        static_cast<int>(std::min(columns.size(), size_t(kCardColumns))),
        [&columns](int p) { return std::string_view(columns[p]); }, keys_, content_);
    return keys_;
}

const std::vector<std::int64_t>& EntryKeyMaker::keysOf(const EntryRow& row) {
    makeKeys(
        kCardColumns, [&row](int p) { return std::string_view(row.at(p)); }, keys_, content_);
    return keys_;
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

std::vector<SharedKey> sharedEntryKeys(Connection& connection, std::vector<EntryKeyKinds>* kinds,
                                       HeldKeys* held) {
    // The held keys are those of the entries while the store's handle has changed no row since
    // they were last whole; where that is not known, while as many entries are held as there
    // are (counting them reads the whole table).
    if (held && held->whole &&
        (held->changedRows >= 0 ? held->changedRows == connection.changedRows()
                                : static_cast<int>(held->kinds.size()) == countEntries(connection)))
        return sharedKeys(*held, kinds);
    Statement made = connection.prepare("PRAGMA user_version;");
    bool current = made.step() && made.integer(0) == kEntryKeysVersion;
    int keyed = 0;
    if (current) {
        // Every entry with keys is an entry (its keys go with it), so when as many have keys as
        // there are entries, none lacks them.
        std::vector<SharedKey> shared = sharedKeys(connection, &keyed, kinds);
        if (keyed == countEntries(connection)) return shared;
        if (kinds) kinds->clear();
    }
    makeMissingKeys(connection);
    return sharedKeys(connection, nullptr, kinds);
}

}  // namespace tsunagi
