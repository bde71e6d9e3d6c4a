#pragma once

// Reading vCard files into the store: one row per card. The phone's own cards (and those of
// the other Japanese feature phones) are kept line for line: every number line of a card in
// one column, every mail line in another. Cards of other programs are turned into the phone's
// dialect (see foreign_card.h).

#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "card/dialect.h"
#include "card/vcard_line.h"
#include "import/foreign_card.h"
#include "import/import.h"
#include "platform/line_reader.h"
#include "store/store.h"

namespace tsunagi {

// Takes cards out of a file one after another, in the row form.
class VcfCardReader {
  public:
    VcfCardReader(LineReader& lines, std::vector<std::string> lineTemplate);
    // Moves to the next card; false when the file has no more. Throws TsunagiError with the
    // line number when a card has more lines than a row has columns or cannot be decoded, and
    // with the line of its BEGIN when a card has no END:VCARD before the next card or the end
    // of the file.
    bool next();
    // The card's column values, valid until the next call of next().
    std::span<const std::string> card() const { return {columns_.data(), used_}; }
    // What the card holds beyond the phone's lines, as vCard 3.0 content lines.
    std::span<const std::string> extras() const { return extras_; }
    // The line the card begins on.
    long cardLine() const { return beginLine_; }
    // How many cards were read so far.
    long position() const { return position_; }

    // Cards of other programs turned into the phone's dialect, and the kinds of their lines
    // that were left out.
    long normalised() const { return normalised_; }
    const std::set<std::string>& leftOut() const { return leftOut_; }
    // The names of the cards that held bytes valid in no character set they could mean; those
    // bytes were replaced.
    const std::vector<std::string>& damaged() const { return damaged_; }
    // Cards that are no entry of a phone book (groups, cards with no name, number or mail),
    // left out.
    long notEntries() const { return notEntries_; }
    const std::vector<std::string>& groups() const { return groups_; }
    // Properties left out because their one line was longer than any the program holds.
    const std::set<std::string>& tooLong() const { return tooLong_; }
    // Whether the file ended inside a card, and how many whole cards came before it.
    bool cutShort() const { return cutShort_; }
    long handedOut() const { return handedOut_; }

  private:
    // One line of the card being read: its bytes, and its text when the file's character set
    // could decode it.
    struct CardLine {
        std::string bytes;
        std::string decodedText;  // only when the bytes are not already UTF-8
        bool decoded = false;
        bool bytesAreText = false;
        long number = 0;
        std::optional<CardWords> words;  // once looked for in the text

        const std::string& text() const { return bytesAreText ? bytes : decodedText; }
    };

    // The next line of the file; with `split`, a line end that the file's own rule keeps inside
    // a line (a lone LF in a CR LF file, a lone CR in an LF file) ends it too.
    bool nextPhysical(std::string& bytes, long& number, bool split);
    // Reads the lines of the next card; false at the end of the file.
    bool nextCardLines();
    bool isPhoneCard() const;
    void readPhoneCard();
    bool readForeignCard();
    // A base64 value as the card means it: text as its bytes, a photo as its digits alone.
    void readBase64(VcardLine& line);
    size_t openColumn(const std::string& line, long lineNumber);
    [[noreturn]] void unclosedCard() const;
    [[noreturn]] void tooManyLines(long lineNumber) const;
    std::string_view decodeValue(std::string_view bytes, std::string_view charset, bool unquoted,
                                 std::string& scratch);

    LineReader& lines_;
    std::vector<std::string> lineTemplate_;
    std::vector<CardLine> cardLines_;
    size_t cardLineCount_ = 0;
    size_t cardBytes_ = 0;
    long beginLine_ = 0;
    long position_ = 0;
    // Column strings are kept from card to card so that their memory is reused.
    std::vector<std::string> columns_;
    size_t used_ = 0;
    long normalised_ = 0;
    std::set<std::string> leftOut_;
    std::string scratch_, scratchText_;
    std::vector<VcardLine> logical_;
    // A line of the card with its folds undone: the physical line it begins at, and the joined
    // text when it was folded.
    struct Unfolded {
        size_t first;
        long number;
        bool joined;
        std::string text;
    };
    std::vector<Unfolded> unfolded_;
    std::string pending_;  // the file's line, of which nextPhysical hands out the rest
    size_t pendingAt_ = 0;
    bool pendingLeft_ = false;
    long extraLines_ = 0;  // lines ended inside the file's lines so far
    bool cardIsUtf8_ = false;
    bool cardHadBadBytes_ = false;
    std::vector<std::string> damaged_;
    long notEntries_ = 0;
    std::vector<std::string> groups_;
    std::set<std::string> tooLong_;
    long handedOut_ = 0;
    bool cutShort_ = false;
    // A card's BEGIN line met inside another card (not after AGENT): that card ends before it,
    // and this one begins with it.
    std::optional<CardLine> carriedBegin_;
    Cp932Decoder cp932_;
    ForeignCardReader foreign_;
    CardFields fields_;
    std::vector<std::string> extras_;
};

// Asked when the only fault of a file is that it ends inside its last card, with the number
// of whole cards before it: true keeps those.
using KeepCompleteCards = std::function<bool(long completeCards)>;

// Adds every card of the file to the store, all or nothing. Returns the number of cards; what
// there is to say about other programs' cards goes into `report`.
long importVcfFile(const Store& store, const std::string& path, const ImportProgress& progress = {},
                   ImportReport* report = nullptr, const KeepCompleteCards& keepComplete = {});
// The same from lines already open.
long importVcfLines(const Store& store, LineReader& lines, const ImportProgress& progress = {},
                    ImportReport* report = nullptr, const KeepCompleteCards& keepComplete = {});

}  // namespace tsunagi
