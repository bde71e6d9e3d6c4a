#include "card/entry_keys.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <random>

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

// What a line holds as columnKind tells it; the phone's own heads of numbers and mails at once.
ColumnKind lineKind(std::string_view value) {
    if (value.starts_with("TEL;") || value.starts_with("TEL:")) return ColumnKind::Numbers;
    if (value.starts_with("EMAIL;") || value.starts_with("EMAIL:")) return ColumnKind::Mails;
    return columnKind(value);
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
        // Lines of numbers and mails begin with T, E or the join ("<>"); a name line with N.
        char first = static_cast<char>(value[0] | 0x20);
        if (first == 'n') {
            if (value.starts_with(kNameItem)) name = pieceValue(value);  // the last name line
            continue;
        }
        if (first != 't' && first != 'e' && value[0] != kJoin[0]) continue;
        ColumnKind kind = lineKind(value);
        if (kind == ColumnKind::Numbers || kind == ColumnKind::Mails) {
            for (size_t start = 0;;) {
                size_t end = value.find(kJoin, start);
                std::string_view piece = value.substr(start, end - start);
                if (size_t colon = piece.find(':'); colon != std::string_view::npos) {
                    // The value runs to the next colon; a plain number holds none.
                    std::string_view rest = piece.substr(colon + 1);
                    auto text = [rest] { return rest.substr(0, rest.find(':')); };
                    if (kind == ColumnKind::Numbers) {
                        if (std::optional<std::int64_t> key = plainNumberKey(rest))
                            addKey(*key);
                        else
                            add(KeyKind::Number, numberKey(text()));
                    } else if (std::optional<std::int64_t> key = plainMailKey(text())) {
                        addKey(*key);
                    } else {
                        add(KeyKind::Mail, mailKey(text()));
                    }
                }
                if (end == std::string_view::npos) break;
                start = end + kJoin.size();
            }
        }
    }
    personNameKey(name, content);  // its room lent to the name's key
    add(KeyKind::Name, content);
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

namespace {

std::uint64_t word64(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    return word;
}

// Whether `text` may hold ",", "x", "X" or the byte E5: eight bytes at a time, each with its
// 0x20 bit set, so that "X" is "x" (and a few bytes no line of numbers holds are taken too).
bool holdsAnyOf(std::string_view text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
    auto holds = [](std::uint64_t word) {
        word |= kOnes * 0x20;
        std::uint64_t comma = word ^ (kOnes * ','), ex = word ^ (kOnes * 'x'),
                      e5 = word ^ (kOnes * 0xE5);
        return (((comma - kOnes) & ~comma) | ((ex - kOnes) & ~ex) | ((e5 - kOnes) & ~e5)) & kHighs;
    };
    const size_t size = text.size();
    if (size < 8) {
        std::uint64_t word = 0x2020202020202020ULL;  // blanks: none of them
        std::memcpy(&word, text.data(), size);
        return holds(word);
    }
    size_t at = 0;
    for (; at + 8 <= size; at += 8)
        if (holds(word64(text.data() + at))) return true;
    return at < size && holds(word64(text.data() + size - 8));
}

// Whether merging a card with a card of the same lines leaves every line as it is. A merge keeps
// the first card's lines, but fills an empty name, reading or note from a later line of the
// others, takes a later group number for a group of 0, writes the lowest memory-dial number
// anew (taken from any line that holds one), the reading after the phone's own head, and drops
// a number known with its extension too; a card with none of these to do is its own merge.
// Cards with lines beyond the phone's or an identity of their own are merged by reading them.
// Run on every card read: each line is told by its first letter.
bool mergesUnchanged(std::span<const std::string> columns) {
    // Of the name, the reading and the note: whether an empty line has come yet, and whether a
    // filled one came after it.
    enum Filled { kName, kReading, kNote };
    bool emptyBefore[3] = {false, false, false};
    auto filled = [&emptyBefore](Filled which, std::string_view line) {
        // As a merge reads them: blanks alone are empty; without a colon, the whole line.
        bool empty = line.find_first_not_of(' ', line.find(':') + 1) == std::string_view::npos;
        if (emptyBefore[which] && !empty) return false;
        emptyBefore[which] = emptyBefore[which] || empty;
        return true;
    };
    int readings = 0, memoryNumbers = 0, groups = 0;
    for (const std::string& column : columns) {
        if (column.empty()) return false;
        std::string_view line = column;
        size_t searchFrom = 0;  // where a memory-dial number inside the line is sought from
        switch (line[0] | 0x20) {
            case 'u':
                if (startsWithIgnoringCase(line, "UID")) return false;
                break;
            case 'x':
                if (line.starts_with(kMemoryNumberItem)) {
                    std::string_view digits = line.substr(kMemoryNumberItem.size());
                    if (++memoryNumbers > 1 || digits.empty() || digits.size() > 9 ||
                        digits.find_first_not_of("0123456789") != std::string_view::npos ||
                        (digits.size() > 1 && digits[0] == '0'))
                        return false;
                    searchFrom = line.size();
                    break;
                }
                if (startsWithIgnoringCase(line, "X-TSUNAGI") ||
                    (startsWithIgnoringCase(line, kGroupItem) && ++groups > 1))
                    return false;
                searchFrom = 1;
                break;
            case 's':
                if (!startsWithIgnoringCase(line, "SOUND")) break;
                if (++readings > 1 || !line.starts_with(kReadingItem) || !filled(kReading, line))
                    return false;
                break;
            case 'n':
                if ((startsWithIgnoringCase(line, kNameItem) && !filled(kName, line)) ||
                    (startsWithIgnoringCase(line, "NOTE") && !filled(kNote, line)))
                    return false;
                break;
        }
        // A line of numbers with an extension after ",", "x", "EXT" or "内線" (most hold none
        // of their first bytes), or a memory-dial number inside another line.
        if ((line[0] == 'T' || line[0] == 't' || line[0] == '<') && holdsAnyOf(line) &&
            columnKind(line) == ColumnKind::Numbers &&
            (contains(line, ",") || contains(line, "x") || contains(line, "EXT") ||
             contains(line, "内線")))
            return false;
        if (searchFrom < line.size() &&
            std::memchr(line.data() + searchFrom, 'X', line.size() - searchFrom) &&
            contains(line.substr(searchFrom), kMemoryNumberItem))
            return false;
    }
    return true;
}

// The keys of this run's prints: random, so that no file can be written whose cards print alike
// without being alike.
const std::array<std::uint64_t, 4>& printSecrets() {
    static const std::array<std::uint64_t, 4> secrets = [] {
        std::random_device device;
        std::array<std::uint64_t, 4> made;
        for (std::uint64_t& secret : made)
            secret = (std::uint64_t(device()) << 32 | device()) | 1;  // odd: a multiplier
        return made;
    }();
    return secrets;
}

std::uint64_t folded(std::uint64_t a, std::uint64_t b) {
    unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

std::uint64_t word32(const char* bytes) {
    std::uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

}  // namespace

CardPrint cardPrint(std::span<const std::string> columns, std::string_view joinedExtras) {
    if (!joinedExtras.empty() || !mergesUnchanged(columns)) return {};
    // Each line's length, then its bytes 16 at a time (the last 16 read again where they
    // overlap; a short line's few in two words), each folded in by a 128-bit product keyed by
    // the run's secrets.
    const std::array<std::uint64_t, 4>& secret = printSecrets();
    std::uint64_t hash = columns.size() ^ secret[2];
    auto mix = [&hash, s0 = secret[0], s1 = secret[1]](std::uint64_t a, std::uint64_t b) {
        hash = folded(a ^ s0 ^ hash, b ^ s1);
    };
    for (const std::string& column : columns) {
        const char* bytes = column.data();
        const size_t size = column.size();
        mix(size, 0);
        if (size >= 16) {
            size_t at = 0;
            for (; at + 16 <= size; at += 16) mix(word64(bytes + at), word64(bytes + at + 8));
            if (at < size) mix(word64(bytes + size - 16), word64(bytes + size - 8));
        } else if (size >= 8) {
            mix(word64(bytes), word64(bytes + size - 8));
        } else if (size >= 4) {
            mix(word32(bytes), word32(bytes + size - 4));
        } else if (size > 0) {
            auto byte = [bytes](size_t at) {
                return std::uint64_t(static_cast<unsigned char>(bytes[at]));
            };
            mix(byte(0) << 16 | byte(size / 2) << 8 | byte(size - 1), 0);
        }
    }
    CardPrint print{folded(hash ^ secret[2], secret[3])};
    if (!print) print.value = 1;  // zero is no print
    return print;
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

std::vector<SharedKey> sharedEntryKeys(Connection& connection, EntryKinds* kinds, HeldKeys* held) {
    // The held keys are those of the entries while the store's handle has changed no row since
    // they were last whole; where that is not known, while as many entries are held as there
    // are (counting them reads the whole table).
    if (held && held->whole &&
        (held->changedRows >= 0
             ? held->changedRows == connection.changedRows()
             : static_cast<int>(held->kinds.size()) == countEntries(connection))) {
        if (kinds) kinds->all = held->kinds;
        return sharedKeys(*held);
    }
    std::vector<EntryKeyKinds>* read = kinds ? &kinds->read : nullptr;
    auto readAll = [kinds](std::vector<SharedKey> shared) {
        if (kinds) {
            // In the order of the table, which is that of the ids unless keys were made later.
            auto byId = [](const EntryKeyKinds& a, const EntryKeyKinds& b) { return a.id < b.id; };
            if (!std::is_sorted(kinds->read.begin(), kinds->read.end(), byId))
                std::sort(kinds->read.begin(), kinds->read.end(), byId);
            kinds->all = kinds->read;
        }
        return shared;
    };
    Statement made = connection.prepare("PRAGMA user_version;");
    bool current = made.step() && made.integer(0) == kEntryKeysVersion;
    int keyed = 0;
    if (current) {
        // Every entry with keys is an entry (its keys go with it), so when as many have keys as
        // there are entries, none lacks them.
        std::vector<SharedKey> shared = sharedKeys(connection, &keyed, read);
        if (keyed == countEntries(connection)) return readAll(std::move(shared));
        if (read) read->clear();
    }
    makeMissingKeys(connection);
    return readAll(sharedKeys(connection, nullptr, read));
}

}  // namespace tsunagi
