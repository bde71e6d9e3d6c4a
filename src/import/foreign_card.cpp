#include "import/foreign_card.h"

#include <algorithm>
#include <charconv>

#include "card/person.h"
#include "card/properties.h"
#include "card/unicode.h"
#include "platform/codec.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

// The properties whose values become lines of the phone's card, and those that carry nothing
// the card could lose.
bool taken(std::string_view name) {
    static constexpr std::string_view kTaken[] = {"TEL",
                                                  "EMAIL",
                                                  "N",
                                                  "FN",
                                                  "VERSION",
                                                  "SOUND",
                                                  "X-PHONETIC-LAST-NAME",
                                                  "X-PHONETIC-FIRST-NAME",
                                                  "SORT-STRING",
                                                  "X-MS-N-YOMI",
                                                  "ORG",
                                                  "KIND",
                                                  "X-GNO",
                                                  "X-JPG-MDNO",
                                                  "X-JPG-OWNER",
                                                  "BEGIN",
                                                  "END"};
    for (std::string_view known : kTaken)
        if (name == known) return true;
    return false;
}

// Without the blanks at both ends, and without line breaks and tabs at the end.
std::string_view trimmed(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A tel: URI (vCard 4.0) gives its number without the scheme and its parameters.
std::string_view numberOf(std::string_view value) {
    value = trimmed(value);
    if (value.size() >= 4 && (value.substr(0, 4) == "tel:" || value.substr(0, 4) == "TEL:")) {
        value.remove_prefix(4);
        value = value.substr(0, value.find(';'));
    }
    return trimmed(value);
}

// Properties that say nothing of the person: the writing program, the card's revision, the
// card's own structure. Not kept.
bool carriesNothing(std::string_view name) { return propertyKind(name) == PropertyKind::Structure; }

// Whether a parameter, written whole ("NAME=value", or a TYPE's value), begins "X-CUSTOM(":
// the test of takeCustomLabel below, without taking anything apart.
bool hasCustomLabel(const VcardLine& line) {
    for (const VcardParameter& p : line.parameters)
        if (startsWithIgnoringCase(p.name == "TYPE" ? p.value : p.name, "X-CUSTOM(")) return true;
    return false;
}

// Android's label of the user's own, written as a parameter:
// "X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,=E5=AE=9F=E5=AE=B6)". The label's text, and
// the parameter gone from the line, which no reader could take as it is.
std::optional<std::string> takeCustomLabel(VcardLine& line) {
    for (auto p = line.parameters.begin(); p != line.parameters.end(); ++p) {
        std::string whole = p->name + (p->value.empty() ? "" : "=" + p->value);
        if (p->name == "TYPE") whole = p->value;
        if (!startsWithIgnoringCase(whole, "X-CUSTOM(")) continue;
        std::string inside = whole.substr(9);
        if (!inside.empty() && inside.back() == ')') inside.pop_back();
        std::string_view label = inside;
        bool qp = contains(upperAscii(inside), "QUOTED-PRINTABLE");
        if (size_t comma = label.rfind(','); comma != std::string_view::npos)
            label.remove_prefix(comma + 1);
        std::string text = qp ? decodeQuotedPrintable(label) : std::string(label);
        line.parameters.erase(p);
        return isValidUtf8(text) ? text : cp932ToUtf8(text);
    }
    return std::nullopt;
}

// Whether a number's or a mail's line says more than the phone's line does: a type the phone
// has no word for (FAX, PAGER, MAIN, pref…), a label's group, a parameter of its own, or a tel:
// URI (with its extension).
bool beyondThePhone(const VcardLine& line) {
    if (!line.group.empty()) return true;
    // A URI, and an address the phone cannot call (sip:), keep their line as written.
    std::string_view value = trimmed(line.value);
    if (startsWithIgnoringCase(value, "tel:") || startsWithIgnoringCase(value, "sip:") ||
        startsWithIgnoringCase(value, "sips:"))
        return true;
    for (const VcardParameter& parameter : line.parameters) {
        if (parameter.name == "CHARSET" || parameter.name == "ENCODING") continue;
        // A parameter of no name or no value says nothing, and is written as none.
        if (parameter.name != "TYPE" && (parameter.name.empty() || parameter.value.empty()))
            continue;
        if (parameter.name != "TYPE") return true;
        std::string_view types = parameter.value;
        while (!types.empty()) {
            size_t comma = types.find(',');
            std::string_view type = trimmed(types.substr(0, comma));
            // The words the phone's own lines hold: TEL;HOME, TEL;CELL… but only EMAIL;INTERNET
            // and EMAIL;CELL.
            bool phoneWord = equalsIgnoringCase(type, "CELL") ||
                             (line.name == "TEL" && (equalsIgnoringCase(type, "HOME") ||
                                                     equalsIgnoringCase(type, "WORK") ||
                                                     equalsIgnoringCase(type, "VOICE"))) ||
                             (line.name == "EMAIL" && equalsIgnoringCase(type, "INTERNET"));
            if (!phoneWord && !type.empty()) return true;
            if (comma == std::string_view::npos) break;
            types.remove_prefix(comma + 1);
        }
    }
    return false;
}

// Sets an optional field from `value`, trading their memory rather than copying.
void setField(std::optional<std::string>& field, std::string& value) {
    if (value.empty()) {
        field.reset();
        return;
    }
    if (!field) field.emplace();
    field->swap(value);
}

}  // namespace

void ForeignCardReader::keep(const VcardLine& line, std::vector<std::string>& extras) {
    if (line.base64()) {
        extras.push_back(keptLine(line, {}));
        return;
    }
    // Old phones write a photo's bytes in quoted-printable: they are bytes, never text.
    if (line.quotedPrintable() && holdsBytes(line)) {
        VcardLine bytes = line;
        bytes.value = base64Encode(decodeQuotedPrintable(line.value));
        for (VcardParameter& parameter : bytes.parameters)
            if (parameter.name == "ENCODING") parameter.value = "b";
        extras.push_back(keptLine(bytes, {}));
        return;
    }
    if (hasCustomLabel(line)) {
        VcardLine labelled = line;
        if (std::optional<std::string> label = takeCustomLabel(labelled)) {
            labelled.group = "custom" + std::to_string(++customLabels_);
            extras.push_back(keptLine(labelled, text(line)));
            extras.push_back(labelled.group + ".X-ABLabel:" + escapeText(*label));
            return;
        }
    }
    extras.push_back(keptLine(line, text(line)));
}

std::string_view ForeignCardReader::text(const VcardLine& line) {
    std::string_view bytes = line.value;
    bool unquoted = line.quotedPrintable();
    if (unquoted) {
        unquoted_ = decodeQuotedPrintable(bytes);
        bytes = unquoted_;
    }
    return decode_(bytes, line.parameter("CHARSET").value_or(""), unquoted, decoded_);
}

void ForeignCardReader::readName(std::string_view value, char separator, std::string& out) {
    splitComponents(value, separator, parts_);
    std::string_view family = trimmed(parts_[0]);
    std::string_view given = parts_.size() > 1 ? trimmed(parts_[1]) : std::string_view();
    joinName(family, given, out);
}

void ForeignCardReader::readReading(std::string_view value, char separator, std::string& out) {
    splitComponents(value, separator, parts_);
    joinReading(trimmed(parts_[0]), parts_.size() > 1 ? trimmed(parts_[1]) : std::string_view(),
                out);
}

void ForeignCardReader::joinReading(std::string_view family, std::string_view given,
                                    std::string& out) {
    auto append = [&out](std::string_view part) {
        for (char c : part) {
            if (c == ';') out.push_back('\\');
            out.push_back(c);
        }
    };
    out.clear();
    append(family);
    // A given reading alone stays the given one: after a ";".
    if (!given.empty()) out.push_back(';');
    append(given);
}

namespace {

// Whether a compound value ("family;given;…") holds nothing but its separators and blanks.
bool saysNothing(std::string_view value) {
    return std::all_of(value.begin(), value.end(),
                       [](char c) { return c == ';' || c == ' ' || c == '\t'; });
}

}  // namespace

bool ForeignCardReader::read(std::span<const VcardLine> lines, long position,
                             std::set<std::string>& leftOut, CardFields& fields,
                             std::vector<std::string>& extras) {
    extras.clear();
    for (std::string* value :
         {&phoneticOrg_, &name_, &formatted_, &sound_, &phoneticLast_, &phoneticFirst_, &sortAs_,
          &sortString_, &numbers_, &mails_, &group_, &memoryNumber_, &yomi_, &organization_,
          &nickname_, &messenger_, &beside_})
        value->clear();
    nameParts_.clear();
    seen_ = again_ = 0;
    firstSound_ = firstYomi_ = firstSortString_ = nullptr;
    nameAgainAt_ = readingAgainAt_ = std::string::npos;
    customLabels_ = 0;
    groupName_.clear();
    groupMembers_ = 0;
    bool group = false;

    // vCard 4.0 may write one name in several languages (N;ALTID=1;LANGUAGE=ja and
    // LANGUAGE=en): the Japanese one is the phone's name, the others are kept as they are.
    const VcardLine* chosenName = nullptr;
    for (const VcardLine& line : lines)
        if (line.name == "N" &&
            (!chosenName ||
             (!startsWithIgnoringCase(chosenName->parameter("LANGUAGE").value_or(""), "ja") &&
              startsWithIgnoringCase(line.parameter("LANGUAGE").value_or(""), "ja"))))
            chosenName = &line;
    std::string_view chosenLanguage =
        chosenName ? chosenName->parameter("LANGUAGE").value_or("") : std::string_view();

    bool keepNumbers = false, keepMails = false;
    for (const VcardLine& line : lines) {
        if (trimmed(line.value).empty()) continue;  // says nothing, however it is written
        // A value holding the phone's joiner "<>" is kept beside, never in the phone's line.
        bool joiner = contains(line.value, kJoin);
        keepNumbers = keepNumbers || (line.name == "TEL" && (joiner || beyondThePhone(line)));
        keepMails = keepMails || (line.name == "EMAIL" && (joiner || beyondThePhone(line)));
    }

    for (const VcardLine& line : lines) {
        std::string_view property = line.name;
        if ((property == "N" || property == "FN") && line.parameter("ALTID") &&
            !equalsIgnoringCase(line.parameter("LANGUAGE").value_or(""), chosenLanguage)) {
            keep(line, extras);
            continue;
        }
        if (property == "X-ADDRESSBOOKSERVER-KIND")
            group = group || equalsIgnoringCase(trimmed(text(line)), "group");
        if (property == "MEMBER" || property == "X-ADDRESSBOOKSERVER-MEMBER") ++groupMembers_;
        if (!taken(property)) {
            // Kept with the entry for the formats that hold it; named for the message. Android's
            // own rows are named for what they hold.
            std::string named(property);
            if (property == "X-ANDROID-CUSTOM") {
                std::string_view kind = text(line);
                if (kind.find("/nickname;") != std::string_view::npos)
                    named = "NICKNAME";
                else if (kind.find("/relation;") != std::string_view::npos)
                    named = "X-ABRELATEDNAMES";
                else if (kind.find("/contact_event;") != std::string_view::npos)
                    named = "X-ABDATE";
            }
            if (!leftOut.count(named)) leftOut.insert(named);
            if (!carriesNothing(property)) keep(line, extras);
            // What names a card that has no name of a person.
            if (property == "NICKNAME" && nickname_.empty()) {
                splitComponents(text(line), ',', parts_);
                nickname_.assign(trimmed(parts_[0]));
            } else if (named == "NICKNAME" && nickname_.empty()) {
                // Android's row: "vnd.android.cursor.item/nickname;the nickname;…".
                splitComponents(text(line), ';', parts_);
                if (parts_.size() > 1)
                    nickname_.assign(trimmed(unescapeText(parts_[1], unescaped_)));
            } else if (property == "X-PHONETIC-ORG") {
                phoneticOrg_.assign(trimmed(unescapeText(text(line), unescaped_)));
            } else if (propertyKind(property) == PropertyKind::Messenger && messenger_.empty()) {
                std::string_view value = trimmed(unescapeText(text(line), unescaped_));
                messenger_.assign(value.substr(value.find(':') + 1));
            }
            continue;
        }
        // A number's and a mail's own line keeps its types (FAX, PAGER, a label's group) and
        // the number as written, for today's phones; where one of a card's does, all of them
        // are kept, so that each finds its own again even where two share their digits.
        if (property == "ORG" || (property == "TEL" && keepNumbers) ||
            (property == "EMAIL" && keepMails))
            keep(line, extras);
        // A card has one name, one display name and one reading: the first stands, and one
        // said again otherwise (as vCard 4.0 may say display names) is kept as it came.
        if (property == "N") {
            // One that says nothing gives way to one after it that says something.
            if ((seen_ & kSeenName) && (!saysNothing(firstName_) || saysNothing(text(line)))) {
                if (!saysNothing(text(line)) && trimmed(text(line)) != firstName_)
                    keepAgain(line, kSeenName, leftOut, extras);
                continue;
            }
            seen_ |= kSeenName;
            firstName_.assign(trimmed(text(line)));
            splitComponents(text(line), ';', nameParts_);
            for (std::string& part : nameParts_) part.assign(trimmed(part));
            readName(text(line), ';', name_);
            if (auto sort = line.parameter("SORT-AS")) readReading(*sort, ',', sortAs_);
        } else if (property == "FN") {
            std::string_view formatted = trimmed(unescapeText(text(line), unescaped_));
            if ((seen_ & kSeenFormatted) && (!formatted_.empty() || formatted.empty())) {
                if (!formatted.empty() && formatted != formatted_)
                    keepAgain(line, kSeenFormatted, leftOut, extras);
                continue;
            }
            seen_ |= kSeenFormatted;
            formatted_.assign(formatted);
        } else if (property == "SOUND") {
            // Japanese phones write the reading of the name as SOUND;X-IRMC-N; any other SOUND
            // is a sound clip, kept as it came.
            if (line.hasType("X-IRMC-N")) {
                readingSaidAgain(line, kSeenSound, sound_, leftOut, extras);
            } else {
                keep(line, extras);
                leftOut.insert(std::string(property));
            }
        } else if (property == "X-PHONETIC-LAST-NAME" || property == "X-PHONETIC-FIRST-NAME") {
            bool last = property == "X-PHONETIC-LAST-NAME";
            unsigned seen = last ? kSeenLastReading : kSeenFirstReading;
            std::string& reading = last ? phoneticLast_ : phoneticFirst_;
            std::string_view value = trimmed(unescapeText(text(line), unescaped_));
            if ((seen_ & seen) && (!reading.empty() || value.empty())) {
                if (!value.empty() && value != reading) keepAgain(line, seen, leftOut, extras);
                continue;
            }
            seen_ |= seen;
            reading.assign(value);
        } else if (property == "X-MS-N-YOMI") {
            // Outlook's reading of the name, "family;given".
            readingSaidAgain(line, kSeenYomi, yomi_, leftOut, extras);
        } else if (property == "ORG") {
            // The company: the name of a business contact that has no person's name.
            splitComponents(text(line), ';', parts_);
            organization_.assign(trimmed(parts_[0]));
            // vCard 4.0's reading of the company: how it sorts.
            if (auto sort = line.parameter("SORT-AS"); sort && phoneticOrg_.empty()) {
                splitComponents(*sort, ',', parts_);
                phoneticOrg_.assign(trimmed(parts_[0]));
            }
        } else if (property == "KIND") {
            group = equalsIgnoringCase(trimmed(text(line)), "group");
        } else if (property == "SORT-STRING") {
            readingSaidAgain(line, kSeenSortString, sortString_, leftOut, extras);
        } else if (property == "TEL") {
            std::string_view number = numberOf(unescapeText(text(line), unescaped_));
            if (contains(number, kJoin))
                beside_.append(":").append(number).append(kJoin);
            else if (!number.empty())
                numbers_.append(kNumberItem)
                    .append(numberSavingCode(numberClassOf(line)))
                    .append(number)
                    .append(kJoin);
        } else if (property == "EMAIL") {
            std::string_view mail = trimmed(unescapeText(text(line), unescaped_));
            if (contains(mail, kJoin))
                beside_.append(":").append(mail).append(kJoin);
            else if (!mail.empty())
                mails_.append(kMailItem)
                    .append(line.hasType("CELL") ? "CELL:" : "INTERNET:")
                    .append(mail)
                    .append(kJoin);
        } else if (property == "X-GNO") {
            group_.assign(trimmed(text(line)));
        } else if (property == "X-JPG-MDNO") {
            memoryNumber_.assign(trimmed(text(line)));
        }
    }

    // A name of other parts alone (a middle name, a title) is the name they make, whatever
    // else the card holds: it names the person, never its company.
    if (name_.empty() && nameParts_.size() > 2) {
        Person named;
        for (size_t i = 0; i < nameParts_.size() && i < named.name.size(); ++i)
            named.name[i] = nameParts_[i];
        name_ = builtName(named);
    }
    // A card without a name is shown by its mail or number, and writers for today's phones
    // write that as its FN: it is no name of a person.
    if (name_.empty() && !formatted_.empty() &&
        (contains(mails_, ":" + formatted_ + std::string(kJoin)) ||
         contains(numbers_, ":" + formatted_ + std::string(kJoin)) ||
         contains(beside_, ":" + formatted_ + std::string(kJoin)))) {
        formatted_.clear();
        // It says no more than an empty one: one said after it stands in its place.
        if (again_ & kSeenFormatted) promoteFormattedAgain(extras);
    }
    const size_t keptBefore = extras.size();
    keepName(extras);
    // N kept whole: one of a title alone ("N:;;;Dr.;"), which names nobody.
    bool nameKept = extras.size() > keptBefore;
    // A business contact has no person's name: its empty N is kept, so that today's phones
    // show it as the company it is, while the phone's line holds the company.
    bool namedByCompany = name_.empty() && !organization_.empty() &&
                          (formatted_.empty() || formatted_ == organization_);
    // So is a card whose only name is its nickname (Android and ours write that as its FN):
    // shown by the nickname, which the phone's line holds.
    bool namedByNickname = name_.empty() && organization_.empty() && !nickname_.empty() &&
                           (formatted_.empty() || formatted_ == nickname_);
    if ((namedByCompany || namedByNickname) && !nameKept) extras.push_back("N:;;;;");
    // A business contact is shown by its company, as every phone shows it; a card with no
    // name line, only a nickname or a messenger, by that. Name lines that are empty say the
    // card has no name (as ours say of an entry without one).
    bool nameLines = (seen_ & (kSeenName | kSeenFormatted)) != 0;
    std::string& name = namedByNickname          ? nickname_
                        : !name_.empty()         ? name_
                        : !formatted_.empty()    ? formatted_
                        : !organization_.empty() ? organization_
                        : nameLines              ? name_
                        : !nickname_.empty()     ? nickname_
                                                 : messenger_;
    if (!organization_.empty()) leftOut.insert("ORG");  // kept either way: the company
    setField(fields.name, name);
    if (sound_.empty()) joinReading(phoneticLast_, phoneticFirst_, sound_);
    std::string* reading = &sound_;
    if (reading->empty()) reading = &yomi_;
    if (reading->empty()) reading = &sortAs_;
    if (reading->empty()) reading = &sortString_;
    // A business contact is read as its company is.
    if (reading->empty() && namedByCompany) reading = &phoneticOrg_;
    // The phone's file has readings in half-width katakana, as the phone writes its own; a
    // reading that says more than that (hiragana, Latin letters) is kept as it came.
    // A ";" within the family or the given reading would move the line between them on the
    // phone's line: such a reading is kept, and the phone's line has it without the ";".
    parts_ = phoneNameParts(*reading);
    parts_.resize(std::max<size_t>(parts_.size(), 2));
    // The first of a reading said twice is kept too, before the others, so that it stays the
    // first.
    size_t readingAt = std::min(readingAgainAt_, extras.size());
    for (auto [property, part] :
         {std::pair{"X-PHONETIC-LAST-NAME", 0}, std::pair{"X-PHONETIC-FIRST-NAME", 1}}) {
        std::optional<std::string> line = keptReadingLine(property, parts_[part]);
        if (!line && (again_ & (part == 0 ? kSeenLastReading : kSeenFirstReading)) &&
            !trimBlanks(parts_[part]).empty())
            line = std::string(property) + ":" + escapeText(trimBlanks(parts_[part]));
        if (line)
            extras.insert(extras.begin() + static_cast<std::ptrdiff_t>(readingAt++),
                          std::move(*line));
    }
    if (contains(*reading, "\\;")) {
        for (std::string& part : parts_) std::erase(part, ';');
        joinReading(parts_[0], parts_[1], *reading);
    }
    reading->assign(halfWidthKatakana(*reading));
    setField(fields.reading, *reading);
    setField(fields.numbers, numbers_);
    setField(fields.mails, mails_);
    fields.owner = "0";
    fields.group.assign(group_.empty() ? std::string_view("0") : std::string_view(group_));
    if (memoryNumber_.empty()) {
        char digits[24];
        memoryNumber_.assign(digits, std::to_chars(digits, digits + sizeof digits, position).ptr);
    }
    fields.memoryNumber.swap(memoryNumber_);
    // A group and a card with nothing of a person are no entries.
    if (group) {
        groupName_ = fields.name.value_or("");
        if (groupName_.empty()) groupName_ = "（名前なし）";
        return false;
    }
    return fields.name || fields.numbers || fields.mails || !extras.empty();
}

void ForeignCardReader::keepName(std::vector<std::string>& extras) {
    std::string phoneName;
    if (nameParts_.size() >= 2) joinName(nameParts_[0], nameParts_[1], phoneName);
    if (phoneName.empty()) phoneName = formatted_;
    // The first of a name or a display name said twice is kept too, before the others, so
    // that it stays the first.
    std::vector<std::string> lines = keptNameLines(nameParts_, formatted_, phoneName,
                                                   again_ & kSeenName, again_ & kSeenFormatted);
    size_t at = std::min(nameAgainAt_, extras.size());
    extras.insert(extras.begin() + static_cast<std::ptrdiff_t>(at),
                  std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
    if (readingAgainAt_ != std::string::npos && readingAgainAt_ >= at)
        readingAgainAt_ += lines.size();
}

void ForeignCardReader::keepAgain(const VcardLine& line, unsigned property,
                                  std::set<std::string>& leftOut,
                                  std::vector<std::string>& extras) {
    size_t& at = property & (kSeenName | kSeenFormatted) ? nameAgainAt_ : readingAgainAt_;
    at = std::min(at, extras.size());
    keep(line, extras);
    again_ |= property;
    leftOut.insert(line.name);
}

void ForeignCardReader::promoteFormattedAgain(std::vector<std::string>& extras) {
    VcardLine line;
    size_t first = extras.size(), count = 0;
    for (size_t e = std::min(nameAgainAt_, extras.size()); e < extras.size(); ++e)
        if (parseVcardLine(extras[e], line) && line.name == "FN" && line.group.empty() &&
            !line.parameter("ALTID")) {
            if (count++ == 0) first = e;
        }
    if (count == 0) return;
    parseVcardLine(extras[first], line);
    formatted_.assign(trimmed(unescapeText(line.value, unescaped_)));
    extras.erase(extras.begin() + static_cast<std::ptrdiff_t>(first));
    if (count == 1) again_ &= ~kSeenFormatted;
}

bool ForeignCardReader::readingSaidAgain(const VcardLine& line, unsigned property,
                                         std::string& reading, std::set<std::string>& leftOut,
                                         std::vector<std::string>& extras) {
    const VcardLine*& first = property == kSeenSound  ? firstSound_
                              : property == kSeenYomi ? firstYomi_
                                                      : firstSortString_;
    std::string value;
    if (property == kSeenSortString)
        value.assign(trimmed(unescapeText(text(line), unescaped_)));
    else
        readReading(text(line), ';', value);
    // One that says nothing gives way to one after it that says something.
    if (!(seen_ & property) || (reading.empty() && !value.empty())) {
        bool said = seen_ & property;
        seen_ |= property;
        first = &line;
        reading = std::move(value);
        return said;
    }
    if (value.empty() || value == reading) return true;  // the same said twice is one
    if (!(again_ & property)) keep(*first, extras);
    keep(line, extras);
    again_ |= property;
    // Named as the reading it is, never as a sound.
    leftOut.insert(property == kSeenSound ? "X-PHONETIC-LAST-NAME" : std::string(line.name));
    return true;
}

}  // namespace tsunagi
