#include "import/import.h"

#include "platform/batch_pipe.h"
#include "platform/text.h"

namespace tsunagi {

CardWriter::CardWriter(const Store& store, const std::string& file, const ImportProgress& progress)
    : connection_(store.open()),
      transaction_(connection_),
      inserter_(connection_),
      reporter_(progress, file) {}

void CardWriter::add(std::span<const std::string> columns) {
    inserter_.insert(columns);
    reporter_.card();
}

long CardWriter::commit() {
    transaction_.commit();
    return reporter_.cards();
}

std::string ImportReport::note() const {
    if (normalised == 0) return "";
    static const std::pair<const char*, const char*> kWords[] = {
        {"ADR", "住所"},           {"NOTE", "メモ"},
        {"PHOTO", "写真"},         {"URL", "URL"},
        {"BDAY", "誕生日"},        {"ORG", "会社名"},
        {"TITLE", "役職"},         {"NICKNAME", "ニックネーム"},
        {"CATEGORIES", "分類"},    {"LABEL", "宛名ラベル"},
        {"IMPP", "メッセンジャー"}};
    std::string text = "他のプログラムが書いた vCard " + std::to_string(normalised) +
                       " 件を、電話機の形式に直して読み込みました。";
    if (notEntries > 0)
        text += "\nグループや、名前・電話番号・メールアドレスのどれもないデータ " +
                std::to_string(notEntries) + " 件は読み込んでいません。";
    if (!damaged.empty())
        text += "\nどの文字コードでも読めないバイトを「\uFFFD」に置き換えて読み込みました：" +
                namedEntries(damaged) + "。";
    if (!leftOut.empty()) {
        text += "\n電話機の形式にないため、次の項目は読み込んでいません：";
        bool first = true;
        for (const std::string& name : leftOut) {
            text += first ? "" : "、";
            first = false;
            text += name;
            for (const auto& [property, word] : kWords)
                if (name == property) text += std::string("（") + word + "）";
        }
    }
    return text;
}

namespace {

// Cards read ahead of the store, their column values one after another. The strings are kept
// from batch to batch.
struct CardBatch {
    std::vector<std::string> columns;
    std::vector<size_t> ends;  // one past each card's last column
    std::vector<long> lines;   // the line each card begins on
    size_t cards = 0;
};

constexpr size_t kBatchCards = 256;
constexpr size_t kBatchBytes = size_t(1) << 20;

// Reads cards into batches until the file ends or the store side stops.
void readBatches(const NextCard& next, BatchPipe<CardBatch>& pipe) {
    bool more = true;
    while (more) {
        CardBatch* batch = pipe.fill();
        if (!batch) return;
        batch->cards = 0;
        size_t used = 0, bytes = 0;
        while (batch->cards < kBatchCards && bytes < kBatchBytes) {
            std::optional<ReadCard> card = next();
            if (!(more = card.has_value())) break;
            for (const std::string& column : card->columns) {
                if (used == batch->columns.size()) batch->columns.emplace_back();
                batch->columns[used++].assign(column);
                bytes += column.size();
            }
            if (batch->cards == batch->ends.size()) {
                batch->ends.emplace_back();
                batch->lines.emplace_back();
            }
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
            readBatches(next, batches);
        } catch (const TsunagiError& error) {
            rethrowAt(error, lines.name(), lines.lineNumber());
        }
    });
    long cardLine = 0;
    try {
        while (const CardBatch* batch = pipe.next()) {
            size_t start = 0;
            for (size_t c = 0; c < batch->cards; ++c) {
                cardLine = batch->lines[c];
                size_t end = batch->ends[c];
                writer.add(std::span(batch->columns).subspan(start, end - start));
                start = end;
            }
        }
    } catch (const TsunagiError& error) {
        // An error of the reader comes with its line already; one of the store gets the line
        // of the card it was storing.
        rethrowAt(error, lines.name(), cardLine);
    }
}

void rethrowAt(const TsunagiError& error, const std::string& file, long line) {
    if (dynamic_cast<const ImportCancelled*>(&error)) throw ImportCancelled(file);
    throw error.inFile(file, line);
}

}  // namespace tsunagi
