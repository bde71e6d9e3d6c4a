#pragma once

// Tying the same person together: entries that arrive two or three times when books are
// merged (a phone backup opened twice, the same people in an address book) are found and
// merged into one.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/store.h"

namespace tsunagi {

// One entry of a group, as the dialog shows it.
struct DuplicateEntry {
    std::int64_t id;
    std::string name;
    std::string reading;
    std::string company;
    std::vector<std::string> numbers;  // as stored, first to last
    std::vector<std::string> mails;
};

struct DuplicateGroup {
    // Sure: the names are the same once normalised, or the cards are the same but for their
    // memory-dial numbers. Otherwise the entries only share a number or a mail ("possibly the
    // same": a family shares its home number).
    bool sure = true;
    std::vector<DuplicateEntry> entries;  // in ascending id; the first is the one kept
    // The entry whose name (and reading) the merged entry takes; none for the first that has
    // one.
    std::optional<std::int64_t> nameFrom;
    // What the merged entry would hold.
    size_t mergedNumbers = 0;
    size_t mergedMails = 0;
    // More than the input form's three numbers or three mails.
    bool beyondTheForm() const { return mergedNumbers > 3 || mergedMails > 3; }
};

// The groups among all entries: sure groups first, in the order of their first entries, then
// the possible ones.
std::vector<DuplicateGroup> findDuplicates(const Store& store);

struct MergeResult {
    long entriesBefore = 0;  // entries of the merged groups
    long entriesAfter = 0;   // entries they became
};

// Merges each group into its first entry (lowest id): its name, reading, group and other lines
// stay; the others' numbers and mails that it lacks are added (numbers compared by their
// digits, mails without regard to case); the lowest memory-dial number is kept; the others are
// deleted. All groups in one transaction: a failure leaves the store as it was and throws
// TsunagiError saying why.
MergeResult mergeDuplicates(const Store& store, const std::vector<DuplicateGroup>& groups);

// The closing words of a merge.
std::string describeMerge(const MergeResult& result);

}  // namespace tsunagi
