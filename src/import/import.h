#pragma once

// What every importer shares: progress reports, and the message that a user stopped it.

#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "card/entry_keys.h"
#include "platform/error.h"
#include "platform/line_reader.h"
#include "store/entries.h"
#include "store/store.h"

namespace tsunagi {

// Called now and then with the file and the number of cards read so far; returning false
// stops the import, and nothing of that file stays in the store.
using ImportProgress = std::function<bool(const std::string& file, long cards)>;

class ImportCancelled : public TsunagiError {
  public:
    explicit ImportCancelled(const std::string& file)
        : TsunagiError(file, 0, "読み込みを中止しました。") {}
};

// What an import has to tell beyond its count: cards of other programs that were turned into
// the phone's dialect, and the kinds of their lines that the phone's card has no place for.
struct ImportReport {
    long normalised = 0;
    // Properties the phone's lines have no place for, kept with their entries for the formats
    // that hold them: "ADR", "PHOTO", …
    std::set<std::string> leftOut;
    std::set<std::string> tooLong;  // properties left out for a line longer than the program holds
    std::vector<std::string> damaged;  // names of cards whose unreadable bytes were replaced
    long notEntries = 0;               // groups and cards with no name, number or mail, left out
    std::vector<std::string> groups;   // those that were groups: "家族（3 人）"
    std::vector<std::string> keptColumns;  // CSV headings whose values the phone cannot hold

    // The closing words for the user; "" when there is nothing to say.
    std::string note() const;
};

// Reports every so many cards, and throws ImportCancelled when the user stops.
class ProgressReporter {
  public:
    // The first report goes at once: it starts the clock of the progress dialog.
    ProgressReporter(const ImportProgress& progress, std::string file)
        : progress_(progress), file_(std::move(file)) {
        if (progress_ && !progress_(file_, 0)) throw ImportCancelled(file_);
    }

    void card() {
        ++cards_;
        if (progress_ && cards_ % 256 == 0 && !progress_(file_, cards_))
            throw ImportCancelled(file_);
    }
    long cards() const { return cards_; }

  private:
    const ImportProgress& progress_;
    std::string file_;
    long cards_ = 0;
};

// Where an import puts its cards: one connection, one transaction and one insert statement
// for the whole file, so that the file is kept whole or not at all.
class CardWriter {
  public:
    CardWriter(const Store& store, const std::string& file, const ImportProgress& progress);
    ~CardWriter();
    CardWriter(const CardWriter&) = delete;
    CardWriter& operator=(const CardWriter&) = delete;

    // The model's line template, for importers that build cards from fields.
    std::vector<std::string> lineTemplate() { return readLineTemplate(connection_); }
    // `joinedExtras`: what the card holds beyond the phone's lines, joined (joinExtras); `keys`:
    // what it is found by (made here when not given).
    void add(std::span<const std::string> columns, std::string_view joinedExtras = {});
    void add(std::span<const std::string> columns, std::string_view joinedExtras,
             std::span<const std::int64_t> keys);
    // Whether the keys are made here; else they are left until they are first asked for.
    bool makesKeys() const { return makesKeys_; }
    // Whether the keys go to keys the store holds in memory, with the cards' prints.
    bool holdsKeys() const { return held_ != nullptr && makesKeys_; }
    // The same for several cards at once, in their order.
    void addAll(std::span<const NewEntry> entries);
    // What a card is found by, as add makes it; valid until the next call.
    const std::vector<std::int64_t>& keysOf(std::span<const std::string> columns) {
        return keys_.keysOf(columns);
    }
    // Keeps everything added, with the file they came from; returns the number of cards.
    long commit();
    // Whether the file is the phone's own backup (every card of it in the phone's dialect).
    void setPhoneOwn(bool own) { file_.phoneOwn = own; }

  private:
    void hold(std::int64_t id, std::span<const std::int64_t> keys, CardPrint print);

    Connection connection_;
    Transaction transaction_;
    EntryInserter inserter_;
    EntryKeyMaker keys_;
    bool makesKeys_;
    // Where the store holds its keys in memory, this file's are added to them as they come,
    // after the first `heldFrom_` (keys, entries), and taken away again unless committed.
    HeldKeys* held_;
    std::pair<size_t, size_t> heldFrom_;
    // Whether the store's handle had changed nothing since the held keys were last whole.
    bool heldUntouched_ = false;
    bool committed_ = false;
    std::vector<NewEntry> unkeyed_;
    ProgressReporter reporter_;
    EntryFile file_;
};

// One card of a file, as a reader hands it out: its column values, valid until the reader is
// asked for the next, and the line it begins on.
struct ReadCard {
    std::span<const std::string> columns;
    long line = 0;
    std::span<const std::string> extras = {};  // what the card holds beyond the phone's lines
};
// Gives the next card of a file, or nothing at its end; throws TsunagiError on what it cannot
// read.
using NextCard = std::function<std::optional<ReadCard>()>;

// Reads the file's cards with `next` on a thread of its own while `writer` stores them on this
// one, so that the progress reports and their cancel stay on the caller's thread. An error of
// the reader names the file and its line; one of the store, the line of the card it was
// storing. Either way the writer is left uncommitted.
void storeReadAhead(CardWriter& writer, const LineReader& lines, const NextCard& next);

// The error again, now naming the file and the line (or sheet row) the import had reached.
[[noreturn]] void rethrowAt(const TsunagiError& error, const std::string& file, long line);

}  // namespace tsunagi
