#include "merge/duplicates.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <span>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "card/card_view.h"
#include "card/checks.h"
#include "card/dialect.h"
#include "card/entry_keys.h"
#include "card/person.h"
#include "card/properties.h"
#include "card/unicode.h"
#include "card/vcard_line.h"
#include "platform/error.h"
#include "platform/memory.h"
#include "platform/text.h"
#include "platform/work_pipe.h"
#include "store/entries.h"
#include "store/identity.h"

namespace tsunagi {

namespace {

// One number whatever its form, for finding and for merging alike.
std::string digitsOf(std::string_view number) { return numberKey(number); }

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

// How a spelling of a name was made, which decides what it may be tied to.
enum class SpellingKind {
    Name,     // the name itself, or the other way round
    Reading,  // its reading: ties a kana or Latin name, never two kanji names
    Sound,    // the consonants of a Latin or kana name: ties Latin to kana only
    Family,   // its family name: ties a family name alone ("荒木先生") over a mobile only
};

struct Spelling {
    std::string key;
    SpellingKind kind;
};

struct Candidate {
    DuplicateEntry entry;
    bool informed = false;  // it has a number or a mail
    // Its numbers and mails as keys, to count what a merge would hold; its mobile numbers.
    std::vector<std::int64_t> numberKeys, mailKeys, mobileKeys;
    // Its name key where another entry shares it; else nothing for no name, or a value of its
    // own.
    std::int64_t name = 0;
    std::vector<std::int64_t> sharedContacts;  // the number and mail keys another entry shares
    bool spelled = false;                      // its spellings are wanted
    std::vector<Spelling> spellings;           // the ways another book may write its name
    bool kanji = false;                        // its name has kanji: a reading never stands for it
    bool latin = false;                        // its name is in Latin letters
    bool familyOnly = false;  // its name is a family name alone (with 先生, さん…)
    std::int64_t file = 0;    // the file it came from (each entry typed in is a file of its own)
    bool phoneOwn = false;    // it came from the phone's own backup
};

// How many different keys the members have among them.
size_t distinctAcross(const std::vector<Candidate*>& people,
                      std::vector<std::int64_t> Candidate::*keys) {
    std::vector<std::int64_t> seen;
    for (const Candidate* person : people)
        seen.insert(seen.end(), (person->*keys).begin(), (person->*keys).end());
    std::sort(seen.begin(), seen.end());
    return static_cast<size_t>(std::unique(seen.begin(), seen.end()) - seen.begin());
}

// Why a group's entries are together: the first number or mail two of them share, else their
// name.
std::string reasonOf(const DuplicateGroup& group) {
    std::unordered_map<std::string, size_t> numbers, mails;
    for (size_t e = 0; e < group.entries.size(); ++e) {
        for (const std::string& number : group.entries[e].numbers)
            if (auto [at, fresh] = numbers.emplace(digitsOf(number), e); !fresh && at->second != e)
                return "同じ電話番号 " + trimBlanks(number);
        for (const std::string& mail : group.entries[e].mails)
            if (auto [at, fresh] = mails.emplace(mailKey(mail), e); !fresh && at->second != e)
                return "同じメールアドレス " + trimBlanks(mail);
    }
    switch (group.kind) {
        case DuplicateKind::Same:
            return "同じ名前で、食い違う番号やメールなし";
        case DuplicateKind::Namesakes:
            return "同じ名前で、番号もメールも別";
        case DuplicateKind::Possible:
            return "同じ名前で、番号もメールもないデータあり";
    }
    return "";
}

// What entries asked about beside a group share with its entries (a number, a mail), else what
// they share among themselves, else what their kind says.
std::string askedReasonOf(const std::vector<DuplicateEntry>& entries, const DuplicateGroup& asked) {
    std::unordered_set<std::string> numbers, mails;
    for (const DuplicateEntry& entry : entries) {
        for (const std::string& number : entry.numbers) numbers.insert(digitsOf(number));
        for (const std::string& mail : entry.mails) mails.insert(mailKey(mail));
    }
    for (const DuplicateEntry& entry : asked.entries) {
        for (const std::string& number : entry.numbers)
            if (numbers.count(digitsOf(number))) return "同じ電話番号 " + trimBlanks(number);
        for (const std::string& mail : entry.mails)
            if (mails.count(mailKey(mail))) return "同じメールアドレス " + trimBlanks(mail);
    }
    return reasonOf(asked);
}

// The members' entries go into the group: each entry is in one group only.
DuplicateGroup groupOf(const std::vector<Candidate*>& members, DuplicateKind kind,
                       bool reasoned = true) {
    DuplicateGroup group;
    group.kind = kind;
    group.entries.reserve(members.size());
    for (Candidate* person : members) group.entries.push_back(std::move(person->entry));
    std::sort(group.entries.begin(), group.entries.end(),
              [](const DuplicateEntry& a, const DuplicateEntry& b) { return a.id < b.id; });
    group.mergedNumbers = distinctAcross(members, &Candidate::numberKeys);
    group.mergedMails = distinctAcross(members, &Candidate::mailKeys);
    if (reasoned) group.reason = reasonOf(group);
    return group;
}

// The entries that share one key, ascending: a slice of one list that all the runs of their kind
// are cut from, as most runs are two entries long.
using KeyRun = std::span<size_t>;

// Whether a text holds a kanji (a CJK ideograph of any block).
bool hasKanji(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0xE4 && c <= 0xE9) return true;  // U+4E00–U+9FFF
        if (c == 0xE3 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x90)
            return true;  // U+3400–U+4DBF
        if (c == 0xEF && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0xA4 &&
            static_cast<unsigned char>(text[i + 1]) <= 0xAB)
            return true;  // U+F900–U+FAFF
        if (c == 0xF0 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0xA0)
            return true;  // U+20000 onward
    }
    return false;
}

bool isLatin(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80;
    });
}

// The consonants of a name as it sounds, for a Latin name and its katakana ("Sophia Baker",
// "ソフィア ベイカー" → "sfbk"): vowels, long marks and an "r" a Japanese ear does not hear go,
// "ph" is "f", "v" is "b", "l" is "r", "c" and "ck" are "k", a doubled letter is one.
std::string soundOf(std::string_view latin) {
    std::string text;
    for (char c : latin)
        if (std::isalpha(static_cast<unsigned char>(c)))
            text += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string out;
    auto vowel = [](char c) { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u'; };
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (c == 'p' && next == 'h') {
            c = 'f';
            ++i;
        } else if (c == 'c' && next == 'k') {
            c = 'k';
            ++i;
        } else if (c == 'c') {
            c = next == 'h' ? 'c' : 'k';
        } else if (c == 'v') {
            c = 'b';
        } else if (c == 'l') {
            c = 'r';
        } else if (c == 'w' || c == 'y' || c == 'h') {
            continue;  // half vowels, and the h of "sh", "th", "ph"
        }
        if (vowel(c)) continue;
        if (c == 'r' && (i + 1 >= text.size() || !vowel(text[i + 1]))) continue;
        if (!out.empty() && out.back() == c) continue;
        out += c;
    }
    return out;
}

// The ways a name is written in other books: the name itself (old kanji as new, kana of any
// width and kind, what is written around it left out), family and given the other way round
// (Latin and kana names), the reading, the reading in Latin letters, its sound, nicknames, the
// family name. They tie only entries that also share a number or a mail, so they are made for
// those alone, not kept with the keys.
std::vector<Spelling> spellingsOf(const Person& person, Candidate& candidate) {
    std::vector<Spelling> keys;
    auto add = [&keys](std::string key, SpellingKind kind) {
        if (key.empty()) return;
        for (const Spelling& spelling : keys)
            if (spelling.key == key && spelling.kind == kind) return;
        keys.push_back({std::move(key), kind});
    };
    const std::string &family = person.name[0], &given = person.name[1];
    std::string whole = family + given;
    candidate.kanji = hasKanji(whole);
    candidate.latin = isLatin(whole);
    add(personNameKey(whole), SpellingKind::Name);
    if (candidate.latin || !isJapaneseScript(whole) ||
        katakanaOf(whole) == fullWidthKatakana(whole))
        add(personNameKey(given + family), SpellingKind::Name);
    if (candidate.latin) {
        add(soundOf(family + given), SpellingKind::Sound);
        add(soundOf(given + family), SpellingKind::Sound);
    } else if (!candidate.kanji) {
        add(soundOf(romajiOf(family + given)), SpellingKind::Sound);
        add(soundOf(romajiOf(given + family)), SpellingKind::Sound);
    }
    const std::string &readingFamily = person.readingFamily, &readingGiven = person.readingGiven;
    add(kanjiFormKey(readingFamily + readingGiven), SpellingKind::Reading);
    add(kanjiFormKey(readingGiven + readingFamily), SpellingKind::Reading);
    add(romajiOf(readingFamily + readingGiven), SpellingKind::Reading);
    add(romajiOf(readingGiven + readingFamily), SpellingKind::Reading);
    for (const std::string& nickname : person.nicknames)
        add(kanjiFormKey(nickname), SpellingKind::Name);
    // A family name alone, once what is written around it is gone ("荒木先生" is 荒木).
    std::string key = personNameKey(whole);
    candidate.familyOnly = given.empty() && !family.empty() ? true
                           : family.empty() && !given.empty()
                               ? key != kanjiFormKey(whole) && candidate.kanji
                               : false;
    if (!family.empty() && !given.empty())
        add(personNameKey(family), SpellingKind::Family);
    else if (candidate.familyOnly)
        add(key, SpellingKind::Family);
    return keys;
}

// Whether two entries whose spellings `a` and `b` are one may be one person, where what they
// share is a mobile number (`mobile`) or not.
bool spellingsTie(const Candidate& one, SpellingKind a, const Candidate& two, SpellingKind b,
                  bool mobile) {
    if (a == SpellingKind::Family || b == SpellingKind::Family)
        return a == b && mobile && (one.familyOnly != two.familyOnly);
    if (a == SpellingKind::Sound || b == SpellingKind::Sound)
        return a == b && one.latin != two.latin && (one.latin || two.latin);
    if (a == SpellingKind::Reading && b == SpellingKind::Reading) return !one.kanji || !two.kanji;
    // A name and a reading: the name is written in kana or Latin letters.
    if (a == SpellingKind::Reading) return !two.kanji;
    if (b == SpellingKind::Reading) return !one.kanji;
    return true;
}

// The lines of an entry that say its name: the name and reading lines, and the kept N, FN,
// nicknames and readings.
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

// What the dialog shows of an entry and what finding needs of it beyond its keys.
void readCandidate(const EntryRow& row, Candidate& person) {
    CardView card = readCard(row);
    person.entry.id = row.id;
    person.entry.name = card.name.value_or("");
    person.entry.reading = card.reading.value_or("");
    for (const std::optional<std::string>& column : row.columns) {
        if (!column) break;
        if (propertyName(*column) == "ORG") {
            person.entry.company = trimBlanks(pieceAt(pieceAt(*column, ":", 1), ";", 0));
            break;
        }
    }
    bool named = false;
    for (const std::string& extra : row.extras) {
        std::string_view property = propertyName(extra);
        if (person.entry.company.empty() && property == "ORG")
            person.entry.company = trimBlanks(pieceAt(pieceAt(extra, ":", 1), ";", 0));
        if (property != "N" || named) continue;
        VcardLine line;
        if (!parseVcardLine(extra, line) || line.parameter("ALTID")) continue;
        named = true;
        Person said;
        splitComponents(line.value, ';', said.name);
        said.name.resize(5);
        if (!trimBlanks(said.name[2]).empty() || !trimBlanks(said.name[3]).empty() ||
            !trimBlanks(said.name[4]).empty())
            person.entry.fullName = builtName(said);
    }
    for (const NumberPiece& number : card.numbers) {
        person.entry.numbers.push_back(number.value);
        std::string digits = digitsOf(number.value);
        if (digits.empty()) continue;
        std::int64_t key = keyOf(KeyKind::Number, digits);
        person.numberKeys.push_back(key);
        // A mobile: said so, or a Japanese mobile's 070, 080 or 090.
        bool mobile = number.type == NumberClass::Cell ||
                      (digits.size() == 11 && digits[0] == '0' && digits[2] == '0' &&
                       (digits[1] == '7' || digits[1] == '8' || digits[1] == '9'));
        if (mobile) person.mobileKeys.push_back(key);
    }
    for (const MailPiece& mail : card.mails) {
        person.entry.mails.push_back(mail.value);
        std::string key = mailKey(mail.value);
        if (!key.empty()) person.mailKeys.push_back(keyOf(KeyKind::Mail, key));
    }
    person.informed = !person.numberKeys.empty() || !person.mailKeys.empty();
    if (person.spelled) person.spellings = spellingsOf(readPerson(nameLinesOf(row)), person);
}

// More names than this sharing one number or mail: an office's or a company's, evidence of
// nobody.
constexpr size_t kHandful = 5;

// The ids of the entries that share keys, ascending, each with its place among them. Entries
// are numbered as they are stored, so the ids are mostly dense: a table over their range places
// each at once, where a search would cost a sort and a search each.
class IdPlaces {
  public:
    static constexpr size_t kNone = static_cast<size_t>(-1);

    explicit IdPlaces(const std::vector<SharedKey>& shared) {
        if (shared.empty()) return;
        auto [low, high] =
            std::minmax_element(shared.begin(), shared.end(),
                                [](const SharedKey& a, const SharedKey& b) { return a.id < b.id; });
        low_ = low->id;
        std::uint64_t range = static_cast<std::uint64_t>(high->id - low_) + 1;
        if (range <= 4 * shared.size() + 4096) {
            place_.assign(range, kAbsent);
            for (const SharedKey& key : shared) place_[key.id - low_] = 0;
            for (size_t k = 0; k < range; ++k)
                if (place_[k] != kAbsent) {
                    place_[k] = static_cast<std::uint32_t>(ids_.size());
                    ids_.push_back(low_ + static_cast<std::int64_t>(k));
                }
            return;
        }
        for (const SharedKey& key : shared) ids_.push_back(key.id);
        std::sort(ids_.begin(), ids_.end());
        ids_.erase(std::unique(ids_.begin(), ids_.end()), ids_.end());
    }
    const std::vector<std::int64_t>& ids() const { return ids_; }
    // The place of `id`, or kNone.
    size_t find(std::int64_t id) const {
        if (!place_.empty()) {
            if (id < low_ || static_cast<std::uint64_t>(id - low_) >= place_.size()) return kNone;
            std::uint32_t place = place_[static_cast<size_t>(id - low_)];
            return place == kAbsent ? kNone : place;
        }
        auto at = std::lower_bound(ids_.begin(), ids_.end(), id);
        return at != ids_.end() && *at == id ? static_cast<size_t>(at - ids_.begin()) : kNone;
    }

  private:
    static constexpr std::uint32_t kAbsent = static_cast<std::uint32_t>(-1);
    std::vector<std::int64_t> ids_;
    std::int64_t low_ = 0;
    std::vector<std::uint32_t> place_;  // by id - low_; empty where the ids are sparse
};

// Takes out of `shared` the entries of a number or a mail that more than a handful of names
// share whom nothing else ties to another entry (neither their name nor their content is
// shared): such a number ties nobody, and an office's staff on its main number need not be
// counted one by one. The entries of such a number that a name or a content does tie keep it
// (two namesakes on one main number still share it). Returns the keys so taken, sorted.
std::vector<std::int64_t> leaveOutWidelyShared(std::vector<SharedKey>& shared) {
    auto runEnd = [&shared](size_t from) {
        size_t end = from + 1;
        while (end < shared.size() && shared[end].key == shared[from].key) ++end;
        return end;
    };
    auto isContact = [](std::int64_t key) {
        KeyKind kind = kindOf(key);
        return kind == KeyKind::Number || kind == KeyKind::Mail;
    };
    std::vector<std::int64_t> widely;
    size_t first = 0;  // the first run of more than a handful
    for (size_t end = 0; first < shared.size(); first = end) {
        end = runEnd(first);
        if (end - first > kHandful && isContact(shared[first].key)) break;
    }
    if (first == shared.size()) return widely;
    // The entries a name or a content ties, by id, each with its shared name key (0: none).
    std::vector<SharedKey> tied;
    for (const SharedKey& key : shared) {
        KeyKind kind = kindOf(key.key);
        if (kind == KeyKind::Name || kind == KeyKind::Content)
            tied.push_back({kind == KeyKind::Name ? key.key : 0, key.id});
    }
    std::sort(tied.begin(), tied.end(), [](const SharedKey& a, const SharedKey& b) {
        return a.id != b.id ? a.id < b.id : (a.key != 0) > (b.key != 0);  // a name first
    });
    auto named = [&tied](std::int64_t id) -> const SharedKey* {
        auto at = std::lower_bound(tied.begin(), tied.end(), id,
                                   [](const SharedKey& k, std::int64_t i) { return k.id < i; });
        return at != tied.end() && at->id == id ? &*at : nullptr;
    };
    size_t kept = first;
    for (size_t k = first; k < shared.size();) {
        size_t end = runEnd(k);
        bool wideRun = false;
        if (end - k > kHandful && isContact(shared[k].key)) {
            // Each entry no name ties has a name of its own.
            size_t names = 0;
            std::vector<std::int64_t> seen;
            for (size_t i = k; i < end && names <= kHandful; ++i) {
                const SharedKey* tie = named(shared[i].id);
                if (!tie || tie->key == 0) {
                    ++names;
                } else if (std::find(seen.begin(), seen.end(), tie->key) == seen.end()) {
                    seen.push_back(tie->key);
                    ++names;
                }
            }
            wideRun = names > kHandful;
        }
        if (wideRun) widely.push_back(shared[k].key);
        for (; k < end; ++k)
            if (!wideRun || (!tied.empty() && named(shared[k].id))) shared[kept++] = shared[k];
    }
    shared.resize(kept);
    std::sort(widely.begin(), widely.end());
    return widely;
}

// Entries joined as one person, never two of one file in one person (the user kept them apart
// there) unless they are one card read twice.
class Clusters {
  public:
    explicit Clusters(const std::vector<Candidate>& people) : parent_(people.size()) {
        std::iota(parent_.begin(), parent_.end(), size_t(0));
        file_.reserve(people.size());
        for (const Candidate& person : people) file_.push_back(person.file);
    }
    size_t find(size_t x) {
        while (parent_[x] != x) x = parent_[x] = parent_[parent_[x]];
        return x;
    }
    // Whether a and b are one person now; `twice`: one card read twice, whatever the files.
    bool join(size_t a, size_t b, bool twice = false) {
        a = find(a);
        b = find(b);
        if (a == b) return true;
        if (!twice && !disjoint(files(a), files(b))) return false;
        if (a > b) std::swap(a, b);  // the earliest entry leads
        std::vector<std::int64_t> both;
        std::span<const std::int64_t> first = files(a), second = files(b);
        std::set_union(first.begin(), first.end(), second.begin(), second.end(),
                       std::back_inserter(both));
        parent_[b] = a;
        many_.erase(b);
        many_[a] = std::move(both);
        return true;
    }
    // The files of x's person, sorted; most are of one file, kept without a list of its own.
    std::span<const std::int64_t> files(size_t x) {
        x = find(x);
        auto at = many_.find(x);
        return at != many_.end() ? std::span<const std::int64_t>(at->second)
                                 : std::span<const std::int64_t>(&file_[x], 1);
    }

    static bool disjoint(std::span<const std::int64_t> a, std::span<const std::int64_t> b) {
        for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
            if (a[i] == b[j]) return false;
            a[i] < b[j] ? ++i : ++j;
        }
        return true;
    }

  private:
    std::vector<size_t> parent_;
    std::vector<std::int64_t> file_;                              // of each entry
    std::unordered_map<size_t, std::vector<std::int64_t>> many_;  // of leaders of several
};

// The entries of one name: the same person where they share a number or a mail, or where
// their numbers and mails cannot conflict (one has only numbers, the other only mails), each
// from another file; asked about where both hold numbers (or both mails) and share none, where
// one has neither beside the other, or where one file holds the name twice. Returns how the
// run is asked about, when it is.
std::optional<DuplicateKind> nameRun(const std::vector<Candidate>& people,
                                     std::span<const size_t> members, Clusters& sure) {
    // Shared contacts: each component of entries linked by them is one person when no file
    // is in it twice; else it is left to the user.
    UnionFind linked(members.size());
    std::unordered_map<std::int64_t, size_t> firstWith;
    for (size_t m = 0; m < members.size(); ++m)
        for (std::int64_t key : people[members[m]].sharedContacts) {
            auto [at, fresh] = firstWith.emplace(key, m);
            if (!fresh) linked.join(at->second, m);
        }
    std::map<size_t, std::vector<size_t>> components;
    for (size_t m = 0; m < members.size(); ++m) components[linked.find(m)].push_back(m);
    for (const auto& [leader, component] : components) {
        std::vector<std::int64_t> seen;
        std::unordered_set<size_t> leaders;  // each person once, however many entries
        for (size_t m : component) {
            if (!leaders.insert(sure.find(members[m])).second) continue;
            std::span<const std::int64_t> files = sure.files(members[m]);
            seen.insert(seen.end(), files.begin(), files.end());
        }
        std::sort(seen.begin(), seen.end());
        if (std::adjacent_find(seen.begin(), seen.end()) != seen.end()) continue;
        for (size_t m : component) sure.join(members[component.front()], members[m]);
    }
    // What each person of the run now holds.
    struct Held {
        size_t leader;
        bool numbers = false, mails = false;
    };
    std::vector<Held> held;
    std::unordered_map<size_t, size_t> heldOf;  // leader → its place in `held`
    for (size_t m : members) {
        size_t leader = sure.find(m);
        auto [at, fresh] = heldOf.emplace(leader, held.size());
        if (fresh) held.push_back(Held{leader});
        Held& person = held[at->second];
        person.numbers = person.numbers || !people[m].numberKeys.empty();
        person.mails = person.mails || !people[m].mailKeys.empty();
    }
    // Two people whose numbers and mails cannot conflict, each the other's only such one.
    auto fits = [&](const Held& a, const Held& b) {
        return (a.numbers || a.mails) && (b.numbers || b.mails) && !(a.numbers && b.numbers) &&
               !(a.mails && b.mails) &&
               Clusters::disjoint(sure.files(a.leader), sure.files(b.leader));
    };
    // Only one with numbers alone and one with mails alone can fit each other: among many of
    // either, none is the other's only one but by their files, which a few are compared for.
    size_t numbersOnly = 0, mailsOnly = 0;
    for (const Held& person : held) {
        numbersOnly += person.numbers && !person.mails;
        mailsOnly += person.mails && !person.numbers;
    }
    std::vector<std::pair<size_t, size_t>> pairs;
    bool few = numbersOnly > 0 && mailsOnly > 0 && numbersOnly + mailsOnly <= 16;
    for (size_t a = 0; few && a < held.size(); ++a) {
        std::optional<size_t> only;
        size_t count = 0;
        for (size_t b = 0; b < held.size(); ++b)
            if (b != a && fits(held[a], held[b])) {
                only = b;
                ++count;
            }
        if (count == 1 && a < *only) {
            size_t back = 0;
            for (size_t c = 0; c < held.size(); ++c)
                if (c != *only && fits(held[*only], held[c])) ++back;
            if (back == 1) pairs.push_back({held[a].leader, held[*only].leader});
        }
    }
    for (auto [a, b] : pairs) sure.join(a, b);
    std::unordered_set<size_t> persons;
    bool uninformed = false;
    for (size_t m : members) {
        persons.insert(sure.find(m));
        uninformed = uninformed || !people[m].informed;
    }
    if (persons.size() < 2) return std::nullopt;
    // One without a number or a mail beside one other: possibly the same.
    if (persons.size() == 2 && uninformed) return DuplicateKind::Possible;
    return DuplicateKind::Namesakes;
}

}  // namespace

std::vector<DuplicateGroup> findDuplicates(const Store& store, bool sureOnly) {
    Connection connection = store.open();
    // Only entries that share a key with another can be in a group: they are read, the others
    // not, and the keys they share say most of what is needed.
    EntryKinds kinds;
    std::vector<SharedKey> shared =
        sharedEntryKeys(connection, sureOnly ? &kinds : nullptr, store.heldKeys());
    const std::vector<std::int64_t> widely = leaveOutWidelyShared(shared);
    const IdPlaces places(shared);
    const std::vector<std::int64_t>& ids = places.ids();
    // What the keys say of each entry, before any is read: its name key, its file.
    std::vector<std::int64_t> nameOf(ids.size(), 0);
    std::vector<size_t> inNames, inContacts;  // the entries of the runs, run after run
    std::vector<size_t> nameStarts, contactStarts;
    std::vector<std::int64_t> contactKeys;  // the key of each run of contacts
    std::vector<size_t> contentShared;      // entries that share their content with another
    inNames.reserve(shared.size());
    inContacts.reserve(shared.size());
    for (size_t k = 0; k < shared.size(); ++k) {
        KeyKind kind = kindOf(shared[k].key);
        bool first = k == 0 || shared[k].key != shared[k - 1].key;
        size_t index = places.find(shared[k].id);
        if (kind == KeyKind::Name) {
            if (first) nameStarts.push_back(inNames.size());
            inNames.push_back(index);
            nameOf[index] = shared[k].key;
        } else if (kind == KeyKind::Content) {
            contentShared.push_back(index);
        } else if (kind == KeyKind::Number || kind == KeyKind::Mail) {
            if (first) {
                contactStarts.push_back(inContacts.size());
                contactKeys.push_back(shared[k].key);
            }
            inContacts.push_back(index);
        }
    }
    auto cut = [](std::vector<size_t>& entries, const std::vector<size_t>& starts) {
        std::vector<KeyRun> runs;
        runs.reserve(starts.size());
        for (size_t r = 0; r < starts.size(); ++r)
            runs.emplace_back(entries.data() + starts[r],
                              (r + 1 < starts.size() ? starts[r + 1] : entries.size()) - starts[r]);
        return runs;
    };
    std::vector<KeyRun> names = cut(inNames, nameStarts), contacts = cut(inContacts, contactStarts);
    const std::vector<KeyRun>& nameRuns = names;
    // A name no other entry has gets a value of its own (a name key's kind is 2, this one's 7).
    for (size_t i = 0; i < ids.size(); ++i)
        if (nameOf[i] == 0) nameOf[i] = static_cast<std::int64_t>(i) << 3 | 7;
    // What kinds of keys each entry holds, shared or not (for the sure groups alone).
    std::vector<unsigned> heldOf(sureOnly ? ids.size() : 0, 0);
    for (const EntryKeyKinds& entry : kinds.all)
        if (size_t i = places.find(entry.id); i != IdPlaces::kNone) heldOf[i] = entry.kinds;
    auto printOf = [&kinds, &ids](size_t i) {
        auto at = std::lower_bound(
            kinds.all.begin(), kinds.all.end(), ids[i],
            [](const EntryKeyKinds& entry, std::int64_t id) { return entry.id < id; });
        return at != kinds.all.end() && at->id == ids[i] ? at->print : CardPrint();
    };
    constexpr unsigned kNumbers = 1u << static_cast<int>(KeyKind::Number),
                       kMails = 1u << static_cast<int>(KeyKind::Mail);
    // A number or a mail that more than a handful of names share (an office's main number)
    // says nothing of any of them: its entries are not even read for it.
    std::vector<bool> live(contacts.size(), true), needed(ids.size(), false);
    {
        std::unordered_set<std::int64_t> seen;
        for (size_t r = 0; r < contacts.size(); ++r) {
            seen.clear();
            if (std::binary_search(widely.begin(), widely.end(), contactKeys[r])) {
                // No evidence between different names; namesakes on it still share it, and
                // are read for that where they would not be otherwise.
                live[r] = false;
                if (sureOnly) {
                    std::unordered_map<std::int64_t, size_t> ofName;
                    for (size_t i : contacts[r]) ++ofName[nameOf[i]];
                    for (size_t i : contacts[r])
                        if (ofName[nameOf[i]] > 1) needed[i] = true;
                }
                continue;
            }
            for (size_t i : contacts[r])
                if (seen.insert(nameOf[i]).second && seen.size() > kHandful) break;
            live[r] = seen.size() <= kHandful;
            if (live[r])
                for (size_t i : contacts[r]) needed[i] = true;
        }
        for (size_t i : contentShared) needed[i] = true;
        if (!sureOnly) {
            for (const KeyRun& run : nameRuns)
                for (size_t i : run) needed[i] = true;
        } else {
            // For the sure groups alone, an entry of a name that shares nothing more is read
            // only where it may complete another: numbers alone beside mails alone (its keys
            // say which it has).
            auto heldBy = [&heldOf](size_t i) { return heldOf[i]; };
            for (const KeyRun& run : nameRuns) {
                std::vector<size_t> halves;
                size_t numbersOnly = 0, mailsOnly = 0;
                for (size_t i : run) {
                    unsigned held = heldBy(i) & (kNumbers | kMails);
                    numbersOnly += held == kNumbers;
                    mailsOnly += held == kMails;
                    if (held == kNumbers || held == kMails) halves.push_back(i);
                    // One card read twice shares every key: without a number or a mail, only
                    // its name, and it is read to see.
                    if (held == 0) needed[i] = true;
                }
                if (numbersOnly > 0 && mailsOnly > 0)
                    for (size_t i : halves) needed[i] = true;
            }
        }
    }
    // The file of each entry: one import's cards, or the entry alone where it was typed in.
    std::vector<EntryFile> files = entryFiles(connection);
    auto fileOf = [&files](std::int64_t id) -> std::pair<std::int64_t, bool> {
        auto after = std::upper_bound(
            files.begin(), files.end(), id,
            [](std::int64_t id, const EntryFile& file) { return id < file.firstId; });
        if (after != files.begin() && id <= std::prev(after)->lastId)
            return {std::prev(after)->firstId, std::prev(after)->phoneOwn};
        return {-id, false};
    };
    // For the sure groups alone, one card kept in several books is told by its keys. Within a
    // run of one name, entries linked by the numbers and mails they share are one person where
    // no file holds two of them (see nameRun). Where those numbers and mails are shared with
    // nobody else, and the person holds numbers and mails both, or nobody of the name could
    // complete it (numbers alone beside mails alone), nothing else joins it or is joined for it:
    // it is a group as it stands, merged without being read here.
    std::vector<DuplicateGroup> unread;
    if (sureOnly) {
        std::vector<std::uint32_t> runsFrom(ids.size() + 1, 0);  // each entry's contact runs
        for (const KeyRun& run : contacts)
            for (size_t i : run) ++runsFrom[i + 1];
        for (size_t i = 0; i < ids.size(); ++i) runsFrom[i + 1] += runsFrom[i];
        std::vector<std::uint32_t> runsOf(runsFrom.back());
        {
            std::vector<std::uint32_t> next(runsFrom.begin(), runsFrom.end() - 1);
            for (size_t r = 0; r < contacts.size(); ++r)
                for (size_t i : contacts[r]) runsOf[next[i]++] = static_cast<std::uint32_t>(r);
        }
        // Runs of contacts within one name, and not left out as an office's.
        std::vector<bool> ofOneName(contacts.size());
        for (size_t r = 0; r < contacts.size(); ++r)
            ofOneName[r] =
                live[r] && std::all_of(contacts[r].begin(), contacts[r].end(), [&](size_t i) {
                    return nameOf[i] == nameOf[contacts[r][0]];
                });
        std::vector<bool> byContent(ids.size(), false);
        for (size_t i : contentShared) byContent[i] = true;
        std::vector<size_t> unreadMembers, unreadEnds;    // the groups' entries, group by group
        std::vector<std::pair<size_t, size_t>> byPerson;  // (its first entry, the entry)
        std::vector<size_t> personStarts;
        std::vector<bool> spoilt;
        std::vector<std::int64_t> filesOf;
        std::vector<std::uint32_t> placeInRun(ids.size());
        for (const KeyRun& run : nameRuns) {
            for (size_t m = 0; m < run.size(); ++m)
                placeInRun[run[m]] = static_cast<std::uint32_t>(m);
            UnionFind linked(run.size());
            spoilt.assign(run.size(), false);
            size_t numbersOnly = 0, mailsOnly = 0;
            for (size_t m = 0; m < run.size(); ++m) {
                size_t i = run[m];
                spoilt[m] = byContent[i];
                numbersOnly += (heldOf[i] & (kNumbers | kMails)) == kNumbers;
                mailsOnly += (heldOf[i] & (kNumbers | kMails)) == kMails;
                for (std::uint32_t k = runsFrom[i]; k < runsFrom[i + 1]; ++k) {
                    if (!ofOneName[runsOf[k]]) {
                        spoilt[m] = true;
                        continue;
                    }
                    for (size_t j : contacts[runsOf[k]]) linked.join(m, placeInRun[j]);
                }
            }
            // Each person's entries together, by their first entry, each in the order of the
            // run: counted out, a run of one name being thousands long at times.
            personStarts.assign(run.size() + 1, 0);
            for (size_t m = 0; m < run.size(); ++m) ++personStarts[linked.find(m) + 1];
            for (size_t m = 1; m <= run.size(); ++m) personStarts[m] += personStarts[m - 1];
            byPerson.resize(run.size());
            for (size_t m = 0; m < run.size(); ++m) {
                size_t first = linked.find(m);
                byPerson[personStarts[first]++] = {first, m};
            }
            for (size_t from = 0, end; from < byPerson.size(); from = end) {
                end = from + 1;
                while (end < byPerson.size() && byPerson[end].first == byPerson[from].first) ++end;
                if (end - from < 2) continue;
                unsigned held = 0;
                bool whole = true;
                filesOf.clear();
                for (size_t k = from; k < end && whole; ++k) {
                    size_t m = byPerson[k].second;
                    whole = !spoilt[m];
                    held |= heldOf[run[m]];
                    filesOf.push_back(fileOf(ids[run[m]]).first);
                }
                std::sort(filesOf.begin(), filesOf.end());
                if (!whole || std::adjacent_find(filesOf.begin(), filesOf.end()) != filesOf.end())
                    continue;
                held &= kNumbers | kMails;
                if ((held == kNumbers && mailsOnly > 0) || (held == kMails && numbersOnly > 0))
                    continue;
                for (size_t k = from; k < end; ++k) {
                    size_t i = run[byPerson[k].second];
                    needed[i] = false;
                    unreadMembers.push_back(i);
                }
                unreadEnds.push_back(unreadMembers.size());
            }
        }
        // In the order of their first entries.
        std::vector<size_t> order(unreadEnds.size());
        std::iota(order.begin(), order.end(), size_t(0));
        auto firstOf = [&](size_t g) { return unreadMembers[g == 0 ? 0 : unreadEnds[g - 1]]; };
        std::sort(order.begin(), order.end(),
                  [&](size_t a, size_t b) { return firstOf(a) < firstOf(b); });
        unread.resize(order.size());
        for (size_t o = 0; o < order.size(); ++o) {
            size_t g = order[o], from = g == 0 ? 0 : unreadEnds[g - 1];
            unread[o].entries.resize(unreadEnds[g] - from);
            CardPrint print = printOf(unreadMembers[from]);
            unread[o].twins = static_cast<bool>(print);
            for (size_t k = from; k < unreadEnds[g]; ++k) {
                DuplicateEntry& entry = unread[o].entries[k - from];
                entry.id = ids[unreadMembers[k]];
                entry.phoneOwn = fileOf(entry.id).second;
                unread[o].twins = unread[o].twins && printOf(unreadMembers[k]) == print;
            }
        }
    }
    // Only the entries needed become candidates, each in its place among them; the runs are
    // told in those places.
    constexpr size_t kNone = static_cast<size_t>(-1);
    std::vector<size_t> slot(ids.size(), kNone);
    std::vector<std::int64_t> idOf;
    for (size_t i = 0; i < ids.size(); ++i)
        if (needed[i]) {
            slot[i] = idOf.size();
            idOf.push_back(ids[i]);
        }
    std::vector<Candidate> people;
    people.reserve(idOf.size());
    preferLargePages(people.data(), idOf.size() * sizeof(Candidate));
    people.resize(idOf.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        if (slot[i] == kNone) continue;
        Candidate& person = people[slot[i]];
        person.name = nameOf[i];
        std::tie(person.file, person.phoneOwn) = fileOf(ids[i]);
        person.entry.phoneOwn = person.phoneOwn;
    }
    auto inSlots = [&slot](KeyRun& run) {
        size_t kept = 0;
        for (size_t i : run)
            if (slot[i] != kNone) run[kept++] = slot[i];
        run = run.first(kept);
    };
    for (KeyRun& run : names) inSlots(run);
    for (size_t r = 0; r < contacts.size(); ++r) {
        inSlots(contacts[r]);
        for (size_t p : contacts[r]) people[p].sharedContacts.push_back(contactKeys[r]);
    }
    std::erase_if(names, [](const KeyRun& run) { return run.size() < 2; });
    // Spellings are made only where entries that share a number or a mail differ in name.
    for (size_t r = 0; r < contacts.size(); ++r) {
        const KeyRun& run = contacts[r];
        if (run.size() < 2) continue;
        std::int64_t name = people[run.front()].name;
        if (live[r] &&
            !std::all_of(run.begin(), run.end(), [&](size_t i) { return people[i].name == name; }))
            for (size_t i : run) people[i].spelled = true;
    }
    Clusters sure(people);
    {
        // The rows are read (and packed) here and taken apart on another thread, a batch at a
        // time, in their order; only that thread touches the candidates until the last batch
        // is back.
        struct Batch {
            std::vector<EntryRow> rows;
            std::vector<size_t> indexes;
            std::vector<std::string> packed;
            size_t count = 0;
        };
        // Each candidate's content, one after another in one text, and its hash: entries of one
        // content are found by sorting the hashes once all are read, and told apart by their
        // texts where two hashes meet.
        std::string contents;
        std::vector<std::pair<size_t, size_t>> contentAt;  // by candidate: its start and end
        struct Hashed {
            std::uint64_t hash;
            size_t index;
            auto operator<=>(const Hashed&) const = default;
        };
        std::vector<Hashed> hashes;
        hashes.reserve(idOf.size());
        contentAt.resize(idOf.size());
        WorkPipe<Batch, Batch> pipe([&people, &contents, &contentAt, &hashes,
                                     sureOnly](Batch& batch) {
            for (size_t r = 0; r < batch.count; ++r) {
                const EntryRow& row = batch.rows[r];
                size_t i = batch.indexes[r];
                readCandidate(row, people[i]);
                if (sureOnly) people[i].entry.held.swap(batch.packed[r]);
                // Entries without a name are compared as of one name, as no spelling tells
                // them apart.
                if (trimBlanks(people[i].entry.name).find_first_not_of(";") == std::string::npos &&
                    (people[i].name & 7) == 7)
                    people[i].name = 0;
                // Entries of one content, what they keep beyond the phone's lines included,
                // are one card read twice; which entries a merge made one of, and the UID it
                // wrote for that, are not what the card says.
                size_t start = contents.size();
                appendContentKey(row, contents);
                for (const std::string& extra : row.extras) {
                    PropertyKind kind = propertyKind(propertyName(extra));
                    if (kind != PropertyKind::Uid && kind != PropertyKind::MergedUid)
                        contents.append(extra).push_back('\x1e');
                }
                contentAt[i] = {start, contents.size()};
                std::string_view content(contents.data() + start, contents.size() - start);
                hashes.push_back({std::hash<std::string_view>{}(content), i});
            }
            return std::move(batch);
        });
        constexpr size_t kBatchRows = 64, kBatchesAhead = 4;
        std::vector<Batch> spare;
        Batch batch;
        EntryById entries(connection);
        for (size_t i = 0; i < idOf.size(); ++i) {
            if (batch.count == batch.rows.size()) {
                batch.rows.emplace_back();
                batch.indexes.emplace_back();
                batch.packed.emplace_back();
            }
            EntryRow& row = batch.rows[batch.count];
            if (!entries.read(idOf[i], row)) continue;
            batch.indexes[batch.count] = i;
            if (sureOnly) packRow(row, batch.packed[batch.count]);
            if (++batch.count < kBatchRows && i + 1 < idOf.size()) continue;
            pipe.put(std::move(batch));
            if (pipe.waiting() >= kBatchesAhead) spare.push_back(pipe.take());
            batch = Batch();
            if (!spare.empty()) {
                batch = std::move(spare.back());
                spare.pop_back();
            }
            batch.count = 0;
        }
        if (batch.count > 0) pipe.put(std::move(batch));
        while (pipe.waiting() > 0) pipe.take();
        auto contentOf = [&contents, &contentAt](size_t i) {
            return std::string_view(contents).substr(contentAt[i].first,
                                                     contentAt[i].second - contentAt[i].first);
        };
        std::sort(hashes.begin(), hashes.end());
        for (size_t from = 0, end; from < hashes.size(); from = end) {
            for (end = from + 1; end < hashes.size() && hashes[end].hash == hashes[from].hash;)
                ++end;
            for (size_t k = from + 1; k < end; ++k)
                for (size_t first = from; first < k; ++first)
                    if (contentOf(hashes[first].index) == contentOf(hashes[k].index)) {
                        sure.join(hashes[first].index, hashes[k].index, true);
                        break;
                    }
        }
    }
    // Entries of one name, run by run (see nameRun): the same person or asked about.
    std::vector<std::pair<std::vector<size_t>, DuplicateKind>> asked;
    for (const KeyRun& members : names)
        if (auto kind = nameRun(people, members, sure))
            asked.push_back({std::vector<size_t>(members.begin(), members.end()), *kind});
    // Shared numbers and mails: one person where the names agree written another way, else
    // whole groups linked as "possibly the same". A number or a mail that more than a handful
    // of names share (a company's main number) says nothing of any of them.
    UnionFind possible(people.size());
    std::unordered_set<std::int64_t> nameOfRun;
    for (size_t r = 0; r < contacts.size(); ++r) {
        const KeyRun& run = contacts[r];
        if (!live[r] || run.size() < 2) continue;
        nameOfRun.clear();
        for (size_t i : run)
            if (nameOfRun.insert(people[i].name).second && nameOfRun.size() > kHandful) break;
        if (nameOfRun.size() > kHandful || nameOfRun.size() < 2) continue;
        bool mobile = std::any_of(run.begin(), run.end(), [&](size_t i) {
            const auto& keys = people[i].mobileKeys;
            return std::find(keys.begin(), keys.end(), contactKeys[r]) != keys.end();
        });
        std::unordered_map<std::string_view, std::vector<std::pair<size_t, SpellingKind>>> byKey;
        for (size_t i : run)
            for (const Spelling& spelling : people[i].spellings) {
                auto& seen = byKey[spelling.key];
                for (const auto& [j, kind] : seen)
                    if (people[j].name != people[i].name &&
                        spellingsTie(people[j], kind, people[i], spelling.kind, mobile))
                        sure.join(j, i);
                if (seen.size() < 8) seen.push_back({i, spelling.kind});
            }
        if (sureOnly) continue;
        for (size_t i : run)
            if (sure.find(run.front()) != sure.find(i))
                possible.join(sure.find(run.front()), sure.find(i));
    }

    // Each leader's members, in ascending id (a leader is its group's earliest entry); only
    // leaders of more than one have a list.
    std::vector<std::uint32_t> sizes(people.size(), 0);
    for (size_t i = 0; i < people.size(); ++i) ++sizes[sure.find(i)];
    std::unordered_map<size_t, std::vector<Candidate*>> sureMembers;
    for (size_t i = 0; i < people.size(); ++i)
        if (size_t leader = sure.find(i); sizes[leader] > 1)
            sureMembers[leader].push_back(&people[i]);
    std::vector<DuplicateGroup> groups;
    std::unordered_map<size_t, size_t> groupOfLeader;  // a sure group's leader → its group
    for (size_t leader = 0; leader < people.size(); ++leader)
        if (sizes[leader] > 1) {
            groupOfLeader[leader] = groups.size();
            groups.push_back(groupOf(sureMembers[leader], DuplicateKind::Same, !sureOnly));
        }
    if (sureOnly) {
        // Both in the order of their first entries.
        std::vector<DuplicateGroup> all;
        all.reserve(groups.size() + unread.size());
        std::merge(std::make_move_iterator(groups.begin()), std::make_move_iterator(groups.end()),
                   std::make_move_iterator(unread.begin()), std::make_move_iterator(unread.end()),
                   std::back_inserter(all), [](const DuplicateGroup& a, const DuplicateGroup& b) {
                       return a.entries.front().id < b.entries.front().id;
                   });
        return all;
    }
    // Entries the user is asked about: of one name whom nothing else ties, or sharing only a
    // number or a mail. Each entry is in one group: one asked about beside a sure group is shown
    // in it, left out unless the user takes it in; the others make groups of their own.
    std::vector<bool> placed(people.size(), false);
    for (size_t i = 0; i < people.size(); ++i) placed[i] = sizes[sure.find(i)] > 1;
    auto ask = [&](const std::vector<size_t>& members, DuplicateKind kind) {
        std::vector<size_t> free;
        std::optional<size_t> into;  // the first sure group among them
        for (size_t m : members) {
            if (auto found = groupOfLeader.find(sure.find(m)); found != groupOfLeader.end()) {
                if (!into ||
                    groups[found->second].entries.front().id < groups[*into].entries.front().id)
                    into = found->second;
            } else if (!placed[m]) {
                free.push_back(m);
            }
        }
        if (free.empty() || (!into && free.size() < 2)) return;
        for (size_t m : free) placed[m] = true;
        std::vector<Candidate*> freeMembers;
        for (size_t m : free) freeMembers.push_back(&people[m]);
        if (!into) {
            groups.push_back(groupOf(freeMembers, kind));
            return;
        }
        DuplicateGroup& group = groups[*into];
        DuplicateGroup asked = groupOf(freeMembers, kind, false);
        std::vector<DuplicateEntry> both = group.entries;
        for (DuplicateEntry& entry : asked.entries) {
            entry.asked = true;
            both.push_back(entry);
        }
        group.askedReason = askedReasonOf(group.entries, asked);
        group.entries = std::move(both);
    };
    for (const auto& [members, kind] : asked) ask(members, kind);
    std::unordered_map<size_t, std::vector<size_t>> possibleMembers;
    for (size_t i = 0; i < people.size(); ++i)
        possibleMembers[possible.find(sure.find(i))].push_back(i);
    for (size_t leader = 0; leader < people.size(); ++leader) {
        auto members = possibleMembers.find(leader);
        if (members == possibleMembers.end() || sizes[leader] == members->second.size())
            continue;  // linked to nobody
        ask(members->second, DuplicateKind::Possible);
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

// An entry of a group as merging reads it: its row, and the row read once as the phone's
// card and as a person.
struct MergeEntry {
    const EntryRow& row;
    CardView card;
    Person person;
    bool phoneOwn = false;
};

// The birthday of a person of several entries: the one most of them hold, else the phone's
// own entry's, else the kept entry's; "" when none holds one.
std::string birthdayOf(const MergeEntry& first, const std::vector<const MergeEntry*>& others) {
    std::map<std::string, std::tuple<size_t, bool, bool>> votes;  // count, phone's own, kept
    auto vote = [&votes](const MergeEntry& entry, bool kept) {
        if (entry.person.birthday.empty()) return;
        auto& [count, own, isKept] = votes[entry.person.birthday];
        ++count;
        own = own || entry.phoneOwn;
        isKept = isKept || kept;
    };
    vote(first, true);
    for (const MergeEntry* other : others) vote(*other, false);
    std::string best;
    std::tuple<size_t, bool, bool> bestVote{};
    for (const auto& [date, counted] : votes)
        if (best.empty() || counted > bestVote) {
            best = date;
            bestVote = counted;
        }
    return best;
}

std::optional<long> memoryNumberOf(const CardView& card) {
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

// How many lines usedColumns gives, without copying them.
size_t usedColumnCount(const EntryRow& row) {
    size_t engaged = 0, count = 0;
    for (int p = 0; p < kCardColumns; ++p)
        if (row.columns[p] && (++engaged, !row.columns[p]->empty())) count = engaged;
    return count;
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
void fillEmptyLines(std::vector<std::string>& columns,
                    const std::vector<const MergeEntry*>& others) {
    auto lineStarting = [&columns](std::string_view head) {
        return std::find_if(columns.begin(), columns.end(), [head](const std::string& value) {
            return startsWithIgnoringCase(value, head);
        });
    };
    auto fromOthers = [&others](std::string_view head) -> std::optional<std::string> {
        for (const MergeEntry* other : others)
            for (const std::optional<std::string>& value : other->row.columns) {
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
        for (const MergeEntry* other : others)
            for (const std::optional<std::string>& value : other->row.columns) {
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

// What a line says, its group aside, "" for a label of another line: an address, a web page,
// a company or a title by its value alone (one book writes TYPE=pref where another does not);
// any other line by its name, its parameters in one case and order (a TYPE list split) and its
// value.
std::string lineSense(const VcardLine& line) {
    if (line.name == "X-ABLABEL" || line.name == "X-ABADR") return "";
    for (std::string_view byValue : {"ADR", "URL", "ORG", "TITLE", "ROLE", "NICKNAME"})
        if (line.name == byValue) {
            std::string value = trimBlanks(line.value);
            while (!value.empty() && (value.back() == ';' || value.back() == ' ')) value.pop_back();
            return line.name + ":" + value;
        }
    std::vector<std::string> parameters;
    for (const VcardParameter& parameter : line.parameters) {
        if (parameter.name != "TYPE") {
            parameters.push_back(parameter.name + "=" + parameter.value);
            continue;
        }
        std::string_view types = parameter.value;
        while (!types.empty()) {
            size_t comma = types.find(',');
            parameters.push_back("TYPE=" + upperAscii(trimBlanks(types.substr(0, comma))));
            types = comma == std::string_view::npos ? "" : types.substr(comma + 1);
        }
    }
    std::sort(parameters.begin(), parameters.end());
    std::string sense = line.name;
    for (const std::string& parameter : parameters) sense.append(";").append(parameter);
    return sense.append(":").append(trimBlanks(line.value));
}

// Properties a person has one of: the kept entry's own stands, else the first other's; what
// differs is named.
bool heldOnce(std::string_view name) {
    for (std::string_view single :
         {"BDAY", "ANNIVERSARY", "PHOTO", "LOGO", "UID", "GENDER", "TZ", "GEO", "N", "FN"})
        if (name == single) return true;
    return false;
}

// A line as text again, in the form the store keeps.
std::string lineText(const VcardLine& line) {
    std::string text = line.group.empty() ? line.name : line.group + "." + line.name;
    for (const VcardParameter& parameter : line.parameters)
        appendParameter(text, parameter.name, parameter.value);
    return text.append(":").append(line.value);
}

// What a number or a mail line is known by when two books' lines are one: a mail's address; a
// number's digits, its extension and whether it is a fax.
std::string addressOf(const VcardLine& line) {
    if (line.name == "EMAIL") return "EMAIL|" + mailKey(trimBlanks(line.value));
    if (line.name != "TEL") return "";
    std::string text = trimBlanks(line.value);
    if (startsWithIgnoringCase(text, "tel:")) text = text.substr(4);
    std::string key = numberKey(text);
    if (key.empty()) return "";
    return "TEL|" + key + "|" + std::string(splitExtension(text).extension) +
           (line.hasType("FAX") ? "|FAX" : "");
}

// The lines not `gone`, in their order; `ends` (one past each entry's last line), where
// given, moved to the lines left.
void dropGoneLines(std::vector<std::string>& extras, const std::vector<bool>& gone,
                   std::vector<size_t>* ends) {
    size_t left = 0;
    std::vector<size_t> leftBefore(extras.size() + 1, 0);
    for (size_t i = 0; i < extras.size(); ++i) {
        leftBefore[i] = left;
        if (!gone[i]) {
            if (left != i) extras[left] = std::move(extras[i]);
            ++left;
        }
    }
    leftBefore[extras.size()] = left;
    extras.resize(left);
    if (ends)
        for (size_t& end : *ends) end = leftBefore[end];
}

// One number or mail that two entries' kept lines both hold is one line: the earlier entry's,
// with the later's types added and its label where it had none (a label it had already stands;
// a different one is named in `notKept`). The phone's line of it matches one line only, so a
// second would go unread. `ends`: one past each entry's last line, the kept entry's first.
void joinLinesOfOneAddress(std::vector<std::string>& extras, const std::vector<size_t>& ends,
                           const std::string& name, std::vector<std::string>& notKept) {
    std::vector<VcardLine> lines(extras.size());
    std::vector<bool> parsed(extras.size()), gone(extras.size(), false);
    for (size_t i = 0; i < extras.size(); ++i) parsed[i] = parseVcardLine(extras[i], lines[i]);
    auto entryOf = [&ends](size_t i) {
        return static_cast<size_t>(std::upper_bound(ends.begin(), ends.end(), i) - ends.begin());
    };
    auto labelsOf = [&](const std::string& group) {
        std::vector<size_t> found;
        for (size_t k = 0; k < lines.size(); ++k)
            if (parsed[k] && !gone[k] && !group.empty() && lines[k].group == group &&
                lines[k].name == "X-ABLABEL")
                found.push_back(k);
        return found;
    };
    std::unordered_map<std::string, size_t> first;
    for (size_t j = 0; j < extras.size(); ++j) {
        if (!parsed[j]) continue;
        std::string address = addressOf(lines[j]);
        if (address.empty()) continue;
        auto [at, added] = first.try_emplace(address, j);
        if (added || entryOf(at->second) == entryOf(j)) continue;
        VcardLine& kept = lines[at->second];
        const VcardLine& joined = lines[j];
        // The types of both, each once, the kept line's first.
        std::vector<std::string> types, listed;
        for (const VcardLine* line : {static_cast<const VcardLine*>(&kept), &joined})
            for (const VcardParameter& parameter : line->parameters)
                if (parameter.name == "TYPE") {
                    splitComponents(parameter.value, ',', listed);
                    for (const std::string& type : listed)
                        if (!type.empty() &&
                            std::none_of(types.begin(), types.end(), [&type](const auto& t) {
                                return equalsIgnoringCase(t, type);
                            }))
                            types.push_back(type);
                }
        auto firstType = std::find_if(kept.parameters.begin(), kept.parameters.end(),
                                      [](const VcardParameter& p) { return p.name == "TYPE"; });
        size_t place = static_cast<size_t>(firstType - kept.parameters.begin());
        std::erase_if(kept.parameters, [](const VcardParameter& p) { return p.name == "TYPE"; });
        if (!types.empty()) {
            std::string list;
            for (const std::string& type : types) list += (list.empty() ? "" : ",") + type;
            kept.parameters.insert(kept.parameters.begin() +
                                       static_cast<long>(std::min(place, kept.parameters.size())),
                                   {"TYPE", list});
        }
        if (kept.group.empty()) {
            kept.group = joined.group;  // its label now says what this line is
        } else {
            std::vector<std::string> keptLabels;
            for (size_t k : labelsOf(kept.group)) keptLabels.push_back(lines[k].value);
            for (size_t k : labelsOf(joined.group)) {
                gone[k] = true;
                if (std::find(keptLabels.begin(), keptLabels.end(), lines[k].value) ==
                    keptLabels.end()) {
                    std::string scratch;
                    notKept.push_back(name + ": " + spokenProperty("X-ABLABEL") + " " +
                                      std::string(unescapeText(lines[k].value, scratch)));
                }
            }
        }
        extras[at->second] = lineText(kept);
        gone[j] = true;
    }
    dropGoneLines(extras, gone, nullptr);
}

// How good a company's name is to keep, of one company written several ways: the form most of
// its lines use, then normal width over half-width, then its legal form spelled out (株式会社
// over (株) and none); the same whatever order the entries came in.
std::tuple<int, int, size_t, std::string> companyRank(const std::string& form, int uses) {
    bool halfWidth = fullWidthKatakana(form) != form;
    return {uses, halfWidth ? 0 : 1, form.size(), form};
}

// One company that entries write in several ways ("株式会社ミナト精機", "ﾐﾅﾄ精機;営業部") is one
// line of each department it is said with: the name form most of them use (companyRank) with
// the department's units. A line whose units begin a department's ("株式会社ミナト精機" alone)
// says nothing more; two departments stay two. A card's own two lines of one company stay as
// it said them. `ends`: as joinLinesOfOneAddress has them, moved to the lines left.
void joinCompaniesOfOneName(std::vector<std::string>& extras, std::vector<size_t>& ends) {
    struct Company {
        size_t at = 0;
        size_t entry = 0;
        std::string form;                // the company's name as the line writes it
        std::string shown;               // the same as people read it
        std::vector<std::string> units;  // as people read them, without empty ones at the end
        std::string writtenUnits;        // the units as the line writes them, each after a ";"
    };
    std::map<std::string, std::vector<Company>> byKey;
    std::vector<std::string> parts;
    std::string scratch;
    for (size_t j = 0; j < extras.size(); ++j) {
        VcardLine line;
        if (propertyName(extras[j]) != "ORG" || !parseVcardLine(extras[j], line) ||
            !line.group.empty())
            continue;
        splitComponents(line.value, ';', parts);
        Company company;
        company.at = j;
        company.entry =
            static_cast<size_t>(std::upper_bound(ends.begin(), ends.end(), j) - ends.begin());
        company.form = parts[0];
        company.shown = trimBlanks(unescapeText(parts[0], scratch));
        std::string key = personNameKey(company.shown);
        if (key.empty()) continue;
        for (size_t p = 1; p < parts.size(); ++p)
            company.units.push_back(trimBlanks(unescapeText(parts[p], scratch)));
        while (!company.units.empty() && company.units.back().empty()) company.units.pop_back();
        for (size_t p = 1; p <= company.units.size(); ++p)
            company.writtenUnits.append(";").append(parts[p]);
        byKey[key].push_back(std::move(company));
    }
    auto begins = [](const std::vector<std::string>& shorter,
                     const std::vector<std::string>& longer) {
        return shorter.size() <= longer.size() &&
               std::equal(shorter.begin(), shorter.end(), longer.begin());
    };
    std::vector<bool> gone(extras.size(), false);
    for (const auto& [key, lines] : byKey) {
        std::set<size_t> entries;
        if (lines.size() < 2 || std::any_of(lines.begin(), lines.end(), [&entries](const auto& c) {
                return !entries.insert(c.entry).second;
            }))
            continue;
        // The departments: the units no other line goes on from, each once.
        std::vector<const Company*> departments;
        for (const Company& company : lines) {
            bool goesOn = std::any_of(lines.begin(), lines.end(), [&](const Company& other) {
                return other.units.size() > company.units.size() &&
                       begins(company.units, other.units);
            });
            if (!goesOn &&
                std::none_of(departments.begin(), departments.end(),
                             [&](const Company* d) { return d->units == company.units; }))
                departments.push_back(&company);
        }
        if (departments.size() == lines.size()) continue;  // each line its own department
        std::vector<bool> stays(lines.size(), false);
        for (const Company* department : departments) {
            std::map<std::string, std::pair<int, std::string>> forms;  // shown → uses, written
            size_t first = lines.size();
            for (size_t c = 0; c < lines.size(); ++c) {
                if (!begins(lines[c].units, department->units)) continue;
                auto& [uses, written] = forms[lines[c].shown];
                if (uses++ == 0) written = lines[c].form;
                if (lines[c].units == department->units && first == lines.size()) first = c;
            }
            auto best =
                std::max_element(forms.begin(), forms.end(), [](const auto& a, const auto& b) {
                    return companyRank(a.first, a.second.first) <
                           companyRank(b.first, b.second.first);
                });
            VcardLine kept;
            parseVcardLine(extras[lines[first].at], kept);
            kept.value = best->second.second + department->writtenUnits;
            extras[lines[first].at] = lineText(kept);
            stays[first] = true;
        }
        for (size_t c = 0; c < lines.size(); ++c)
            if (!stays[c]) gone[lines[c].at] = true;
    }
    dropGoneLines(extras, gone, &ends);
}

// The properties of a person's name that a card says once, each a bit; 0 for any other.
unsigned onceOfTheName(std::string_view name) {
    return name == "N"                       ? 1u
           : name == "FN"                    ? 2u
           : name == "X-PHONETIC-LAST-NAME"  ? 4u
           : name == "X-PHONETIC-FIRST-NAME" ? 8u
                                             : 0u;
}

// What the kept entry holds beyond the phone's lines, with what the others hold that it lacks:
// every note, company, title, address, web page and the like united; N and FN only of the
// entry that gives the name; readings as the phone's lines hold them (in katakana). The others'
// groups ("item1") are numbered anew so that a label stays with its own line. What one value
// must win of is named in `notKept`.
std::vector<std::string> mergedExtras(const MergeEntry& first,
                                      const std::vector<const MergeEntry*>& others,
                                      std::int64_t nameSource, const std::string& name,
                                      std::vector<std::string>& notKept) {
    std::vector<std::string> extras;
    std::unordered_set<std::string> lines, notes;
    std::map<std::string, std::string> once;  // property → the value that stands
    // The birthday is the one most entries agree on, wherever it stands.
    std::string birthday = birthdayOf(first, others);
    bool birthdayWritten = false;
    std::unordered_set<std::string> birthdaysNamed;
    int lastGroup = 0;
    for (const std::string& extra : first.row.extras) {
        VcardLine line;
        if (parseVcardLine(extra, line) && line.group.size() > 4 &&
            line.group.compare(0, 4, "item") == 0)
            lastGroup = std::max(lastGroup, std::atoi(line.group.c_str() + 4));
    }
    // What each line says, its group left aside: a labelled address of one book is the same
    // address in another book's card under another group's name.
    std::unordered_set<std::string> said;
    auto add = [&](const MergeEntry& entry, bool kept) {
        const EntryRow& row = entry.row;
        std::map<std::string, std::string> renamed;
        // An other's line already said stands once; so does a group whose every line is,
        // its labels with it.
        std::unordered_set<std::string> knownGroups;
        if (!kept) {
            // Of each group: its lines other than labels all said (1), not (0), none (-1).
            std::map<std::string, int> allSaid;
            for (const std::string& extra : row.extras) {
                VcardLine line;
                if (!parseVcardLine(extra, line) || line.group.empty()) continue;
                std::string sense = lineSense(line);
                int& known = allSaid.try_emplace(line.group, -1).first->second;
                if (!sense.empty()) known = known != 0 && said.count(sense) > 0 ? 1 : 0;
            }
            for (const auto& [group, known] : allSaid)
                if (known == 1) knownGroups.insert(group);
        }
        // A card says one name, display name and reading: one it said again stays with the
        // kept entry's name after its own, and is named where another entry said it.
        unsigned met = 0;
        for (const std::string& extra : row.extras) {
            VcardLine line;
            if (!parseVcardLine(extra, line)) continue;
            bool alternative = line.parameter("ALTID").has_value();
            if (unsigned bit = alternative ? 0 : onceOfTheName(line.name); bit != 0) {
                bool again = (met & bit) != 0;
                met |= bit;
                if (again && kept && (line.name == "N" || line.name == "FN")) {
                    if (lines.insert(extra).second) extras.push_back(extra);
                    continue;
                }
                if (again && !lines.count(extra)) {  // one the kept entry holds is no loss
                    std::vector<std::string> parts;
                    splitComponents(line.value, ';', parts);
                    std::string value, scratch;
                    for (const std::string& part : parts)
                        if (std::string text = trimBlanks(unescapeText(part, scratch));
                            !text.empty())
                            value += (value.empty() ? "" : " ") + text;
                    if (lines.insert(line.name + ":" + value).second)
                        notKept.push_back(name + ": " + spokenProperty(line.name) + " " + value);
                }
                if (again) continue;
            }
            if (!kept && (line.group.empty() ? said.count(lineSense(line)) > 0
                                             : knownGroups.count(line.group) > 0))
                continue;
            if (line.name == "X-PHONETIC-LAST-NAME" || line.name == "X-PHONETIC-FIRST-NAME" ||
                line.name == "NOTE")
                continue;  // readings from the phone's lines; every note below
            if ((line.name == "N" || line.name == "FN") && row.id != nameSource && !alternative)
                continue;
            if (line.name == "BDAY") {
                std::string date = isoDate(line.value);
                if (date == birthday && !birthdayWritten) {
                    birthdayWritten = true;
                    extras.push_back(extra);
                } else if (date != birthday && !isPlaceholderDate(date) &&
                           birthdaysNamed.insert(date).second) {
                    notKept.push_back(name + ": " + spokenProperty("BDAY") + " " + date);
                }
                continue;
            }
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
            if (lines.insert(text).second) {
                if (std::string sense = lineSense(line); !sense.empty()) said.insert(sense);
                extras.push_back(std::move(text));
            }
        }
        // Every note of every entry, each once; the kept entry's own line stays where it is.
        std::vector<std::string> columnNotes;
        if (kept && entry.card.note)
            columnNotes = readPerson(EntryRow{0, {entry.card.note}, {}}).notes;
        for (const std::string& text : entry.person.notes) {
            bool inColumn =
                std::find(columnNotes.begin(), columnNotes.end(), text) != columnNotes.end();
            if (notes.insert(text).second && !inColumn)
                extras.push_back("NOTE:" + escapeText(text));
        }
    };
    add(first, true);
    std::vector<size_t> ends = {extras.size()};
    for (const MergeEntry* other : others) {
        add(*other, false);
        ends.push_back(extras.size());
    }
    joinCompaniesOfOneName(extras, ends);
    joinLinesOfOneAddress(extras, ends, name, notKept);
    return extras;
}

// A number as merging compares it: its digits, its extension and whether it is a fax, so that
// two extensions of one office and a shop's number and fax stay apart.
std::vector<std::string> numberItemKeys(const MergeEntry& entry) {
    const CardView& card = entry.card;
    const Person& person = entry.person;
    std::vector<std::string> keys;
    size_t k = 0;
    for (const NumberPiece& number : card.numbers) {
        // The whole piece: two texts that agree only up to a colon are two numbers.
        std::string key = digitsOf(number.value + number.beyond);
        if (!trimBlanks(number.value).empty() && k < person.numbers.size()) {
            const PersonItem& item = person.numbers[k++];
            std::string text = trimBlanks(item.text());
            if (startsWithIgnoringCase(text, "tel:")) text = text.substr(4);
            key.append("|").append(splitExtension(text).extension);
            if (item.hasType("FAX")) key.append("|FAX");
        }
        keys.push_back(std::move(key));
    }
    return keys;
}

// A number known with its extension in one book and without it in another is one number: the
// one without goes, so that no card lists the same number twice.
void dropNumbersKnownWithExtension(std::vector<std::string>& columns) {
    for (std::string& column : columns) {
        if (columnKind(column) != ColumnKind::Numbers) continue;
        // Most columns hold no extension at all: nothing to look at.
        if (column.find(',') == std::string::npos && column.find('x') == std::string::npos &&
            column.find("EXT") == std::string::npos && !contains(column, "内線"))
            continue;
        std::vector<std::string> pieces;
        forEachPiece(column, [&pieces](std::string_view piece) { pieces.emplace_back(piece); });
        // The whole value after the property: "03-1111-2222:Aki" is not 03-1111-2222.
        auto valueOf = [](std::string_view piece) {
            size_t colon = piece.find(':');
            return trimBlanks(colon == std::string_view::npos ? "" : piece.substr(colon + 1));
        };
        std::unordered_set<std::string> extended;
        for (const std::string& piece : pieces) {
            std::string value = valueOf(piece);
            if (!splitExtension(value).extension.empty()) extended.insert(numberKey(value));
        }
        if (extended.empty()) continue;
        bool closed = column.ends_with(kJoin);
        std::string kept;
        for (const std::string& piece : pieces) {
            std::string value = valueOf(piece);
            if (splitExtension(value).extension.empty() && extended.count(numberKey(value)))
                continue;
            kept += (kept.empty() || closed ? "" : std::string(kJoin)) + piece +
                    (closed ? std::string(kJoin) : "");
        }
        column = kept;
    }
}

// The first entry's columns with the others' numbers and mails it lacks, and the lowest
// memory-dial number of them all.
// Entries `alike` hold the same lines: none has a number or a mail the first lacks.
std::vector<std::string> mergedColumns(const MergeEntry& first,
                                       const std::vector<const MergeEntry*>& others, bool alike) {
    std::vector<std::string> columns = usedColumns(first.row);
    fillEmptyLines(columns, others);
    std::unordered_set<std::string> numberDigits, mailKeys;
    if (!alike) {
        for (const std::string& key : numberItemKeys(first)) numberDigits.insert(key);
        for (const MailPiece& m : first.card.mails) mailKeys.insert(mailKey(m.value + m.beyond));
    }
    std::vector<std::string> newNumbers, newMails;
    std::optional<long> lowest = memoryNumberOf(first.card);
    for (const MergeEntry* other : others) {
        if (alike) {
            if (std::optional<long> number = memoryNumberOf(other->card))
                if (!lowest || *number < *lowest) lowest = number;
            continue;
        }
        const CardView& card = other->card;
        std::vector<std::string> keys = numberItemKeys(*other);
        for (size_t i = 0; i < card.numbers.size(); ++i)
            if (numberDigits.insert(keys[i]).second)
                newNumbers.push_back(card.numbers[i].head + ":" + card.numbers[i].value +
                                     card.numbers[i].beyond);
        for (const MailPiece& m : card.mails)
            if (mailKeys.insert(mailKey(m.value + m.beyond)).second)
                newMails.push_back(m.head + ":" + m.value + m.beyond);
        if (std::optional<long> number = memoryNumberOf(other->card))
            if (!lowest || *number < *lowest) lowest = number;
    }
    addPieces(columns, ColumnKind::Numbers, newNumbers);
    addPieces(columns, ColumnKind::Mails, newMails);
    dropNumbersKnownWithExtension(columns);
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

// Whether a name is written in kana alone, of either width and kind (its blanks, "・" and the ";"
// between family and given aside).
bool isKanaName(std::string_view name) {
    std::string katakana = katakanaOf(fullWidthKatakana(name));
    bool kana = false;
    for (size_t i = 0; i < katakana.size();) {
        auto [c, length] = codePointAt(katakana, i);
        i += length;
        if (c == U' ' || c == U';' || c == U'\u3000' || c == U'\u30FB') continue;
        if (c < U'\u30A1' || c > U'\u30FC') return false;
        kana = true;
    }
    return kana;
}

// A name in kana as the reading of `name`, in half-width katakana, family and given apart where
// its two words are known: in the order of `name`'s family and given names by their sound
// ("ｿﾌｨｱ ﾍﾞｲｶｰ" for "Baker;Sophia" is "ﾍﾞｲｶｰ;ｿﾌｨｱ"), else as written, family first.
std::string readingFromKana(const std::string& kana, const std::string& name) {
    std::string reading = halfWidthKatakana(katakanaOf(trimBlanks(kana)));
    if (contains(reading, ";")) return reading;
    size_t blank = reading.find(' ');
    if (blank == std::string::npos || reading.find(' ', blank + 1) != std::string::npos)
        return reading;
    std::string first = reading.substr(0, blank), second = reading.substr(blank + 1);
    size_t split = name.find(';');
    if (split != std::string::npos && isLatin(name) &&
        soundOf(romajiOf(katakanaOf(fullWidthKatakana(first)))) ==
            soundOf(name.substr(split + 1)) &&
        soundOf(romajiOf(katakanaOf(fullWidthKatakana(second)))) == soundOf(name.substr(0, split)))
        std::swap(first, second);
    return first + ";" + second;
}

// How good a reading is to keep: family and given apart, katakana over hiragana.
std::tuple<int, int, std::string> readingRank(const std::string& reading) {
    return {contains(reading, ";") ? 1 : 0, katakanaOf(reading) == reading ? 1 : 0, reading};
}

}  // namespace

namespace {

// A group's entries as the store holds them, and what the user picked of them. The rows are
// kept from group to group, so that their strings are reused.
struct GroupRows {
    std::vector<EntryRow> rows;
    std::vector<bool> phoneOwn;  // of each row
    size_t count = 0;            // rows in use
    std::optional<std::int64_t> nameFrom;
    std::string firstName;  // the name the dialog showed first, for a message; "" if none
    std::string seed;       // the store's identity seed
};

// What a group becomes: the merged entry at the place of the earliest, and the others to go.
struct MergedGroup {
    std::int64_t place = 0;
    std::vector<std::string> columns, extras;
    bool columnsAsStored = false;   // the entry at `place` holds these columns already
    std::vector<std::int64_t> ids;  // every entry of the group
    std::vector<bool> withExtras;   // whether each of them holds lines beyond the phone's
    std::vector<std::string> notKept;
};

// The merged entry is the person of the entry that gives the name: it keeps that entry's UID
// (written out where the place it takes would make another) and remembers every other's, so
// that their cards elsewhere are found again.
void keepIdentity(const MergeEntry& base, const std::vector<const MergeEntry*>& others,
                  const std::string& seed, MergedGroup& merged) {
    auto uidOfEntry = [&seed](const MergeEntry& entry) {
        return entry.person.uid.empty() ? entryUid(seed, entry.row.id) : entry.person.uid;
    };
    std::string uid = uidOfEntry(base);
    std::vector<std::string> absorbed = base.person.mergedUids;
    for (const MergeEntry* other : others) {
        absorbed.push_back(uidOfEntry(*other));
        absorbed.insert(absorbed.end(), other->person.mergedUids.begin(),
                        other->person.mergedUids.end());
    }
    std::erase_if(merged.extras, [](const std::string& extra) {
        VcardLine line;
        return parseVcardLine(extra, line) && (line.name == "UID" || line.name == kMergedUid);
    });
    if (!base.person.uid.empty() || base.row.id != merged.place)
        merged.extras.push_back("UID:" + uid);
    // A handful each: found again by looking through them.
    std::vector<std::string_view> seen{uid};
    for (const std::string& other : absorbed)
        if (std::find(seen.begin(), seen.end(), other) == seen.end()) {
            seen.push_back(other);
            merged.extras.push_back(std::string(kMergedUid) + ":" + other);
        }
}

// Merges one group's entries. Touches no store, so that it may run beside the one that reads
// and writes them.
MergedGroup mergedGroup(const GroupRows& group) {
    // One card read twice (a backup opened again), nothing kept beyond the phone's lines and no
    // identity of its own among them: the lines say all there is, and no entry is read as a
    // person, which would tell nothing more.
    bool alike = true;
    for (size_t r = 0; alike && r < group.count; ++r) {
        // Rows of the same lines in the same places are alike without taking their lines apart.
        alike = group.rows[r].extras.empty() &&
                (r == 0 || group.rows[r].columns == group.rows.front().columns ||
                 sameContent(group.rows[r], group.rows.front()));
        for (const std::optional<std::string>& column : group.rows[r].columns) {
            if (!column) break;
            if (startsWithIgnoringCase(*column, "UID") ||
                startsWithIgnoringCase(*column, kMergedUid))
                alike = alike && propertyKind(propertyName(*column)) != PropertyKind::Uid &&
                        propertyKind(propertyName(*column)) != PropertyKind::MergedUid;
        }
    }
    // Of one card read twice only the name, the reading and the memory-dial number are
    // compared: its numbers and mails are not taken apart.
    std::vector<MergeEntry> rows;
    rows.reserve(group.count);
    for (size_t r = 0; r < group.count; ++r)
        rows.push_back({group.rows[r], readCard(group.rows[r], kCardColumns, !alike),
                        alike ? Person() : readPerson(group.rows[r]), group.phoneOwn[r]});
    MergedGroup merged;
    // The merged entry keeps the place (the id) of the earliest, and is built on the entry
    // with the name the user picked, else the best name of the group, so that it comes out
    // the same whatever order the books were read in.
    merged.place = rows.front().row.id;
    for (const MergeEntry& read : rows) {
        merged.place = std::min(merged.place, read.row.id);
        merged.ids.push_back(read.row.id);
        merged.withExtras.push_back(!read.row.extras.empty());
    }
    struct Rank {
        bool picked;
        std::tuple<int, int, int> kind;  // of the name: see nameRank
        size_t users;                    // entries that write the name so
        bool phoneOwn;
        size_t lines;
        std::string name;
        size_t row;
    };
    std::vector<Rank> ranked;
    for (size_t i = 0; i < rows.size(); ++i) {
        std::string name = rows[i].card.name.value_or("");
        std::tuple<int, int, int> kind;
        if (i > 0 && name == ranked.back().name) {
            kind = ranked.back().kind;  // one name read twice is ranked once
        } else {
            auto [apart, kanji, width, text] = nameRank(name);
            kind = {apart, kanji, width};
        }
        size_t users = std::count_if(rows.begin(), rows.end(), [&name](const MergeEntry& other) {
            return other.card.name.value_or("") == name;
        });
        ranked.push_back({group.nameFrom && *group.nameFrom == rows[i].row.id, kind, users,
                          rows[i].phoneOwn, usedColumnCount(rows[i].row), name, i});
    }
    // The pick; the best kind of name; of those, the form most of the person's entries write,
    // then the phone's own (typed there by the user), the card with most lines, its text:
    // never the order the books came in.
    // Cards read twice are alike in all but their memory-dial numbers and ids.
    std::sort(ranked.begin(), ranked.end(), [&rows, alike](const Rank& a, const Rank& b) {
        if (a.picked != b.picked) return a.picked;
        if (a.kind != b.kind) return a.kind > b.kind;
        if (a.users != b.users) return a.users > b.users;
        if (a.phoneOwn != b.phoneOwn) return a.phoneOwn;
        if (a.lines != b.lines) return a.lines > b.lines;
        if (a.name != b.name) return a.name > b.name;
        if (int order = alike ? 0 : compareContent(rows[a.row].row, rows[b.row].row); order != 0)
            return order < 0;
        // What the cards keep beyond the phone's lines (a middle name the phone has no line
        // for), so that no order of the books decides.
        if (rows[a.row].row.extras != rows[b.row].row.extras)
            return rows[a.row].row.extras < rows[b.row].row.extras;
        return rows[a.row].row.id < rows[b.row].row.id;
    });
    const MergeEntry& base = rows[ranked.front().row];
    std::vector<const MergeEntry*> others;
    for (size_t r = 1; r < ranked.size(); ++r) others.push_back(&rows[ranked[r].row]);
    std::string bestReading = base.card.reading.value_or("");
    for (const MergeEntry* other : others) {
        const CardView& card = other->card;
        if (card.reading && !trimBlanks(*card.reading).empty() &&
            (trimBlanks(bestReading).empty() ||
             readingRank(*card.reading) > readingRank(bestReading)))
            bestReading = *card.reading;
    }
    // The names the merged entry does not keep: kana that reads a name in other letters
    // ("ﾍﾞｲｶｰ ｿﾌｨｱ" beside "Baker;Sophia") is its reading where the person has none; a name
    // the person still holds another way (its reading, the reading in Latin letters, a
    // nickname, the same name in other kanji forms, widths or words around it) goes; any other
    // is named.
    // Cards read twice name nobody in a message unless they cannot be merged.
    std::string shown = alike ? std::string() : shownName(base.card.name.value_or(""));
    std::string keptName = base.card.name.value_or("");
    std::vector<std::string> namesLeft;
    if (!alike && !trimBlanks(keptName).empty())
        for (const MergeEntry* other : others) {
            std::string name = other->card.name.value_or("");
            if (trimBlanks(name).empty() || personNameKey(name) == personNameKey(keptName))
                continue;
            if (trimBlanks(bestReading).empty() && isKanaName(name) && !isKanaName(keptName))
                bestReading = readingFromKana(name, keptName);
            namesLeft.push_back(name);
        }
    // Others of the kept name that say more of it (a middle name, title or suffix: the phone's
    // lines hold the family and given name alone). Where the kept name says none and they
    // agree, they complete it; else what they say is named.
    std::optional<std::vector<std::string>> completedName;
    if (!alike) {
        auto part = [](const MergeEntry& entry, size_t at) {
            return trimBlanks(entry.person.name[at]);
        };
        std::vector<const MergeEntry*> fuller;
        for (const MergeEntry* other : others) {
            if (personNameKey(other->card.name.value_or("")) != personNameKey(keptName)) continue;
            for (size_t at = 2; at < 5; ++at)
                if (std::string theirs = part(*other, at);
                    !theirs.empty() && personNameKey(theirs) != personNameKey(part(base, at))) {
                    fuller.push_back(other);
                    break;
                }
        }
        auto saysMore = [&part](const MergeEntry& entry) {
            std::vector<std::string> key;
            for (size_t at = 2; at < 5; ++at) key.push_back(personNameKey(part(entry, at)));
            return key;
        };
        bool bare = !base.person.wholeName && part(base, 2).empty() && part(base, 3).empty() &&
                    part(base, 4).empty();
        if (bare && !fuller.empty() &&
            std::all_of(fuller.begin(), fuller.end(), [&](const MergeEntry* other) {
                return saysMore(*other) == saysMore(*fuller.front());
            })) {
            // Of forms that differ in width alone, the least: the same whatever the order.
            std::vector<std::string> more;
            for (const MergeEntry* other : fuller) {
                std::vector<std::string> theirs{part(*other, 2), part(*other, 3), part(*other, 4)};
                if (more.empty() || theirs < more) more = theirs;
            }
            completedName = base.person.name;
            std::copy(more.begin(), more.end(), completedName->begin() + 2);
        } else {
            for (const MergeEntry* other : fuller) namesLeft.push_back(builtName(other->person));
        }
    }
    if (!namesLeft.empty()) {
        std::unordered_set<std::string> held;
        std::string family = pieceAt(bestReading, ";", 0), given = pieceAt(bestReading, ";", 1);
        for (const std::string& reading : {family + given, given + family}) {
            held.insert(personNameKey(reading));
            held.insert(romajiOf(katakanaOf(fullWidthKatakana(reading))));
        }
        for (const MergeEntry& entry : rows)
            for (const std::string& nickname : entry.person.nicknames)
                held.insert(personNameKey(nickname));
        std::unordered_set<std::string> named;
        for (const std::string& name : namesLeft)
            if (!held.count(personNameKey(name)) && named.insert(personNameKey(name)).second)
                merged.notKept.push_back(shown + ": " + spokenProperty("N") + " " +
                                         shownName(name));
    }
    merged.columns = mergedColumns(base, others, alike);
    if (!bestReading.empty()) {
        auto reading = std::find_if(
            merged.columns.begin(), merged.columns.end(),
            [](const std::string& column) { return startsWithIgnoringCase(column, kReadingItem); });
        if (reading != merged.columns.end()) {
            *reading = std::string(kReadingItem) + bestReading;
        } else {
            // Right after the name, as the phone writes it.
            auto name = std::find_if(merged.columns.begin(), merged.columns.end(),
                                     [](const std::string& column) {
                                         return startsWithIgnoringCase(column, kNameItem);
                                     });
            if (name != merged.columns.end())
                merged.columns.insert(name + 1, std::string(kReadingItem) + bestReading);
        }
    }
    if (merged.columns.size() > static_cast<size_t>(kCardColumns))
        throw TsunagiError(
            "「" +
            (!group.firstName.empty() ? group.firstName : shownName(base.card.name.value_or(""))) +
            "」をまとめると 1 件の行数が " + std::to_string(kCardColumns) +
            " 行を超えるため、まとめられません。何も変更していません。");
    if (!alike) merged.extras = mergedExtras(base, others, base.row.id, shown, merged.notKept);
    if (completedName) {
        std::string value;
        for (size_t at = 0; at < 5; ++at) {
            if (at > 0) value += ';';
            appendEscapedText(value, (*completedName)[at]);
        }
        auto name =
            std::find_if(merged.extras.begin(), merged.extras.end(), [](const std::string& extra) {
                VcardLine line;
                return parseVcardLine(extra, line) && line.name == "N" && !line.parameter("ALTID");
            });
        if (name != merged.extras.end()) {
            VcardLine line;
            parseVcardLine(*name, line);
            line.value = value;
            *name = lineText(line);
        } else {
            merged.extras.insert(merged.extras.begin(), "N:" + value);
        }
    }
    if (base.row.id == merged.place) {
        const std::vector<std::optional<std::string>>& stored = base.row.columns;
        merged.columnsAsStored = stored.size() >= merged.columns.size();
        for (size_t c = 0; c < stored.size() && merged.columnsAsStored; ++c)
            merged.columnsAsStored =
                c < merged.columns.size() ? stored[c] == merged.columns[c] : !stored[c];
    }
    keepIdentity(base, others, group.seed, merged);
    return merged;
}

// No entry is in two of the groups.
bool apart(const std::vector<DuplicateGroup>& groups) {
    std::unordered_set<std::int64_t> seen;
    for (const DuplicateGroup& group : groups)
        for (const DuplicateEntry& entry : group.entries)
            if (!seen.insert(entry.id).second) return false;
    return true;
}

}  // namespace

MergeResult mergeDuplicates(const Store& store, const std::vector<DuplicateGroup>& groups) {
    MergeResult result;
    Connection connection = store.open();
    Transaction transaction(connection);
    EntryById entries(connection);
    const std::string seed = identitySeed(connection);
    // Groups may share entries: counted once each, and an entry merged away in one group is
    // no longer there for the next.
    std::unordered_set<std::int64_t> touched, kept;
    // Reads a group's entries that are still there.
    // Entries found a moment ago come as they were read, where no group can have changed
    // another's.
    const bool heldRows = apart(groups);
    // One card stored again and again, as its print tells, is merged without being read, where
    // the user neither picked its name nor left any of it out.
    auto mergedUnread = [heldRows](const DuplicateGroup& group) {
        return heldRows && group.twins && !group.nameFrom &&
               std::none_of(group.entries.begin(), group.entries.end(),
                            [](const DuplicateEntry& entry) { return entry.asked; });
    };
    // Entries not kept as found (a group its keys alone made) are read here first, all in the
    // order of the store, and packed as those found were: far faster than each by its id as its
    // group comes.
    std::vector<std::pair<std::int64_t, std::string>> unread;
    if (heldRows) {
        for (const DuplicateGroup& group : groups)
            if (group.entries.size() >= 2 && !mergedUnread(group))
                for (const DuplicateEntry& entry : group.entries)
                    if (!entry.asked && entry.held.empty()) unread.push_back({entry.id, {}});
        std::sort(unread.begin(), unread.end());
        EntriesInOrder inOrder(connection);
        EntryRow row;
        for (auto& [id, packed] : unread)
            if (inOrder.read(id, row)) packRow(row, packed);
    }
    auto read = [&entries, &seed, &unread, heldRows](const DuplicateGroup& group, GroupRows& rows) {
        rows.count = 0;
        rows.nameFrom = group.nameFrom;
        rows.firstName = group.entries.front().name;
        rows.seed = seed;
        for (const DuplicateEntry& entry : group.entries) {
            if (entry.asked) continue;  // left out unless the user took it in
            if (rows.count == rows.rows.size()) rows.rows.emplace_back();
            rows.phoneOwn.resize(rows.rows.size());
            rows.phoneOwn[rows.count] = entry.phoneOwn;
            if (heldRows && !entry.held.empty()) {
                unpackRow(entry.held, rows.rows[rows.count++]);
                continue;
            }
            if (heldRows) {
                auto at = std::lower_bound(unread.begin(), unread.end(),
                                           std::pair<std::int64_t, std::string>{entry.id, {}});
                if (at != unread.end() && at->first == entry.id && !at->second.empty())
                    unpackRow(at->second, rows.rows[rows.count++]);
                continue;
            }
            if (entries.read(entry.id, rows.rows[rows.count])) ++rows.count;
        }
        return rows.count >= 2;
    };
    // Only what is stored beside an entry is deleted with it: the rows were read whole, and a
    // store whose keys are held in memory stores none.
    const bool anyKeys = keysStored(connection);
    auto write = [&](const MergedGroup& merged) {
        for (size_t m = 0; m < merged.ids.size(); ++m) {
            std::int64_t id = merged.ids[m];
            StoredBeside beside{.extras = merged.withExtras[m], .keys = anyKeys};
            touched.insert(id);
            if (id == merged.place) {
                if (merged.columnsAsStored)
                    entries.rewriteExtras(id, merged.extras, beside);
                else
                    entries.rewrite(id, merged.columns, merged.extras, beside);
                kept.insert(id);
            } else {
                entries.erase(id, beside);
                kept.erase(id);
            }
        }
        result.notKept.insert(result.notKept.end(), merged.notKept.begin(), merged.notKept.end());
    };
    // One card stored again and again, of lines a merge leaves as they are: the entry at the
    // earliest place keeps them, with the identity of the one a merge of the cards read would
    // build on (the phone's own first, then the earliest), and remembers the others' (of ids of
    // their own, none the same as another's). The groups are apart: each entry is counted once.
    long twinsBefore = 0, twinsAfter = 0;
    std::vector<std::string> twinExtras;
    std::vector<std::int64_t> twinCopies;  // deleted once all are known
    auto writeTwins = [&](const DuplicateGroup& group) {
        auto base = std::find_if(group.entries.begin(), group.entries.end(),
                                 [](const DuplicateEntry& entry) { return entry.phoneOwn; });
        if (base == group.entries.end()) base = group.entries.begin();
        std::int64_t place = group.entries.front().id;
        for (const DuplicateEntry& entry : group.entries) place = std::min(place, entry.id);
        twinExtras.clear();
        if (base->id != place) twinExtras.push_back("UID:" + entryUid(seed, base->id));
        for (bool phoneOwn : {true, false})
            for (const DuplicateEntry& entry : group.entries)
                if (entry.phoneOwn == phoneOwn && entry.id != base->id)
                    twinExtras.push_back(std::string(kMergedUid) + ":" + entryUid(seed, entry.id));
        for (const DuplicateEntry& entry : group.entries)
            if (entry.id == place)
                entries.rewriteExtras(place, twinExtras, {.extras = false, .keys = anyKeys});
            else
                twinCopies.push_back(entry.id);
        twinsBefore += static_cast<long>(group.entries.size());
        ++twinsAfter;
    };
    if (heldRows) {
        // The groups are read and written here while those read before them are merged on
        // another thread, a batch at a time: no group sees what another one writes. A batch
        // comes back with its results, to be read into again.
        struct Batch {
            std::vector<GroupRows> groups;
            size_t count = 0;
            std::vector<MergedGroup> merged;
        };
        WorkPipe<Batch, Batch> pipe([](Batch& batch) {
            batch.merged.clear();
            for (size_t g = 0; g < batch.count; ++g)
                batch.merged.push_back(mergedGroup(batch.groups[g]));
            return std::move(batch);
        });
        constexpr size_t kBatchGroups = 64, kBatchesAhead = 4;
        std::vector<Batch> spare;
        auto writeNext = [&] {
            Batch done = pipe.take();
            for (const MergedGroup& merged : done.merged) write(merged);
            spare.push_back(std::move(done));
        };
        auto fresh = [&spare] {
            Batch batch;
            if (!spare.empty()) {
                batch = std::move(spare.back());
                spare.pop_back();
            }
            batch.count = 0;
            return batch;
        };
        Batch batch = fresh();
        for (const DuplicateGroup& group : groups) {
            if (group.entries.size() < 2) continue;
            if (mergedUnread(group)) {
                writeTwins(group);
                continue;
            }
            if (batch.count == batch.groups.size()) batch.groups.emplace_back();
            if (!read(group, batch.groups[batch.count])) continue;
            if (++batch.count < kBatchGroups) continue;
            pipe.put(std::move(batch));
            if (pipe.waiting() >= kBatchesAhead) writeNext();
            batch = fresh();
        }
        if (batch.count > 0) pipe.put(std::move(batch));
        while (pipe.waiting() > 0) writeNext();
    } else {
        GroupRows rows;
        for (const DuplicateGroup& group : groups)
            if (group.entries.size() >= 2 && read(group, rows)) write(mergedGroup(rows));
    }
    // The copies of cards stored twice, deleted block by block: most are a book imported again.
    std::sort(twinCopies.begin(), twinCopies.end());
    for (size_t from = 0, end; from < twinCopies.size(); from = end) {
        for (end = from + 1; end < twinCopies.size() && twinCopies[end] == twinCopies[end - 1] + 1;)
            ++end;
        entries.eraseRange(twinCopies[from], twinCopies[end - 1],
                           {.extras = false, .keys = anyKeys});
    }
    transaction.commit();
    if (HeldKeys* held = store.heldKeys(); held && (!touched.empty() || twinsBefore > 0))
        held->letGo();
    result.entriesBefore = static_cast<long>(touched.size()) + twinsBefore;
    result.entriesAfter = static_cast<long>(kept.size()) + twinsAfter;
    return result;
}

size_t bestNamedEntry(const DuplicateGroup& group) {
    // As a merge ranks them: the kind of name, how many entries write it so, the phone's own.
    auto rank = [&group](const DuplicateEntry& entry) {
        auto [apart, kanji, width, text] = nameRank(entry.name);
        size_t users = std::count_if(group.entries.begin(), group.entries.end(),
                                     [&entry](const DuplicateEntry& other) {
                                         return !other.asked && other.name == entry.name;
                                     });
        return std::tuple(apart, kanji, width, users, entry.phoneOwn, text);
    };
    size_t best = 0;
    for (size_t e = 1; e < group.entries.size(); ++e)
        if (!group.entries[e].asked &&
            (group.entries[best].asked || rank(group.entries[e]) > rank(group.entries[best])))
            best = e;
    return best;
}

std::string describeMerge(const MergeResult& result, size_t shown) {
    if (result.entriesBefore == 0) return "まとめたデータはありません。";
    std::string words = std::to_string(result.entriesBefore) + " 件のデータを " +
                        std::to_string(result.entriesAfter) + " 件にまとめました。";
    if (!result.notKept.empty())
        words += "\n1 つしか持てないため、次は残していません：" +
                 namedEntries(result.notKept, shown) + "。";
    return words;
}

}  // namespace tsunagi
