#pragma once

// A card that another program wrote (a smartphone, a mail program, vCard 3.0 or 4.0), turned
// into the phone's dialect: its name, reading, numbers, mails, group and memory-dial number,
// laid out with the model's line template. Everything else it holds is left out and named.

#include <functional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "card/dialect.h"
#include "card/vcard_line.h"

namespace tsunagi {

// Decodes a value's bytes into UTF-8 given the CHARSET it names ("" for the file's own): the
// bytes themselves when they already are UTF-8, else a view of `scratch`, which then holds the
// text. `unquoted` says the bytes are quoted-printable's, not the file's as it holds them.
using ValueDecoder = std::function<std::string_view(
    std::string_view bytes, std::string_view charset, bool unquoted, std::string& scratch)>;

// Reads the fields of one card after another. Its strings are kept from card to card, so that
// a file of many cards is read without allocating for each.
class ForeignCardReader {
  public:
    explicit ForeignCardReader(ValueDecoder decode) : decode_(std::move(decode)) {}

    // The fields of a card from its content lines (BEGIN and END excluded), written over those
    // of the card before. `position` is the card's place in its file, the memory-dial number
    // when the card has none. The names of the properties that were not taken go into
    // `leftOut`. False when the card is no entry of a phone book: a group, or a card with no
    // name, number or mail.
    // What the phone's lines cannot hold goes into `extras` as vCard 3.0 content lines.
    bool read(std::span<const VcardLine> lines, long position, std::set<std::string>& leftOut,
              CardFields& fields, std::vector<std::string>& extras);

    // The name of the card last read where it was a group (KIND:group of vCard 4.0, or an
    // iPhone's X-ADDRESSBOOKSERVER-KIND:group), with how many members it names; "" otherwise.
    const std::string& groupName() const { return groupName_; }
    size_t groupMembers() const { return groupMembers_; }

  private:
    // The line as vCard 3.0 writes it, its value as UTF-8 text, added to `extras`.
    void keep(const VcardLine& line, std::vector<std::string>& extras);
    // A line's value as text: quoted-printable undone, its character set decoded.
    std::string_view text(const VcardLine& line);
    // The first two components of a compound value ("family;given;…"), joined as the phone
    // writes a name.
    void readName(std::string_view value, char separator, std::string& out);
    // The same for a reading, a ";" within either part escaped ("\\;"), so that the parts are
    // told apart again, and a given reading alone after a ";" (";ﾀﾛｳ"), so that it stays one.
    void readReading(std::string_view value, char separator, std::string& out);
    static void joinReading(std::string_view family, std::string_view given, std::string& out);
    // N and FN where the phone's name line cannot say all they do, or where the card says
    // another after them.
    void keepName(std::vector<std::string>& extras);
    // A name, display name or reading (`property`, one of kSeen…) said again, kept in its place
    // and named.
    void keepAgain(const VcardLine& line, unsigned property, std::set<std::string>& leftOut,
                   std::vector<std::string>& extras);
    // The first display name said again, kept in `extras`, as the card's display name in place
    // of the first, which said nothing.
    void promoteFormattedAgain(std::vector<std::string>& extras);
    // A reading line of its own kind (`property`: kSeenSound, kSeenYomi or kSeenSortString)
    // into `reading` where it is the first; one said again otherwise is kept, after the first
    // kept with it, so that the first stays the first. Whether it was said before.
    bool readingSaidAgain(const VcardLine& line, unsigned property, std::string& reading,
                          std::set<std::string>& leftOut, std::vector<std::string>& extras);
    ValueDecoder decode_;
    std::string name_, formatted_, sound_, phoneticLast_, phoneticFirst_, sortAs_, sortString_;
    std::string numbers_, mails_, group_, memoryNumber_, reading_, yomi_, organization_;
    std::string nickname_, messenger_, phoneticOrg_;
    // Numbers and mails holding the phone's joiner, kept beside its lines: ":value<>" each.
    std::string beside_;
    std::vector<std::string> nameParts_;
    // Where the first name or display name, and the first reading, said again was kept.
    size_t nameAgainAt_ = 0, readingAgainAt_ = 0;
    std::string firstName_;
    static constexpr unsigned kSeenName = 1, kSeenFormatted = 2, kSeenLastReading = 4,
                              kSeenFirstReading = 8, kSeenSound = 16, kSeenYomi = 32,
                              kSeenSortString = 64;
    // The first SOUND;X-IRMC-N, X-MS-N-YOMI and SORT-STRING of the card.
    const VcardLine *firstSound_ = nullptr, *firstYomi_ = nullptr, *firstSortString_ = nullptr;
    unsigned seen_ = 0, again_ = 0;  // of them, those met, those said again
    int customLabels_ = 0;
    std::string groupName_;
    size_t groupMembers_ = 0;
    std::vector<std::string> parts_;
    std::string unquoted_, decoded_, unescaped_;
};

}  // namespace tsunagi
