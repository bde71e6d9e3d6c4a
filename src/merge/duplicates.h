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
    bool phoneOwn = false;  // it came from the phone's own backup
    // Only possibly this person (a namesake, or one sharing a home line): shown in the person's
    // group but left out of a merge unless the user takes it in.
    bool asked = false;
    // The entry as it was read, packed, where the sure groups alone were asked for: a merge
    // right after reads it from here instead of the store. "" when not kept.
    std::string held{};
    // The name as the card's own N says it, where it says more than the phone's lines hold (a
    // middle name, a title, a suffix): "Dr. John A. Smith". "" otherwise.
    std::string fullName{};
};

// Same: the names are the same once normalised (and the entries share a number or a mail, or one
// of them has none), the cards are the same but for their memory-dial numbers, or entries that
// share a number or a mail have one name written two ways (old and new kanji, kana for kanji,
// the other order, a nickname, Latin letters for the reading). Possible: the entries only
// share a number or a mail (a family shares its home number). Namesakes: the same name, and
// every number and mail different: two people as likely as one.
enum class DuplicateKind { Same, Possible, Namesakes };

struct DuplicateGroup {
    DuplicateKind kind = DuplicateKind::Same;
    bool sure() const { return kind == DuplicateKind::Same; }
    // Why the entries are together, in words the dialog shows: the number or mail they share
    // ("同じ電話番号 090-1111-2222"), or "同じ名前で、食い違う番号やメールなし".
    std::string reason;
    // Why the entries asked about are shown with them: "同じ名前で、番号もメールも別", or the
    // number they share with the others. "" when none is asked about.
    std::string askedReason;
    // In ascending id, those asked about after the others; the first is the one kept. Each
    // entry is in one group only.
    std::vector<DuplicateEntry> entries;
    // The entry whose name (and reading) the merged entry takes; none for the first that has
    // one.
    std::optional<std::int64_t> nameFrom;
    // What the merged entry would hold.
    size_t mergedNumbers = 0;
    size_t mergedMails = 0;
    // Of a sure group told by its keys alone: its entries are one card stored again and again,
    // of lines a merge leaves as they are (the same print), so that it is merged unread.
    bool twins = false;
    // More than the input form's three numbers or three mails.
    bool beyondTheForm() const { return mergedNumbers > 3 || mergedMails > 3; }
};

// The entry of a group whose name a merge keeps unless the user picks another: family and given
// apart over a whole name, kanji over kana, normal width (the first of equals); never one asked
// about.
size_t bestNamedEntry(const DuplicateGroup& group);

// The groups among all entries: sure groups first, in the order of their first entries, then
// the possible ones.
// With `sureOnly`, only the sure groups: what is merged without asking, for a merge of them right
// after (the store unchanged in between). Of their entries only the id and whether it is the
// phone's own are sure to be told: a group that its keys alone make one person is not read, and
// the others' entries are kept as read.
std::vector<DuplicateGroup> findDuplicates(const Store& store, bool sureOnly = false);

struct MergeResult {
    long entriesBefore = 0;  // entries of the merged groups
    long entriesAfter = 0;   // entries they became
    // Where one value had to win (the birthday), what did not: "山田太郎: 誕生日 1981-05-01".
    std::vector<std::string> notKept;
};

// Merges each group into its first entry (lowest id): the best name and reading of the group
// (family and given apart over a whole name, kanji over kana, normal width; the same whatever
// the order of the entries), unless the group names one; entries asked about are left out; the
// others' numbers and mails that it
// lacks (numbers compared by their digits, extension and fax, mails without regard to case),
// notes and what they hold beyond the phone's lines; the lowest memory-dial number. The others
// are deleted. All groups in one transaction: a failure leaves the store as it was and throws
// TsunagiError saying why.
MergeResult mergeDuplicates(const Store& store, const std::vector<DuplicateGroup>& groups);

// The closing words of a merge, naming at most `shown` of the values not kept (the rest
// counted).
std::string describeMerge(const MergeResult& result, size_t shown = SIZE_MAX);

}  // namespace tsunagi
