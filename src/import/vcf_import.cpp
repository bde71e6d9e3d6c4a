#include "import/vcf_import.h"

#include <algorithm>
#include <cctype>

#include "card/dialect.h"
#include "card/properties.h"
#include "card/vcard_line.h"
#include "import/foreign_card.h"
#include "platform/codec.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

// A card's bytes are bounded: a rich contact with a photo fits many times over.
constexpr size_t kMaxCardBytes = size_t(16) << 20;

// BEGIN:VCARD and END:VCARD as the phone writes them (anywhere in the line), or in any case as
// other programs may write them.
bool isBegin(std::string_view line, const CardWords& words) {
    return words.begin ||
           (!line.empty() && (line[0] | 0x20) == 'b' &&
            startsWithIgnoringCase(line, "BEGIN:VCARD") && trimBlanks(line.substr(11)).empty());
}

bool isEnd(std::string_view line, const CardWords& words) {
    return words.end ||
           (!line.empty() && (line[0] | 0x20) == 'e' && startsWithIgnoringCase(line, "END:VCARD") &&
            trimBlanks(line.substr(9)).empty());
}

// A whole BEGIN:VCARD or END:VCARD line, in any case: where other programs' cards begin and
// end (a note that mentions END:VCARD ends nothing).
bool isWholeLine(std::string_view line, std::string_view word) {
    return !line.empty() && (line[0] | 0x20) == (word[0] | 0x20) &&
           startsWithIgnoringCase(line, word) && trimBlanks(line.substr(word.size())).empty();
}

// An agent's card begun on the AGENT line itself ("AGENT:BEGIN:VCARD", as some writers put it),
// or on the line after a bare "AGENT:".
bool beginsAgent(std::string_view line) {
    if (line.empty() || (line[0] | 0x20) != 'a' || !startsWithIgnoringCase(line, "AGENT"))
        return false;
    size_t colon = line.find(':');
    return colon != std::string_view::npos && isWholeLine(line.substr(colon + 1), "BEGIN:VCARD");
}

// A line that begins as a property does ("TEL;", "item1.EMAIL:"), and so is never the rest of
// the value before it.
bool looksLikeProperty(std::string_view line) {
    size_t i = 0;
    bool group = false;
    for (; i < line.size(); ++i) {
        char c = line[i];
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') continue;
        if (c == '.' && !group && i > 0) {
            group = true;
            continue;
        }
        break;
    }
    return i > 0 && i < line.size() && (line[i] == ':' || line[i] == ';');
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
      foreign_([this](std::string_view bytes, std::string_view charset, bool unquoted,
                      std::string& scratch) {
          return decodeValue(bytes, charset, unquoted, scratch);
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

bool VcfCardReader::nextPhysical(std::string& bytes, long& number, bool split) {
    if (!pendingLeft_) {
        bool cut = false;
        if (!lines_.nextBytes(pending_, split ? &cut : nullptr)) return false;
        // A photo or a sound written in one unfolded line may be longer than any line the
        // program holds: it is left out anyway, so only its head is kept, to be named.
        if (cut) {
            std::string name = upperAscii(propertyName(pending_));
            if (name != "PHOTO" && name != "LOGO" && name != "SOUND" && name != "KEY")
                throw TsunagiError(lines_.name(), lines_.lineNumber() + extraLines_,
                                   "1 行が長すぎます（1 MiB まで）。"
                                   "アドレス帳のファイルではない可能性があります。");
            // What is left of it is no photo: it goes, and is named.
            tooLong_.insert(name);
            pending_ = "X-TSUNAGI-TOO-LONG:";
        }
        pendingAt_ = 0;
        pendingLeft_ = true;
    }
    // The line end that the file's own rule leaves inside a line.
    char other = lines_.lfLineEnds() ? '\r' : '\n';
    std::string_view rest = std::string_view(pending_).substr(pendingAt_);
    size_t cut = split ? rest.find(other) : std::string_view::npos;
    number = lines_.lineNumber() + extraLines_;
    if (cut == std::string_view::npos) {
        // The whole line, the usual case: its buffer changes hands instead of being copied.
        if (pendingAt_ == 0)
            bytes.swap(pending_);
        else
            bytes.assign(rest);
        pendingLeft_ = false;
    } else {
        bytes.assign(rest.substr(0, cut));
        pendingAt_ += cut + 1;
        ++extraLines_;
        if (pendingAt_ == pending_.size()) pendingLeft_ = false;  // it ended the line
    }
    return true;
}

bool VcfCardReader::nextCardLines() {
    bool inCard = false;
    // The phone's own cards begin and end wherever BEGIN:VCARD and END:VCARD stand in a line;
    // other programs' cards only at whole lines, and may hold whole cards of their own (AGENT).
    bool phoneLike = false;
    int nested = 0;
    for (;;) {
        // Outside a card every line is read into the first place, where a BEGIN line stays.
        size_t slot = inCard ? cardLineCount_ : 0;
        if (slot == cardLines_.size()) cardLines_.emplace_back();
        CardLine& line = cardLines_[slot];
        if (carriedBegin_ && !inCard) {
            line = std::move(*carriedBegin_);
            carriedBegin_.reset();
        } else {
            // Other programs' cards (and what lies between cards) end their lines at CR LF, LF
            // or CR alike, as concatenated exports mix them; the phone's own keep their rules.
            if (!nextPhysical(line.bytes, line.number, !inCard || !phoneLike)) {
                if (inCard) {
                    // The file ends inside its last card: everything before it is whole.
                    cutShort_ = true;
                    unclosedCard();
                }
                return false;
            }
            line.words.reset();
            line.bytesAreText = lines_.bytesAreText();
            if (line.bytesAreText) {
                line.decoded = true;
            } else {
                line.decodedText.clear();
                line.decoded = lines_.decode(line.bytes, line.decodedText);
            }
        }
        std::string_view view = line.decoded ? std::string_view(line.text()) : line.bytes;

        if (!inCard) {
            // Outside a card (before the first, or between an end and the next begin) lines
            // are ignored.
            CardWords words = cardWordsIn(view);
            if (!isBegin(view, words)) continue;
            inCard = true;
            phoneLike = false;
            nested = 0;
            beginLine_ = line.number;
            cardLineCount_ = 1;
            cardBytes_ = line.bytes.size();
            if (isEnd(view, words)) break;
            continue;
        }
        cardBytes_ += line.bytes.size();
        if (cardBytes_ > kMaxCardBytes)
            throw TsunagiError(lines_.name(), beginLine_,
                               "この行で始まるデータが大きすぎます（16 MiB まで）。");
        ++cardLineCount_;
        if (phoneLike) {
            CardWords words = cardWordsIn(view);
            if (line.decoded) line.words = words;
            if (isBegin(view, words)) unclosedCard();
            if (isEnd(view, words)) break;
        } else if (beginsAgent(view)) {
            ++nested;
        } else if (isWholeLine(view, "BEGIN:VCARD")) {
            // A card held by AGENT (as 2.1 writes it) is part of this one; any other begins a
            // card of its own, and this one ends before it.
            if (nested > 0 || startsWithIgnoringCase(cardLines_[slot - 1].bytes, "AGENT")) {
                ++nested;
            } else {
                carriedBegin_ = std::move(line);
                CardLine& end = cardLines_[slot];
                end = CardLine{};
                end.bytes = "END:VCARD";
                end.bytesAreText = end.decoded = true;
                end.number = carriedBegin_->number;
                break;
            }
        } else if (isWholeLine(view, "END:VCARD")) {
            if (nested == 0) break;
            --nested;
        } else if (nested == 0 && (view.substr(0, kNameItem.size()) == kNameItem ||
                                   view.substr(0, 6) == "X-JPG-")) {
            phoneLike = true;
        }
    }
    ++position_;
    return true;
}

bool VcfCardReader::next() {
    while (nextCardLines()) {
        used_ = 0;
        extras_.clear();
        if (isPhoneCard()) {
            readPhoneCard();
            ++handedOut_;
            return true;
        }
        if (readForeignCard()) {
            ++normalised_;
            ++handedOut_;
            return true;
        }
        ++notEntries_;
        if (!foreign_.groupName().empty())
            groups_.push_back(foreign_.groupName() + "（メンバー " +
                              std::to_string(foreign_.groupMembers()) + " 人）");
    }
    return false;
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
                        : card.words              ? classifyLine(line, *card.words)
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
                                            bool unquoted, std::string& scratch) {
    // Each card carries its own character set, and each value may name one: a 4.0 card is
    // UTF-8 by definition, a 3.0 card unless it says otherwise, a 2.1 card as the file is.
    if (!charset.empty()) {
        scratch.clear();
        if (isShiftJis(charset)) {
            if (cp932_.decode(bytes, scratch)) return scratch;
        } else if (startsWithIgnoringCase(charset, "UTF-8") ||
                   startsWithIgnoringCase(charset, "UTF8")) {
            if (isValidUtf8(bytes)) return bytes;
        } else if (convertToUtf8(bytes, std::string(charset).c_str(), scratch)) {
            return scratch;
        } else if (isValidUtf8(bytes)) {  // a set iconv does not know: the bytes, if they read
            return bytes;
        } else if (scratch.clear(), cp932_.decode(bytes, scratch)) {
            return scratch;
        }
    } else if (cardIsUtf8_ || (lines_.encoding() == TextEncoding::Utf8 && !lines_.bytesAreText())) {
        // The file's own bytes are all valid where it was read whole as UTF-8.
        if ((lines_.bytesAreText() && !unquoted) || isValidUtf8(bytes)) return bytes;
    } else if (lines_.bytesAreText()) {
        // The file's own bytes are all valid; quoted-printable's may be another set's.
        if (!unquoted || isValidUtf8(bytes)) return bytes;
        scratch.clear();
        if (cp932_.decode(bytes, scratch)) return scratch;
    } else {
        scratch.clear();
        if (cp932_.decode(bytes, scratch)) return scratch;
        if (isValidUtf8(bytes)) return bytes;
    }
    // Valid in no set the card could mean: kept with each bad byte replaced, and the card named.
    cardHadBadBytes_ = true;
    scratch = utf8WithReplacements(bytes);
    return scratch;
}

void VcfCardReader::readBase64(VcardLine& line) {
    if (!holdsBytes(line)) {
        // Text sent as base64, as some 2.1 writers send names and notes: its bytes are the
        // value, read in its character set as any other; digits that say no bytes are taken
        // as the text they are.
        std::erase_if(line.parameters,
                      [](const VcardParameter& parameter) { return parameter.name == "ENCODING"; });
        std::optional<std::string> bytes = base64Decode(line.value);
        if (!bytes) return;
        line.value = std::move(*bytes);
        // In a file whose bytes are all UTF-8 a value is taken as it is, so the decoded bytes
        // are read here: Shift_JIS where they are no UTF-8, else each bad byte replaced.
        if (lines_.bytesAreText() && !line.parameter("CHARSET") && !isValidUtf8(line.value)) {
            std::string text;
            if (!cp932_.decode(line.value, text)) {
                text = utf8WithReplacements(line.value);
                cardHadBadBytes_ = true;
            }
            line.value = std::move(text);
        }
        // Bytes that read as UTF-8 beyond ASCII are UTF-8 where the card names no set: a
        // writer that hides its text in base64 is no feature phone writing Shift_JIS.
        if (!line.parameter("CHARSET") && isValidUtf8(line.value) &&
            std::any_of(line.value.begin(), line.value.end(),
                        [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            line.parameters.push_back({"CHARSET", "UTF-8"});
        return;
    }
    // A photo's digits with other bytes among them: the digits are kept, and the card named.
    if (!std::all_of(line.value.begin(), line.value.end(), isBase64Character)) {
        std::erase_if(line.value, [](char c) { return !isBase64Character(c); });
        cardHadBadBytes_ = true;
    }
}

bool VcfCardReader::readForeignCard() {
    // First the folds are undone (RFC 2425): a line that begins with a blank or a tab continues
    // the one before, whatever either holds, so a fold before a property's colon or inside its
    // parameters joins up before anything is decided about the line.
    unfolded_.clear();
    cardIsUtf8_ = false;
    cardHadBadBytes_ = false;
    int nested = 0;
    // A card held inside this one is no line of this card: it is the value of its AGENT line,
    // kept whole as vCard 3.0 writes an agent (its lines joined by "\n", escaped).
    size_t agent = std::string::npos;  // the AGENT line among the unfolded ones
    std::string agentCard;
    for (size_t i = 1; i + 1 < cardLineCount_; ++i) {
        const CardLine& physical = cardLines_[i];
        std::string_view bytes = physical.bytes;
        if (nested == 0 && beginsAgent(bytes)) {
            unfolded_.push_back({i, physical.number, true, "AGENT:"});
            agent = unfolded_.size() - 1;
            agentCard = std::string(bytes.substr(bytes.find(':') + 1)) + "\n";
            nested = 1;
            continue;
        }
        if (isWholeLine(bytes, "BEGIN:VCARD")) {
            if (nested++ == 0) {
                agentCard.clear();
                agent = !unfolded_.empty() && startsWithIgnoringCase(
                                                  cardLines_[unfolded_.back().first].bytes, "AGENT")
                            ? unfolded_.size() - 1
                            : std::string::npos;
            }
        }
        if (nested > 0) {
            agentCard.append(bytes).append("\n");
            if (isWholeLine(bytes, "END:VCARD") && --nested == 0 && agent != std::string::npos) {
                unfolded_[agent].text = "AGENT:" + escapeText(agentCard);
                unfolded_[agent].joined = true;
                agent = std::string::npos;
            }
            continue;
        }
        bool folded = !bytes.empty() && (bytes[0] == ' ' || bytes[0] == '\t');
        if (folded && !unfolded_.empty()) {
            Unfolded& last = unfolded_.back();
            if (!last.joined) {
                last.text.assign(cardLines_[last.first].bytes);
                last.joined = true;
            }
            // A quoted-printable soft break before the fold is a break of its own: its "=" is
            // no part of the value.
            if (!last.text.empty() && last.text.back() == '=') {
                VcardLine head;
                if (parseVcardLine(last.text, head) && head.quotedPrintable()) last.text.pop_back();
            }
            last.text.append(bytes.substr(1));
            continue;
        }
        if (bytes.empty()) continue;
        if (startsWithIgnoringCase(bytes, "VERSION:")) {
            std::string version = trimBlanks(bytes.substr(8));
            cardIsUtf8_ = version == "3.0" || version == "4.0";
        }
        unfolded_.push_back({i, physical.number, false, {}});
    }

    // Then the logical lines: a quoted-printable soft break (a value ending in "=") joins the
    // next line, and so does a bare line after a quoted-printable or base64 value (some phones
    // break values without the "="), unless that line is a property of its own.
    std::vector<VcardLine>& logical = logical_;
    size_t count = 0;
    std::string_view current;
    bool joined = false, qp = false, base64 = false, headContent = false;
    long currentNumber = 0;
    auto begin = [&](const Unfolded& line) {
        current = line.joined ? std::string_view(line.text) : cardLines_[line.first].bytes;
        joined = false;
        currentNumber = line.number;
        if (count == logical.size()) logical.emplace_back();
        // The header is all there is to know about the value's encoding: it is read once.
        headContent = parseVcardLine(current, logical[count]);
        qp = headContent && logical[count].quotedPrintable();
        base64 = headContent && logical[count].base64();
    };
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
        VcardLine& parsed = logical[count];
        bool content = joined ? parseVcardLine(current, parsed) : headContent;
        if (content) {
            canonicalLine(parsed);
            parsed.lineNumber = currentNumber;
            // A parameter is text in the card's character set too (SORT-AS, a label), and so
            // are the names of a line and its parameters where they hold more than ASCII.
            std::string charset(parsed.parameter("CHARSET").value_or("")), decoded;
            auto decode = [&](std::string& text) {
                unsigned char high = 0;
                for (char c : text) high |= static_cast<unsigned char>(c);
                if (high >= 0x80) text = std::string(decodeValue(text, charset, false, decoded));
            };
            decode(parsed.group);
            decode(parsed.name);
            for (VcardParameter& parameter : parsed.parameters) {
                decode(parameter.name);
                decode(parameter.value);
            }
            if (parsed.base64()) readBase64(parsed);
            ++count;
        }
        current = {};
        joined = false;
    };
    for (const Unfolded& line : unfolded_) {
        std::string_view bytes =
            line.joined ? std::string_view(line.text) : cardLines_[line.first].bytes;
        bool property = looksLikeProperty(bytes);
        if (!current.empty() && qp && current.back() == '=') {
            // A soft break: the "=" goes; the next line continues the value unless it is a
            // property, in which case the value simply ended with a stray "=".
            join("");
            scratch_.pop_back();
            current = scratch_;
            if (!property) {
                join(bytes);
                continue;
            }
        } else if (!current.empty() && (qp || base64) && !property &&
                   bytes.find(':') == std::string_view::npos) {
            join(bytes);
            continue;
        }
        finish();
        begin(line);
    }
    finish();

    if (!foreign_.read(std::span<const VcardLine>(logical.data(), count), position_, leftOut_,
                       fields_, extras_))
        return false;
    if (cardHadBadBytes_) damaged_.push_back(fields_.name ? shownName(*fields_.name) : "");
    size_t built = buildCardColumns(lineTemplate_, fields_, columns_);
    if (built > static_cast<size_t>(kCardColumns)) tooManyLines(beginLine_);
    used_ = built;
    return true;
}

long importVcfFile(const Store& store, const std::string& path, const ImportProgress& progress,
                   ImportReport* report, const KeepCompleteCards& keepComplete) {
    LineReader lines(path);
    return importVcfLines(store, lines, progress, report, keepComplete);
}

long importVcfLines(const Store& store, LineReader& lines, const ImportProgress& progress,
                    ImportReport* report, const KeepCompleteCards& keepComplete) {
    CardWriter writer(store, lines.name(), progress);
    VcfCardReader cards(lines, writer.lineTemplate());
    try {
        storeReadAhead(writer, lines, [&]() -> std::optional<ReadCard> {
            if (!cards.next()) return std::nullopt;
            return ReadCard{cards.card(), cards.cardLine(), cards.extras()};
        });
    } catch (const ImportCancelled&) {
        throw;
    } catch (const TsunagiError&) {
        // A backup cut short at its last card: every card before it is in the writer, and the
        // person may keep them.
        if (!cards.cutShort() || cards.handedOut() == 0 || !keepComplete ||
            !keepComplete(cards.handedOut()))
            throw;
    }
    if (cards.position() == 0)
        // An empty file, a web page saved as .vcf: saying "0 件" would pass for success.
        throw TsunagiError(lines.name(), 0,
                           "vCard のデータ（BEGIN:VCARD から END:VCARD まで）が 1 件もありません。"
                           "vCard のファイルではない可能性があります。");
    writer.setPhoneOwn(cards.normalised() == 0);
    long count = writer.commit();
    if (report) {
        report->normalised += cards.normalised();
        report->leftOut.insert(cards.leftOut().begin(), cards.leftOut().end());
        report->leftOut.erase("X-TSUNAGI-TOO-LONG");
        report->tooLong.insert(cards.tooLong().begin(), cards.tooLong().end());
        report->notEntries += cards.notEntries();
        report->groups.insert(report->groups.end(), cards.groups().begin(), cards.groups().end());
        report->damaged.insert(report->damaged.end(), cards.damaged().begin(),
                               cards.damaged().end());
    }
    return count;
}

}  // namespace tsunagi
