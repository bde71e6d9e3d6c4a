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

bool isShiftJis(const std::string& charset) {
    std::string name = upperAscii(charset);
    return name == "SHIFT_JIS" || name == "SHIFT-JIS" || name == "SJIS" || name == "CP932" ||
           name == "WINDOWS-31J" || name == "MS_KANJI" || name == "X-SJIS";
}

}  // namespace

void VcfCardReader::unclosedCard() const {
    // Written back, a card without its end line would break the phone's whole file.
    throw TsunagiError(lines_.name(), beginLine_,
                       "この行で始まるデータが END:VCARD で終わっていません。"
                       "ファイルが途中で切れている可能性があります。");
}

size_t VcfCardReader::openColumn(const std::string& line, long lineNumber) {
    if (used_ >= static_cast<size_t>(kCardColumns))
        throw TsunagiError(lines_.name(), lineNumber,
                           "1 件のデータが " + std::to_string(kCardColumns) +
                               " 行を超えています。保存できるのは " + std::to_string(kCardColumns) +
                               " 行までです。");
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
        line.text.clear();
        line.decoded = lines_.decode(line.bytes, line.text);
        std::string_view view = line.decoded ? std::string_view(line.text) : line.bytes;

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
        const std::string& line = card.text;
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

std::string VcfCardReader::decodeValue(std::string_view bytes, const std::string& charset,
                                       long lineNumber) {
    std::string out;
    bool ok;
    if (charset.empty()) {
        ok = lines_.decode(bytes, out);
    } else if (isShiftJis(charset)) {
        ok = Cp932Decoder().decode(bytes, out);
    } else if (startsWithIgnoringCase(charset, "UTF-8") ||
               startsWithIgnoringCase(charset, "UTF8")) {
        ok = isValidUtf8(bytes);
        if (ok) out.assign(bytes);
    } else {
        ok = convertToUtf8(bytes, charset.c_str(), out);
    }
    if (!ok)
        throw TsunagiError(lines_.name(), lineNumber,
                           (charset.empty() ? std::string(lines_.encoding() == TextEncoding::Utf8
                                                              ? "UTF-8"
                                                              : "CP932（Shift_JIS）")
                                            : charset) +
                               " として読めない値があります。");
    return out;
}

void VcfCardReader::readForeignCard() {
    // Logical lines: folded lines (a leading blank or tab) and quoted-printable soft breaks
    // (a value ending in "=") join the line before; so do the bare lines of a base64 value.
    std::vector<VcardLine>& logical = logical_;
    size_t count = 0;
    std::string& current = scratch_;
    current.clear();
    long currentNumber = 0;
    bool currentDecoded = true;  // every part of the line is text in the file's character set
    auto finish = [&] {
        if (current.empty()) return;
        if (count == logical.size()) logical.emplace_back();
        VcardLine& parsed = logical[count];
        bool content = parseVcardLine(current, parsed);
        // Bytes the file's character set cannot read are only welcome in a value that names
        // its own.
        if (!currentDecoded && (!content || !parsed.parameter("CHARSET")))
            decodeValue(current, "", currentNumber);
        if (content) {
            parsed.lineNumber = currentNumber;
            ++count;
        }
        current.clear();
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
            if (softBreak && !folded) current.pop_back();  // the "=" of the soft break
            current.append(bytes, folded ? 1 : 0);
            currentDecoded = currentDecoded && cardLines_[i].decoded;
            continue;
        }
        if (!current.empty() && bytes.find(':') == std::string::npos) {
            current += bytes;  // base64 or other bare continuation
            currentDecoded = currentDecoded && cardLines_[i].decoded;
            continue;
        }
        finish();
        current = bytes;
        currentNumber = cardLines_[i].number;
        currentDecoded = cardLines_[i].decoded;
    }
    finish();

    CardFields fields = foreignCardFields(
        std::span<const VcardLine>(logical.data(), count), position_,
        [this](std::string_view bytes, const std::string& charset, long lineNumber) {
            return decodeValue(bytes, charset, lineNumber);
        },
        leftOut_);
    for (const std::string& column : buildCardColumns(lineTemplate_, fields))
        openColumn(column, beginLine_);
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
    try {
        while (cards.next()) writer.add(cards.card());
    } catch (const TsunagiError& error) {
        rethrowAt(error, lines.name(), lines.lineNumber());
    }
    long count = writer.commit();
    if (report) {
        report->normalised += cards.normalised();
        report->leftOut.insert(cards.leftOut().begin(), cards.leftOut().end());
    }
    return count;
}

}  // namespace tsunagi
