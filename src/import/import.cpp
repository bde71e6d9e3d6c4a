#include "import/import.h"

#include <algorithm>

#include "card/properties.h"
#include "platform/batch_pipe.h"
#include "platform/text.h"

namespace tsunagi {

CardWriter::CardWriter(const Store& store, const std::string& file, const ImportProgress& progress)
    : connection_(store.open()),
      transaction_(connection_),
      inserter_(connection_),
      makesKeys_(store.keysAtImport()),
      held_(store.heldKeys() && store.heldKeys()->whole ? store.heldKeys() : nullptr),
      reporter_(progress, file) {
    if (held_) {
        heldFrom_ = {held_->keys.size(), held_->kinds.size()};
        heldUntouched_ = held_->changedRows == connection_.changedRows();
    }
    forgetKeysUnlessMadeBy(connection_, kEntryKeysVersion);
}

void CardWriter::add(std::span<const std::string> columns, std::string_view joinedExtras) {
    if (makesKeys_)
        add(columns, joinedExtras, keys_.keysOf(columns));
    else
        add(columns, joinedExtras, {});
}

void CardWriter::add(std::span<const std::string> columns, std::string_view joinedExtras,
                     std::span<const std::int64_t> keys) {
    std::int64_t id = inserter_.insertJoined(columns, joinedExtras,
                                             held_ ? std::span<const std::int64_t>() : keys);
    if (held_) hold(id, keys, cardPrint(columns, joinedExtras));
    if (file_.firstId == 0) file_.firstId = id;
    file_.lastId = id;
    reporter_.card();
}

void CardWriter::addAll(std::span<const NewEntry> entries) {
    if (entries.empty()) return;
    std::int64_t first;
    if (held_) {
        unkeyed_.assign(entries.begin(), entries.end());
        for (NewEntry& entry : unkeyed_) entry.keys = {};
        first = inserter_.insertAll(unkeyed_);
        for (size_t e = 0; e < entries.size(); ++e)
            hold(first + static_cast<std::int64_t>(e), entries[e].keys, entries[e].print);
    } else {
        first = inserter_.insertAll(entries);
    }
    if (file_.firstId == 0) file_.firstId = first;
    file_.lastId = first + static_cast<std::int64_t>(entries.size()) - 1;
    for (size_t e = 0; e < entries.size(); ++e) reporter_.card();
}

CardWriter::~CardWriter() {
    // What an import left uncommitted is not in the store: nor are its keys.
    if (held_ && !committed_) {
        held_->keys.resize(std::min(held_->keys.size(), heldFrom_.first));
        held_->kinds.resize(std::min(held_->kinds.size(), heldFrom_.second));
    }
}

void CardWriter::hold(std::int64_t id, std::span<const std::int64_t> keys, CardPrint print) {
    held_->sorted = false;
    unsigned kinds = 0;
    for (std::int64_t key : keys) {
        held_->keys.push_back({key, id});
        kinds |= 1u << static_cast<int>(kindOf(key));
    }
    held_->kinds.push_back({id, print, kinds});
}

long CardWriter::commit() {
    if (file_.firstId != 0) recordEntryFile(connection_, file_);
    transaction_.commit();
    committed_ = true;
    if (held_) held_->changedRows = heldUntouched_ ? connection_.changedRows() : -1;
    return reporter_.cards();
}

std::string ImportReport::note() const {
    std::vector<std::string> lines;
    if (normalised > 0)
        lines.push_back("他のプログラムが書いた vCard " + std::to_string(normalised) +
                        " 件を、電話機の形式に直して読み込みました。");
    if (!groups.empty())
        lines.push_back("グループのカードは、人のカードではないため読み込んでいません：" +
                        namedEntries(groups) + "。");
    if (long others = notEntries - static_cast<long>(groups.size()); others > 0)
        lines.push_back("名前・電話番号・メールアドレスのどれもないデータ " +
                        std::to_string(others) + " 件は読み込んでいません。");
    if (!damaged.empty())
        lines.push_back("どの文字コードでも読めないバイトを「\uFFFD」に置き換えて読み込みました：" +
                        namedEntries(damaged) + "。");
    auto wordsFor = [&](const std::set<std::string>& names) {
        std::vector<std::string> words;
        for (const std::string& name : names) {
            if (carriesNothingOfThePerson(name)) continue;
            std::string word = spokenProperty(name);
            if (std::find(words.begin(), words.end(), word) == words.end()) words.push_back(word);
        }
        return words;
    };
    if (std::vector<std::string> words = wordsFor(leftOut); !words.empty())
        lines.push_back(
            "電話機の形式にない次の項目は、vCard 3.0 と Google 連絡先 CSV に書き出せる"
            "よう取っておきました：" +
            namedEntries(words, words.size()));
    if (std::vector<std::string> words = wordsFor(tooLong); !words.empty())
        lines.push_back("次の項目は 1 行が長すぎるため読み込んでいません：" +
                        namedEntries(words, words.size()));
    if (!keptColumns.empty())
        lines.push_back(
            "電話機の形式にない次の列は、vCard 3.0 と Google 連絡先 CSV に書き出せるよう"
            "取っておきました：" +
            namedEntries(keptColumns, keptColumns.size()));
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

namespace {

// Cards read ahead of the store, their column values one after another. The strings are kept
// from batch to batch.
struct CardBatch {
    std::vector<std::string> columns;
    std::vector<size_t> ends;         // one past each card's last column
    std::vector<long> lines;          // the line each card begins on
    std::vector<std::string> extras;  // what each card holds beyond the phone's lines, joined
    std::vector<std::int64_t> keys;   // what the cards are found by, one after another
    std::vector<size_t> keyEnds;      // one past each card's last key
    std::vector<CardPrint> prints;    // of each card, where the keys are made and prints wanted
    bool keyed = false;               // whether the keys are made (else the store makes them)
    size_t cards = 0;
};

constexpr size_t kBatchCards = 256;
constexpr size_t kBatchBytes = size_t(1) << 20;

// Reads cards into batches until the file ends or the store side stops.
void readBatches(const NextCard& next, BatchPipe<CardBatch>& pipe, bool makeKeys, bool makePrints) {
    EntryKeyMaker maker;
    bool more = true;
    while (more) {
        CardBatch* batch = pipe.fill();
        if (!batch) return;
        batch->cards = 0;
        batch->keys.clear();
        // The keys are made on whichever side has time for them: here while the store has
        // batches still to begin, else by the store.
        // Without keys to make, a batch counts as keyed, with none.
        batch->keyed = !makeKeys || pipe.waiting() > 0;
        size_t used = 0, bytes = 0;
        while (batch->cards < kBatchCards && bytes < kBatchBytes) {
            std::optional<ReadCard> card;
            try {
                card = next();
            } catch (...) {
                // The cards read before the fault reach the store first, so that a caller may
                // still keep them.
                if (batch->cards > 0) pipe.filled();
                throw;
            }
            if (!(more = card.has_value())) break;
            for (const std::string& column : card->columns) {
                if (used == batch->columns.size()) batch->columns.emplace_back();
                batch->columns[used++].assign(column);
                bytes += column.size();
            }
            if (batch->cards == batch->ends.size()) {
                batch->ends.emplace_back();
                batch->lines.emplace_back();
                batch->extras.emplace_back();
                batch->keyEnds.emplace_back();
                batch->prints.emplace_back();
            }
            // Joined here, on the reading thread, so that the store's thread only stores.
            joinExtras(card->extras, batch->extras[batch->cards]);
            bytes += batch->extras[batch->cards].size();
            if (batch->keyed && makeKeys) {
                const std::vector<std::int64_t>& keys = maker.keysOf(card->columns);
                batch->keys.insert(batch->keys.end(), keys.begin(), keys.end());
                batch->prints[batch->cards] =
                    makePrints ? cardPrint(card->columns, batch->extras[batch->cards])
                               : CardPrint();
            }
            batch->keyEnds[batch->cards] = batch->keys.size();
            batch->ends[batch->cards] = used;
            batch->lines[batch->cards] = card->line;
            ++batch->cards;
        }
        if (batch->cards > 0) pipe.filled();
    }
}

}  // namespace

void storeReadAhead(CardWriter& writer, const LineReader& lines, const NextCard& next) {
    BatchPipe<CardBatch> pipe;
    pipe.start([&](BatchPipe<CardBatch>& batches) {
        try {
            readBatches(next, batches, writer.makesKeys(), writer.holdsKeys());
        } catch (const TsunagiError& error) {
            rethrowAt(error, lines.name(), lines.lineNumber());
        }
    });
    long cardLine = 0;
    std::vector<NewEntry> entries;
    std::vector<std::int64_t> keys;
    std::vector<size_t> keyEnds;
    std::vector<CardPrint> prints;
    try {
        while (const CardBatch* batch = pipe.next()) {
            if (!batch->keyed) {
                keys.clear();
                keyEnds.clear();
                prints.clear();
                for (size_t c = 0, start = 0; c < batch->cards; start = batch->ends[c++]) {
                    auto columns = std::span(batch->columns).subspan(start, batch->ends[c] - start);
                    const std::vector<std::int64_t>& made = writer.keysOf(columns);
                    keys.insert(keys.end(), made.begin(), made.end());
                    keyEnds.push_back(keys.size());
                    prints.push_back(writer.holdsKeys() ? cardPrint(columns, batch->extras[c])
                                                        : CardPrint());
                }
            }
            std::span<const std::int64_t> allKeys = batch->keyed ? batch->keys : keys;
            std::span<const size_t> allKeyEnds = batch->keyed ? batch->keyEnds : keyEnds;
            entries.clear();
            size_t start = 0, keyStart = 0;
            for (size_t c = 0; c < batch->cards; ++c) {
                cardLine = batch->lines[c];
                size_t end = batch->ends[c], keyEnd = allKeyEnds[c];
                checkCardColumns(end - start);
                entries.push_back({std::span(batch->columns).subspan(start, end - start),
                                   batch->extras[c], allKeys.subspan(keyStart, keyEnd - keyStart),
                                   batch->keyed ? batch->prints[c] : prints[c]});
                start = end;
                keyStart = keyEnd;
            }
            cardLine = batch->lines[0];
            writer.addAll(entries);
        }
    } catch (const TsunagiError& error) {
        // An error of the reader comes with its line already; one of the store gets the line
        // of the card it was storing (of the batch's first, for a fault of the store itself).
        rethrowAt(error, lines.name(), cardLine);
    }
}

void rethrowAt(const TsunagiError& error, const std::string& file, long line) {
    if (dynamic_cast<const ImportCancelled*>(&error)) throw ImportCancelled(file);
    throw error.inFile(file, line);
}

}  // namespace tsunagi
