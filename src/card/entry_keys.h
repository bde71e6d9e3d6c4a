#pragma once

// The keys an entry is found by when the same person is sought among the stored entries: its
// name, its numbers and its mails (its content when it has none of them). They are made once,
// when the entry is stored, and kept beside it, so that finding duplicates is a query over the
// keys and a reading of just the entries that share one.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/entries.h"
#include "store/store.h"

namespace tsunagi {

// What a key says of its entry; a key's lowest three bits hold its kind.
enum class KeyKind : std::int64_t {
    Content = 1,  // every line but the memory-dial number, for an entry without the others
    Name = 2,     // the name, old kanji as new
    Number = 3,   // a number's digits
    Mail = 4,     // a mail address in any case
};
KeyKind kindOf(std::int64_t key);
std::int64_t keyOf(KeyKind kind, std::string_view text);

// Counts the ways the keys have been made; the store's keys of another count are made anew.
inline constexpr int kEntryKeysVersion = 3;

// A mail address as two entries are compared by it: without blanks around it, in any case.
std::string mailKey(std::string_view mail);
// Every stored line but the memory-dial number: two entries with the same are one file's card
// read twice.
std::string contentKey(const EntryRow& row);
// The same, appended to `content`.
void appendContentKey(const EntryRow& row, std::string& content);
// Two entries' contents compared line by line, without making their keys: below, at or above
// zero as `one` comes before, with or after `other`; zero where their content keys are the same.
int compareContent(const EntryRow& one, const EntryRow& other);
inline bool sameContent(const EntryRow& one, const EntryRow& other) {
    return compareContent(one, other) == 0;
}

// Makes the keys of one entry after another, keeping its scratch between them.
class EntryKeyMaker {
  public:
    const std::vector<std::int64_t>& keysOf(const EntryRow& row);
    // The same for a card as an importer hands it over: its lines (the keys are all in them).
    const std::vector<std::int64_t>& keysOf(std::span<const std::string> columns);

  private:
    std::vector<std::int64_t> keys_;
    std::string content_;
};

// The print of a card as an importer hands it over (see CardPrint): none where a merge with a
// card of the same lines would change any of them, or where it holds lines beyond the phone's
// (`joinedExtras`).
CardPrint cardPrint(std::span<const std::string> columns, std::string_view joinedExtras);

// Makes the keys of every entry that has none (changed, restored, or stored by an older build),
// and forgets keys made another way first. Runs in a transaction of its own.
void makeMissingKeys(Connection& connection);

// The kinds of every entry's keys (see sharedKeys), in ascending id: those held in memory where
// the keys were taken from there, else read into `read`.
struct EntryKinds {
    std::vector<EntryKeyKinds> read;
    std::span<const EntryKeyKinds> all;
};

// Every key that two or more entries share, with each of them, ordered by key, then by id;
// the keys of entries that had none made first. `held`: the keys the store holds in memory,
// taken where they are those of every entry.
std::vector<SharedKey> sharedEntryKeys(Connection& connection, EntryKinds* kinds = nullptr,
                                       HeldKeys* held = nullptr);

}  // namespace tsunagi
