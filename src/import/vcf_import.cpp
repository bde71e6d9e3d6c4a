#include "import/vcf_import.h"

#include "card/dialect.h"
#include "platform/text.h"

namespace tsunagi {

void VcfCardReader::startCard() {
    used_ = 0;
    beginLine_ = lines_.lineNumber();
    numberColumn_ = mailColumn_ = lastColumn_ = -1;
    inCard_ = true;
}

size_t VcfCardReader::openColumn(const std::string& line) {
    if (used_ >= static_cast<size_t>(kCardColumns))
        throw TsunagiError(lines_.name(), lines_.lineNumber(),
                           "1 件のデータが " + std::to_string(kCardColumns) +
                               " 行を超えています。保存できるのは " + std::to_string(kCardColumns) +
                               " 行までです。");
    if (used_ == columns_.size()) columns_.emplace_back();
    columns_[used_].assign(line);
    return used_++;
}

bool VcfCardReader::next() {
    std::string& line = line_;
    for (;;) {
        if (!lines_.next(line)) {
            if (inCard_) unclosedCard();
            return false;
        }

        LineKind kind = classifyLine(line);
        if (kind == LineKind::Begin) {
            if (inCard_) unclosedCard();
            startCard();
        }
        // Outside a card (before the first, or between an end and the next begin) lines are
        // ignored.
        if (!inCard_) continue;

        switch (kind) {
            case LineKind::Number:
                if (numberColumn_ < 0)
                    numberColumn_ = static_cast<long>(openColumn(line));
                else
                    columns_[numberColumn_].append(kJoin).append(line);
                lastColumn_ = numberColumn_;
                break;
            case LineKind::Mail:
                if (mailColumn_ < 0)
                    mailColumn_ = static_cast<long>(openColumn(line));
                else
                    columns_[mailColumn_].append(kJoin).append(line);
                lastColumn_ = mailColumn_;
                break;
            case LineKind::Begin:
            case LineKind::End:
            case LineKind::Property:
                lastColumn_ = static_cast<long>(openColumn(line));
                break;
            case LineKind::Continuation:
                if (lastColumn_ >= 0) columns_[lastColumn_].append("\r\n").append(line);
                break;
        }

        if (kind == LineKind::End) {
            inCard_ = false;
            return true;
        }
    }
}

void VcfCardReader::unclosedCard() const {
    // Written back, a card without its end line would break the phone's whole file.
    throw TsunagiError(lines_.name(), beginLine_,
                       "この行で始まるデータが END:VCARD で終わっていません。"
                       "ファイルが途中で切れている可能性があります。");
}

long importVcfFile(const Store& store, const std::string& path, const ImportProgress& progress) {
    LineReader lines(path);
    return importVcfLines(store, lines, progress);
}

long importVcfLines(const Store& store, LineReader& lines, const ImportProgress& progress) {
    CardWriter writer(store, lines.name(), progress);
    VcfCardReader cards(lines);
    try {
        while (cards.next()) writer.add(cards.card());
    } catch (const TsunagiError& error) {
        rethrowAt(error, lines.name(), lines.lineNumber());
    }
    return writer.commit();
}

}  // namespace tsunagi
