#include "import/vcf_import.h"

#include <cctype>

#include "card/dialect.h"
#include "import/foreign_card.h"
#include "platform/codec.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

// A card's bytes are bounded: a rich contact with a photo fits many times over.
constexpr size_t kMaxCardBytes = size_t(16) << 20;

// BEGIN:VCARD and END:VCARD as the phone writes them (anywhere in the line), or in any case as
// other programs may write them.
bool isBegin(std::string_view line) {
    return contains(line, kBeginLine) ||
           (startsWithIgnoringCase(line, "BEGIN:VCARD") && trimBlanks(line.substr(11)).empty());
}

bool isEnd(std::string_view line) {
    return contains(line, kEndLine) ||
           (startsWithIgnoringCase(line, "END:VCARD") && trimBlanks(line.substr(9)).empty());
}

bool isShiftJis(std::string_view charset) {
    for (std::string_view name :
         {"SHIFT_JIS", "SHIFT-JIS", "SJIS", "CP932", "WINDOWS-31J", "MS_KANJI", "X-SJIS"})
        if (equalsIgnoringCase(charset, name)) return true;
    return false;
}

}  // namespace

VcfCardReader::VcfCardReader(LineReader& lines, std::vector<std::string> lineTemplate)
    : lines_(lines),
      lineTemplate_(std::move(lineTemplate)),
      foreign_([this](std::string_view bytes, std::string_view charset, long lineNumber,
                      std::string& scratch) {
          return decodeValue(bytes, charset, lineNumber, scratch);
      }) {}

void VcfCardReader::unclosedCard() const {
    // Written back, a card without its end line would break the phone's whole file.
    throw TsunagiError(lines_.name(), beginLine_,
                       "この行で始まるデータが END:VCARD で終わっていません。"
                       "ファイルが途中で切れている可能性があります。");
}

void VcfCardReader::tooManyLines(long lineNumber) const {
    throw TsunagiError(lines_.name(), lineNumber,
                       "1 件のデータが " + std::to_string(kCardColumns) +
                           " 行を超えています。保存できるのは " + std::to_string(kCardColumns) +
                           " 行までです。");
}

size_t VcfCardReader::openColumn(const std::string& line, long lineNumber) {
    if (used_ >= static_cast<size_t>(kCardColumns)) tooManyLines(lineNumber);
    if (used_ == columns_.size()) columns_.emplace_back();
    columns_[used_].assign(line);
    return used_++;
}

bool VcfCardReader::next() {
    bool inCard = false;
    for (;;) {
        // Outside a card every line is read into the first place, where a BEGIN line stays.
        size_t slot = inCard ? cardLineCount_ : 0;
        if (slot == cardLines_.size()) cardLines_.emplace_back();
        CardLine& line = cardLines_[slot];
        if (!lines_.nextBytes(line.bytes)) {
            if (inCard) unclosedCard();
            return false;
        }
        line.number = lines_.lineNumber();
        line.bytesAreText = lines_.bytesAreText();
        if (line.bytesAreText) {
            line.decoded = true;
        } else {
            line.decodedText.clear();
            line.decoded = lines_.decode(line.bytes, line.decodedText);
        }
        std::string_view view = line.decoded ? std::string_view(line.text()) : line.bytes;

        if (isBegin(view)) {
            if (inCard) unclosedCard();
            inCard = true;
            beginLine_ = line.number;
            cardLineCount_ = 0;
            cardBytes_ = 0;
        }
        // Outside a card (before the first, or between an end and the next begin) lines are
        // ignored.
        if (!inCard) continue;
        cardBytes_ += line.bytes.size();
        if (cardBytes_ > kMaxCardBytes)
            throw TsunagiError(lines_.name(), beginLine_,
                               "この行で始まるデータが大きすぎます（16 MiB まで）。");
        ++cardLineCount_;
        if (isEnd(view)) break;
    }
    ++position_;
    used_ = 0;
    if (isPhoneCard()) {
        readPhoneCard();
    } else {
        readForeignCard();
        ++normalised_;
    }
    return true;
}

// The phone's own dialect, as the Japanese feature phones write it: VERSION:2.1 (or no
// version at all, as cards built from fields have been written) and the phone's name line or
// one of its X-JPG- lines.
bool VcfCardReader::isPhoneCard() const {
    bool phoneLine = false;
    for (size_t i = 0; i < cardLineCount_; ++i) {
        // The bytes, not the text: what is looked for is ASCII at the start of a line, and a
        // line that the file's character set cannot decode must still count.
        std::string_view text = cardLines_[i].bytes;
        if (startsWithIgnoringCase(text, "VERSION:") && trimBlanks(text.substr(8)) != "2.1")
            return false;
        if (text.substr(0, kNameItem.size()) == kNameItem || text.substr(0, 6) == "X-JPG-")
            phoneLine = true;
    }
    return phoneLine;
}

void VcfCardReader::readPhoneCard() {
    long numberColumn = -1, mailColumn = -1, lastColumn = -1;
    for (size_t i = 0; i < cardLineCount_; ++i) {
        const CardLine& card = cardLines_[i];
        if (!card.decoded)
            throw TsunagiError(lines_.name(), card.number,
                               lines_.encoding() == TextEncoding::Utf8
                                   ? "UTF-8 として読めないバイトがあります。"
                                   : "CP932（Shift_JIS）として読めないバイトがあります。");
        const std::string& line = card.text();
        LineKind kind = i == 0                    ? LineKind::Begin
                        : i + 1 == cardLineCount_ ? LineKind::End
                                                  : classifyLine(line);
        switch (kind) {
            case LineKind::Number:
                if (numberColumn < 0)
                    numberColumn = static_cast<long>(openColumn(line, card.number));
                else
                    columns_[numberColumn].append(kJoin).append(line);
                lastColumn = numberColumn;
                break;
            case LineKind::Mail:
                if (mailColumn < 0)
                    mailColumn = static_cast<long>(openColumn(line, card.number));
                else
                    columns_[mailColumn].append(kJoin).append(line);
                lastColumn = mailColumn;
                break;
            case LineKind::Begin:
            case LineKind::End:
            case LineKind::Property:
                lastColumn = static_cast<long>(openColumn(line, card.number));
                break;
            case LineKind::Continuation:
                if (lastColumn >= 0) columns_[lastColumn].append("\r\n").append(line);
                break;
        }
    }
}

std::string_view VcfCardReader::decodeValue(std::string_view bytes, std::string_view charset,
                                            long lineNumber, std::string& scratch) {
    std::string_view text = bytes;
    bool ok;
    if (charset.empty() && lines_.bytesAreText()) {
        ok = true;
    } else if (charset.empty()) {
        scratch.clear();
        ok = lines_.decode(bytes, scratch);
        text = scratch;
    } else if (isShiftJis(charset)) {
        scratch.clear();
        ok = Cp932Decoder().decode(bytes, scratch);
        text = scratch;
    } else if (startsWithIgnoringCase(charset, "UTF-8") ||
               startsWithIgnoringCase(charset, "UTF8")) {
        ok = isValidUtf8(bytes);
    } else {
        scratch.clear();
        ok = convertToUtf8(bytes, std::string(charset).c_str(), scratch);
        text = scratch;
    }
    if (!ok)
        throw TsunagiError(lines_.name(), lineNumber,
                           (charset.empty() ? std::string(lines_.encoding() == TextEncoding::Utf8
                                                              ? "UTF-8"
                                                              : "CP932（Shift_JIS）")
                                            : std::string(charset)) +
                               " として読めない値があります。");
    return text;
}

void VcfCardReader::readForeignCard() {
    // Logical lines: folded lines (a leading blank or tab) and quoted-printable soft breaks
    // (a value ending in "=") join the line before; so do the bare lines of a base64 value.
    std::vector<VcardLine>& logical = logical_;
    size_t count = 0;
    // The logical line so far: one line of the file as it stands, or several joined in scratch_.
    std::string_view current;
    bool joined = false;
    long currentNumber = 0;
    bool currentDecoded = true;  // every part of the line is text in the file's character set
    auto join = [&](std::string_view more) {
        if (!joined) {
            scratch_.assign(current);
            joined = true;
        }
        scratch_.append(more);
        current = scratch_;
    };
    auto finish = [&] {
        if (current.empty()) return;
        if (count == logical.size()) logical.emplace_back();
        VcardLine& parsed = logical[count];
        bool content = parseVcardLine(current, parsed);
        // Bytes the file's character set cannot read are only welcome in a value that names
        // its own.
        if (!currentDecoded && (!content || !parsed.parameter("CHARSET")))
            decodeValue(current, "", currentNumber, scratchText_);
        if (content) {
            parsed.lineNumber = currentNumber;
            ++count;
        }
        current = {};
        joined = false;
        currentDecoded = true;
    };
    for (size_t i = 1; i + 1 < cardLineCount_; ++i) {
        const std::string& bytes = cardLines_[i].bytes;
        if (bytes.empty()) continue;
        bool folded = bytes[0] == ' ' || bytes[0] == '\t';
        bool softBreak = false;
        if (!current.empty() && current.back() == '=') {
            VcardLine head;
            softBreak = parseVcardLine(current, head) && head.quotedPrintable();
        }
        if (!current.empty() && (folded || softBreak)) {
            if (softBreak && !folded) {  // the "=" of the soft break goes
                join("");
                scratch_.pop_back();
            }
            join(std::string_view(bytes).substr(folded ? 1 : 0));
            currentDecoded = currentDecoded && cardLines_[i].decoded;
            continue;
        }
        if (!current.empty() && bytes.find(':') == std::string::npos) {
            join(bytes);  // base64 or other bare continuation
            currentDecoded = currentDecoded && cardLines_[i].decoded;
            continue;
        }
        finish();
        current = bytes;
        currentNumber = cardLines_[i].number;
        currentDecoded = cardLines_[i].decoded;
    }
    finish();

    foreign_.read(std::span<const VcardLine>(logical.data(), count), position_, leftOut_, fields_);
    size_t built = buildCardColumns(lineTemplate_, fields_, columns_);
    if (built > static_cast<size_t>(kCardColumns)) tooManyLines(beginLine_);
    used_ = built;
}

long importVcfFile(const Store& store, const std::string& path, const ImportProgress& progress,
                   ImportReport* report) {
    LineReader lines(path);
    return importVcfLines(store, lines, progress, report);
}

long importVcfLines(const Store& store, LineReader& lines, const ImportProgress& progress,
                    ImportReport* report) {
    CardWriter writer(store, lines.name(), progress);
    VcfCardReader cards(lines, writer.lineTemplate());
    storeReadAhead(writer, lines, [&]() -> std::optional<ReadCard> {
        if (!cards.next()) return std::nullopt;
        return ReadCard{cards.card(), cards.cardLine()};
    });
    long count = writer.commit();
    if (report) {
        report->normalised += cards.normalised();
        report->leftOut.insert(cards.leftOut().begin(), cards.leftOut().end());
    }
    return count;
}

}  // namespace tsunagi
