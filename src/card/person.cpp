#include "card/person.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "card/checks.h"
#include "card/dialect.h"
#include "card/properties.h"
#include "card/unicode.h"
#include "platform/codec.h"
#include "platform/text.h"
#include "store/identity.h"

namespace tsunagi {

namespace {

std::string unescaped(std::string_view value) {
    std::string scratch;
    return std::string(unescapeText(value, scratch));
}

std::vector<std::string> componentsOf(std::string_view value, char separator) {
    std::vector<std::string> parts;
    splitComponents(value, separator, parts);
    for (std::string& part : parts) part = trimBlanks(part);
    return parts;
}

}  // namespace

bool holdsNothing(const VcardLine& line) {
    return line.value.find_first_not_of(" \t\r\n;,") == std::string::npos;
}

namespace {

// Whether a number's text holds a number: a tel: URI of none ("tel:", "TEL:;ext=5") does not,
// as another program's card reads it; a scheme in other letters ("TEl:") is the number's text.
bool numberInTelUri(std::string_view text) {
    std::string number = trimBlanks(text);
    if (number.starts_with("tel:") || number.starts_with("TEL:"))
        number = number.substr(4, number.find(';') - 4);
    return !trimBlanks(number).empty();
}

// The text of one of the phone's own lines: quoted-printable undone and its Shift_JIS decoded
// (the store holds the rest as text already), continuation lines joined.
std::string phoneText(const VcardLine& line) {
    if (line.quotedPrintable()) {
        std::string bytes = decodeQuotedPrintable(line.value);
        auto charset = line.parameter("CHARSET");
        bool utf8 = charset && startsWithIgnoringCase(*charset, "UTF-8");
        std::string text;
        if (utf8 && isValidUtf8(bytes)) return bytes;
        if (Cp932Decoder().decode(bytes, text)) return text;
        if (isValidUtf8(bytes)) return bytes;
        return utf8WithReplacements(bytes);
    }
    if (line.base64()) return line.value;
    // A line that continues on the next: folded where the next begins with a blank, else the
    // phone's own line break.
    std::string text;
    std::string_view value = line.value;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
            ++i;
            if (i + 1 < value.size() && (value[i + 1] == ' ' || value[i + 1] == '\t'))
                ++i;
            else
                text += "\r\n";
            continue;
        }
        text += value[i];
    }
    return text;
}

// A part of a name without the blanks and line breaks around it: a name continued over an empty
// line is the name alone.
std::string trimmedPart(std::string_view part) {
    size_t first = part.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return std::string(part.substr(first, part.find_last_not_of(" \t\r\n") - first + 1));
}

}  // namespace

std::vector<std::string> phoneNameParts(std::string_view name) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 1 < name.size() && name[i + 1] == ';') {
            parts.back() += ';';
            ++i;
        } else if (name[i] == ';') {
            parts.emplace_back();
        } else {
            parts.back() += name[i];
        }
    }
    for (std::string& part : parts) part = trimmedPart(part);
    return parts;
}

namespace {

// A 2.1 compound value apart at its ";" (a "\;" stays in its part), each part escaped as 3.0.
std::string escapedCompound(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == ';') {
            out += "\\;";
            ++i;
        } else if (text[i] == ';') {
            out += ';';
        } else {
            out += escapeText(text.substr(i, 1));
        }
    }
    return out;
}

// Text a line sent as base64, as another program's card is read: the text its bytes encode
// (UTF-8 where they are that and the line names no other set), else the digits as they are.
std::string textOfBase64(const VcardLine& raw) {
    std::optional<std::string> bytes = base64Decode(raw.value);
    if (!bytes) return raw.value;
    auto charset = raw.parameter("CHARSET");
    bool utf8First = !charset || startsWithIgnoringCase(*charset, "UTF-8") ||
                     startsWithIgnoringCase(*charset, "UTF8");
    if (utf8First && isValidUtf8(*bytes)) return *bytes;
    std::string text;
    if (Cp932Decoder().decode(*bytes, text)) return text;
    if (isValidUtf8(*bytes)) return *bytes;
    return utf8WithReplacements(*bytes);
}

// One of the phone's own lines as vCard 3.0 has it. Numbers drop the VOICE that the phone
// writes beside every other type; mails are INTERNET first, as the phone's own are.
VcardLine phoneLineAs3(const VcardLine& raw) {
    PropertyKind kind = propertyKind(raw.name);
    // A photo in quoted-printable is bytes: base64 as vCard 3.0 writes any. Base64 in a line
    // that holds no bytes is text.
    bool textInBase64 = raw.base64() && !holdsBytes(raw);
    bool bytes = (raw.base64() && !textInBase64) || (raw.quotedPrintable() && holdsBytes(raw));
    std::string text = textInBase64             ? textOfBase64(raw)
                       : raw.base64() || !bytes ? phoneText(raw)
                                                : std::string();
    std::string value;
    if (bytes && raw.base64()) {
        // Other bytes among a photo's digits go, as they do from another program's card, and
        // so do the blanks and line breaks of 2.1's folds, which are no part of the data.
        value = text;
        std::erase_if(value, [](char c) {
            return !isBase64Character(c) || c == ' ' || c == '\t' || c == '\r' || c == '\n';
        });
    } else if (bytes)
        value = base64Encode(decodeQuotedPrintable(raw.value));
    else if (kind == PropertyKind::Telephone)  // a line break after it is the card's, not its
        value = escapeText(numberText(trimmedPart(text)));
    else if (kind == PropertyKind::Mail)
        value = escapeText(trimmedPart(text));
    else if (compoundValue(raw.name))
        value = escapedCompound(text);
    else
        value = escapeText(text);
    VcardLine line = raw;
    line.group.clear();
    std::vector<std::string> types;
    std::erase_if(line.parameters, [&](const VcardParameter& p) {
        if (p.name == "TYPE") {
            // Each type once, as another program's card is read ("TEL;CELL;CELL").
            for (const std::string& type : componentsOf(p.value, ','))
                if (std::string word = upperAscii(type);
                    !word.empty() && std::find(types.begin(), types.end(), word) == types.end())
                    types.push_back(word);
            return true;
        }
        return p.name == "CHARSET" || p.name == "ENCODING";
    });
    if (kind == PropertyKind::Telephone &&
        std::any_of(types.begin(), types.end(),
                    [](const std::string& t) { return t != "VOICE" && t != "PREF"; }))
        std::erase(types, "VOICE");
    if (kind == PropertyKind::Mail) {
        std::erase(types, "INTERNET");
        types.insert(types.begin(), "INTERNET");
    }
    if (bytes) line.parameters.push_back({"ENCODING", "b"});
    if (!types.empty()) {
        std::string joined;
        for (const std::string& type : types) joined += (joined.empty() ? "" : ",") + type;
        line.parameters.push_back({"TYPE", joined});
    }
    line.value = value;
    return line;
}

std::string numberKeyOf(const VcardLine& line) {
    std::string text = trimBlanks(unescaped(line.value));
    std::string_view value = text;
    if (startsWithIgnoringCase(value, "tel:")) value.remove_prefix(4);
    return numberKey(value);
}

// A date of iOS without a year: "1604-03-10" with X-APPLE-OMIT-YEAR=1604.
std::string dateOf(const VcardLine& line) {
    std::string date = isoDate(trimBlanks(unescaped(line.value)));
    if (auto omitted = line.parameter("X-APPLE-OMIT-YEAR");
        omitted && date.size() == 10 && date.compare(0, 4, *omitted) == 0)
        return "--" + date.substr(5);
    return date;
}

}  // namespace

std::string escapedDate(std::string_view date) {
    std::string out;
    for (size_t i = 0; i < date.size(); ++i) {
        if (date[i] == '\\') {
            out += "\\\\";
        } else if (date[i] == '\r' || date[i] == '\n') {
            out += "\\n";
            if (date[i] == '\r' && i + 1 < date.size() && date[i + 1] == '\n') ++i;
        } else {
            out += date[i];
        }
    }
    return out;
}

namespace {

void addOnce(std::vector<std::string>& list, std::string value) {
    if (!value.empty() && std::find(list.begin(), list.end(), value) == list.end())
        list.push_back(std::move(value));
}

std::uint64_t fnv1a(std::string_view text, std::uint64_t hash) {
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// A type taken off a line's TYPE parameters.
void removeType(VcardLine& line, std::string_view type) {
    for (VcardParameter& parameter : line.parameters) {
        if (parameter.name != "TYPE") continue;
        std::string kept;
        for (const std::string& each : splitAll(parameter.value, ","))
            if (!equalsIgnoringCase(trimBlanks(each), type))
                kept += (kept.empty() ? "" : ",") + each;
        parameter.value = kept;
    }
    std::erase_if(line.parameters,
                  [](const VcardParameter& p) { return p.name == "TYPE" && p.value.empty(); });
}

// What is read from the entry before the person is put together.
struct Reading {
    std::optional<std::string> phoneName;  // the phone's name line, as stored
    std::string phoneReading;              // its SOUND;X-IRMC-N
    std::vector<VcardLine> phoneNumbers, phoneMails;
    std::optional<std::vector<std::string>> keptName;
    std::string keptFormatted;
    std::optional<std::string> keptReadingFamily, keptReadingGiven;
    std::vector<PersonItem> keptNumbers, keptMails;
    std::vector<VcardLine> printedAddresses;    // LABEL lines
    std::map<std::string, std::string> labels;  // group → its X-ABLabel
    std::vector<std::string> makerLabels;       // X-DCM-LABEL…, in their order
};

// Android's own rows ("X-ANDROID-CUSTOM:vnd.android.cursor.item/relation;松田 大輔;14;;…") as
// what they are: a nickname, a related name or a dated event, with Android's type numbers in
// the words iPhones and Google use, a label of the user's own as it is. False for a row of
// another kind, which stays as it came.
bool takeAndroidRow(Person& person, const VcardLine& line) {
    std::vector<std::string> parts;
    splitComponents(line.value, ';', parts);
    parts.resize(std::max<size_t>(parts.size(), 4));
    std::string_view kind = parts[0];
    if (!kind.starts_with("vnd.android.cursor.item/")) return false;
    kind.remove_prefix(24);
    std::string value = trimBlanks(parts[1]);
    std::string custom = trimBlanks(parts[3]);
    int type = std::atoi(parts[2].c_str());
    auto item = [&](std::string name, std::string label) {
        PersonItem made;
        made.line.name = std::move(name);
        made.line.value = escapeText(value);
        made.label = std::move(label);
        return made;
    };
    if (value.empty()) return true;
    if (kind == "nickname") {
        addOnce(person.nicknames, value);
        return true;
    }
    if (kind == "relation") {
        static const char* const kRelations[] = {
            "",        "Assistant",   "Brother",  "Child",  "Domestic Partner",
            "Father",  "Friend",      "Manager",  "Mother", "Parent",
            "Partner", "Referred By", "Relative", "Sister", "Spouse"};
        std::string label = type > 0 && type < 15 ? builtInLabel(kRelations[type]) : custom;
        person.related.push_back(item("X-ABRELATEDNAMES", label));
        return true;
    }
    if (kind == "contact_event") {
        value = isoDate(value);
        if (isPlaceholderDate(value)) return true;
        if (type == 3 && person.birthday.empty()) {
            person.birthday = value;
            return true;
        }
        std::string label = type == 1   ? builtInLabel("Anniversary")
                            : type == 2 ? builtInLabel("Other")
                            : type == 3 ? "Birthday"
                                        : custom;
        PersonItem date = item("X-ABDATE", label);
        date.line.value = value;
        person.dates.push_back(std::move(date));
        return true;
    }
    return false;
}

// One property into its place in the person.
void take(Person& person, Reading& reading, VcardLine line, bool kept) {
    if (holdsNothing(line) && line.name != "N") return;  // an empty N: a business contact
    if (line.name == "X-ANDROID-CUSTOM" && takeAndroidRow(person, line)) return;
    PropertyKind kind = propertyKind(line.name);
    PersonItem item;
    if (!line.group.empty()) {
        if (auto label = reading.labels.find(line.group); label != reading.labels.end())
            item.label = label->second;
    }
    switch (kind) {
        case PropertyKind::Name:
        case PropertyKind::FormattedName:
            // A name in another language, as vCard 4.0 writes it beside the one in use.
            if (kept && line.parameter("ALTID")) {
                item.line = std::move(line);
                person.others.push_back(std::move(item));
                return;
            }
            // A card says one of each; one it said again is kept as it came, and one said
            // twice alike is one.
            if (kept && (kind == PropertyKind::FormattedName ? !reading.keptFormatted.empty()
                                                             : reading.keptName.has_value())) {
                std::vector<std::string> parts = componentsOf(line.value, ';');
                parts.resize(5);
                if (kind == PropertyKind::FormattedName
                        ? trimBlanks(unescaped(line.value)) != reading.keptFormatted
                        : parts != *reading.keptName) {
                    item.line = std::move(line);
                    person.others.push_back(std::move(item));
                }
                return;
            }
            if (kind == PropertyKind::FormattedName) {
                if (kept) reading.keptFormatted = trimBlanks(unescaped(line.value));
                return;
            }
            if (kept) {
                std::vector<std::string> parts = componentsOf(line.value, ';');
                parts.resize(5);
                reading.keptName = std::move(parts);
            }
            return;
        case PropertyKind::Nickname:
            for (std::string& nickname : componentsOf(line.value, ','))
                addOnce(person.nicknames, std::move(nickname));
            return;
        // A reading without the blanks and line breaks around it, as another program's card
        // is read: one of line breaks alone is none.
        case PropertyKind::PhoneticFamily:
        case PropertyKind::PhoneticGiven: {
            std::optional<std::string>& kept = kind == PropertyKind::PhoneticFamily
                                                   ? reading.keptReadingFamily
                                                   : reading.keptReadingGiven;
            if (kept) {
                if (trimmedPart(unescaped(line.value)) != *kept) {
                    item.line = std::move(line);
                    person.others.push_back(std::move(item));
                }
            } else {
                kept = trimmedPart(unescaped(line.value));
            }
            return;
        }
        case PropertyKind::PhoneticMiddle:
            person.readingMiddle = trimmedPart(unescaped(line.value));
            return;
        case PropertyKind::Reading:
            // The entry's reading is its phone's line; one kept beside it is a reading said
            // again, or the first of one, or a SOUND that is a sound clip: it goes out as it
            // came.
            if (kept) {
                item.line = std::move(line);
                person.others.push_back(std::move(item));
            } else if (reading.phoneReading.empty()) {
                reading.phoneReading = unescaped(line.value);
            }
            return;
        case PropertyKind::Telephone:
        case PropertyKind::Mail:
            if (kept) {
                item.line = std::move(line);
                (kind == PropertyKind::Telephone ? reading.keptNumbers : reading.keptMails)
                    .push_back(std::move(item));
            }
            return;
        case PropertyKind::Organization: {
            std::vector<std::string> parts = componentsOf(line.value, ';');
            while (!parts.empty() && parts.back().empty()) parts.pop_back();
            // vCard 4.0 gives the company's reading as how it sorts, "ORG;SORT-AS=みなと:…",
            // which today's phones read from X-PHONETIC-ORG; one of its own stands.
            if (auto sort = line.parameter("SORT-AS");
                sort && person.organizations.empty() && person.readingCompany.empty())
                person.readingCompany = trimBlanks(componentsOf(*sort, ',').front());
            if (!parts.empty()) person.organizations.push_back(std::move(parts));
            return;
        }
        case PropertyKind::PhoneticCompany:
            person.readingCompany = trimBlanks(unescaped(line.value));
            return;
        case PropertyKind::Title:
            addOnce(person.titles, trimBlanks(unescaped(line.value)));
            return;
        case PropertyKind::Role:
            addOnce(person.roles, trimBlanks(unescaped(line.value)));
            return;
        case PropertyKind::Birthday:
            if (isPlaceholderDate(line.value)) return;
            if (person.birthday.empty()) {
                person.birthday = dateOf(line);
                return;
            }
            // A second birthday of another day (a card that says two) is kept as it came.
            if (dateOf(line) == person.birthday) return;
            break;
        case PropertyKind::Date:
            if (isPlaceholderDate(line.value)) return;
            if (line.name.ends_with("-CONTACTS_EVENT") || line.name.ends_with("-CONTACTS-EVENT")) {
                // A phone maker's dated event: "X-DCM-CONTACTS_EVENT;ANNIVERSARY:1965-11-03".
                if (line.hasType("BIRTHDAY") && person.birthday.empty()) {
                    person.birthday = dateOf(line);
                    return;
                }
                if (item.label.empty() && line.hasType("ANNIVERSARY"))
                    item.label = builtInLabel("Anniversary");
                line.name = "X-ABDATE";
                line.parameters.clear();
            } else if (line.name != "X-ABDATE") {
                if (item.label.empty()) item.label = builtInLabel("Anniversary");
                line.name = "X-ABDATE";
            }
            line.value = escapedDate(dateOf(line));
            std::erase_if(line.parameters, [](const VcardParameter& p) {
                return p.name == "X-APPLE-OMIT-YEAR" || p.name == "VALUE";
            });
            break;
        case PropertyKind::AddressLabel:
            reading.printedAddresses.push_back(std::move(line));
            return;
        case PropertyKind::Messenger:
            if (auto service = messengerServiceOf(line.name)) {
                // The older writers' own properties, as IMPP with the service they name.
                // A URI holds no control character: one in the handle is written as the
                // URI writes it ("%0D"), so that the line stays one line.
                std::string value;
                for (char c : trimBlanks(unescaped(line.value))) {
                    auto byte = static_cast<unsigned char>(c);
                    if (byte >= 0x20 && byte != 0x7F) {
                        value.push_back(c);
                    } else {
                        static constexpr char kHex[] = "0123456789ABCDEF";
                        value.append({'%', kHex[byte >> 4], kHex[byte & 15]});
                    }
                }
                line.name = "IMPP";
                line.parameters.insert(line.parameters.begin(),
                                       {"X-SERVICE-TYPE", std::string(*service)});
                line.value = messengerScheme(*service) + ":" + value;
            }
            break;
        case PropertyKind::Related:
            if (line.name == "RELATED") {
                if (item.label.empty())
                    if (auto type = line.parameter("TYPE"); type && !type->empty()) {
                        std::string word = lowerAscii(*type);
                        word[0] = static_cast<char>(word[0] - 'a' + 'A');
                        item.label = builtInLabel(word);
                    }
                line.name = "X-ABRELATEDNAMES";
                line.parameters.clear();
            }
            break;
        case PropertyKind::Note:
            addOnce(person.notes, unescaped(line.value));
            return;
        case PropertyKind::Categories:
            for (std::string& category : componentsOf(line.value, ','))
                addOnce(person.categories, std::move(category));
            return;
        case PropertyKind::GroupName:
            addOnce(person.categories, trimBlanks(unescaped(line.value)));
            return;
        case PropertyKind::Photo:
            // 2.1 says a link is VALUE=URL; vCard 3.0 says VALUE=uri.
            for (VcardParameter& parameter : line.parameters)
                if (parameter.name == "VALUE" && equalsIgnoringCase(parameter.value, "url"))
                    parameter.value = "uri";
            // The person's photo is the first embedded one, else the first link; any other is
            // kept as it came.
            line.group.clear();
            if (!person.photo) {
                person.photo = std::move(line);
                return;
            }
            if (!holdsBytes(*person.photo) && holdsBytes(line)) std::swap(*person.photo, line);
            break;
        case PropertyKind::MakerLabel:
            reading.makerLabels.push_back(trimBlanks(unescaped(line.value)));
            return;
        case PropertyKind::Uid:
            if (person.uid.empty()) person.uid = trimBlanks(line.value);
            return;
        case PropertyKind::MergedUid:
            addOnce(person.mergedUids, trimBlanks(line.value));
            return;
        case PropertyKind::Label:
        case PropertyKind::Structure:
        case PropertyKind::PhoneOnly:
            return;
        default:
            break;
    }
    item.line = std::move(line);
    switch (kind) {
        case PropertyKind::Address:
            person.addresses.push_back(std::move(item));
            return;
        case PropertyKind::Website:
            person.websites.push_back(std::move(item));
            return;
        case PropertyKind::Messenger:
            person.messengers.push_back(std::move(item));
            return;
        case PropertyKind::Related:
            person.related.push_back(std::move(item));
            return;
        case PropertyKind::Date:
            person.dates.push_back(std::move(item));
            return;
        default:
            person.others.push_back(std::move(item));
    }
}

// Each number of the phone's lines with the line the entry kept of it (its types, label and
// written form), one kept line for one number: two numbers on the same digits stay two.
std::vector<PersonItem> matched(const std::vector<VcardLine>& phone, std::vector<PersonItem>& kept,
                                bool numbers) {
    std::vector<bool> used(kept.size(), false);
    std::vector<PersonItem> items;
    // A number's extension, as its key leaves it off.
    auto extensionOf = [](const VcardLine& line) {
        std::string text = trimBlanks(unescaped(line.value));
        if (startsWithIgnoringCase(text, "tel:")) text = text.substr(4);
        return std::string(splitExtension(text).extension);
    };
    for (const VcardLine& line : phone) {
        std::string key =
            numbers ? numberKeyOf(line) : lowerAscii(trimBlanks(unescaped(line.value)));
        std::string extension = numbers ? extensionOf(line) : std::string();
        size_t found = kept.size();
        // Its own extension and kind first, then its extension; a line without one takes a
        // line that has one (the phone's line leaves it off), never the other way round.
        for (int pass = 0; pass < 4 && found == kept.size(); ++pass)
            for (size_t i = 0; i < kept.size(); ++i) {
                if (used[i]) continue;
                const VcardLine& other = kept[i].line;
                std::string otherKey =
                    numbers ? numberKeyOf(other) : lowerAscii(trimBlanks(unescaped(other.value)));
                if (otherKey != key) continue;
                if (numbers && (pass < 2 ? extensionOf(other) != extension : !extension.empty()))
                    continue;
                if (numbers && pass % 2 == 0 && numberClassOf(other) != numberClassOf(line))
                    continue;
                found = i;
                break;
            }
        if (found < kept.size()) {
            used[found] = true;
            items.push_back(kept[found]);
        } else {
            PersonItem item;
            item.line = line;
            items.push_back(std::move(item));
        }
    }
    // A value holding the phone's joiner "<>" has no line of the phone's: its kept line is all.
    for (size_t i = 0; i < kept.size(); ++i)
        if (!used[i] && contains(kept[i].line.value, kJoin)) items.push_back(kept[i]);
    return items;
}

}  // namespace

std::vector<std::string> PersonItem::types() const {
    std::vector<std::string> out;
    for (const VcardParameter& parameter : line.parameters)
        if (parameter.name == "TYPE")
            // A parameter's value escapes nothing: a backslash in it is one.
            for (std::string type : splitAll(parameter.value, ",")) {
                // Control characters are no part of a type word (nor may a parameter hold them).
                std::erase_if(type, isStrayControl);
                if (std::string word = trimmedPart(type); !word.empty())
                    out.push_back(upperAscii(word));
            }
    return out;
}

bool PersonItem::preferred() const {
    if (hasType("PREF")) return true;
    auto pref = line.parameter("PREF");
    return pref && !pref->empty();
}

std::string PersonItem::text() const { return unescaped(line.value); }

std::vector<std::string> PersonItem::components() const {
    std::vector<std::string> parts;
    splitComponents(line.value, ';', parts);
    return parts;
}

std::string Person::company() const {
    return organizations.empty() ? std::string() : organizations.front().front();
}

Person readPerson(const EntryRow& row) {
    Person person;
    Reading reading;
    VcardLine raw;
    // The phone's own lines, as vCard 2.1 lines of its dialect.
    for (int p = 0; p < kCardColumns; ++p) {
        const std::string& value = row.at(p);
        if (value.empty()) continue;
        ColumnKind kind = columnKind(value);
        if (kind == ColumnKind::Numbers || kind == ColumnKind::Mails) {
            // A number or a mail of blanks and line breaks alone is none, as any other card
            // reads it.
            forEachPiece(value, [&](std::string_view piece) {
                if (!parseVcardLine(piece, raw) || holdsOnlyBlanks(raw.value)) return;
                // A piece's number or mail is after its colon, whatever comes before: a type
                // holding the joiner ("TEL;<>:.") leaves a piece of no property.
                if (raw.name.empty()) raw.name = kind == ColumnKind::Numbers ? "TEL" : "EMAIL";
                if ((raw.quotedPrintable() || raw.base64()) && holdsOnlyBlanks(phoneText(raw)))
                    return;
                VcardLine line = phoneLineAs3(raw);
                if (trimBlanks(line.value).empty()) return;
                // Nor is a tel: URI without a number ("tel:", "tel:;ext=5").
                if (kind == ColumnKind::Numbers && !numberInTelUri(unescaped(line.value))) return;
                (kind == ColumnKind::Numbers ? reading.phoneNumbers : reading.phoneMails)
                    .push_back(std::move(line));
            });
            continue;
        }
        if (!parseVcardLine(value, raw)) continue;
        canonicalLine(raw);
        if (value.compare(0, kNameHead.size() + 1, std::string(kNameHead) + ":") == 0) {
            reading.phoneName = raw.value;
            continue;
        }
        if (raw.name == "SOUND" && raw.hasType("X-IRMC-N")) {
            reading.phoneReading = phoneText(raw);
            continue;
        }
        PropertyKind property = propertyKind(raw.name);
        if (property == PropertyKind::Structure || property == PropertyKind::PhoneOnly) continue;
        if (property == PropertyKind::Name) {
            if (!reading.phoneName) reading.phoneName = phoneText(raw);
            continue;
        }
        take(person, reading, phoneLineAs3(raw), false);
    }
    // What the entry keeps beyond them: labels first, so that each line finds its own.
    std::vector<VcardLine> kept;
    for (const std::string& extra : row.extras) {
        if (!parseVcardLine(extra, raw)) continue;
        canonicalLine(raw);
        if (raw.name == "X-ABLABEL" && !raw.group.empty())
            reading.labels.emplace(raw.group, unescaped(raw.value));
        kept.push_back(raw);
    }
    for (VcardLine& line : kept) take(person, reading, std::move(line), true);

    // The name: the kept N in all its parts while the phone's name is still the one it gave.
    // The kept N and FN hold while the phone's name is still the one they gave it: N's family
    // and given name, the display name (FN), or the name built from N's parts.
    std::string phoneName = reading.phoneName.value_or("");
    // A line break within a name is the phone's CR LF in its line, and one character in a kept
    // line: compared as one.
    std::string phoneNameText = lineFeedsOnly(phoneName);
    bool formattedHolds =
        !reading.keptFormatted.empty() && phoneNameText == lineFeedsOnly(reading.keptFormatted);
    bool keptNameHolds = false;
    if (reading.keptName) {
        Person named;
        named.name = *reading.keptName;
        std::string joined = joinedName((*reading.keptName)[0], (*reading.keptName)[1]);
        // The phone's line may hold the name cut to the characters it keeps.
        joined = lineFeedsOnly(joined);
        keptNameHolds = formattedHolds || joined == phoneNameText ||
                        lineFeedsOnly(builtName(named)) == phoneNameText ||
                        (characterCount(joined) > kPhoneNameLength &&
                         leftCharacters(joined, kPhoneNameLength) == phoneNameText);
    }
    // An N of no name (empty, or of a title alone) kept beside a company's name in the phone's
    // line: a business contact; beside its nickname (where it has no company): a card named by
    // that alone.
    bool business =
        reading.keptName &&
        std::all_of(reading.keptName->begin(), reading.keptName->begin() + 3,
                    [](const std::string& part) { return trimmedPart(part).empty(); }) &&
        !phoneName.empty() &&
        (phoneName == person.company() || (person.company().empty() && !person.nicknames.empty() &&
                                           phoneName == person.nicknames.front()));
    if (business) {
        // No person's name (a title at most): shown by its company.
        person.name = *reading.keptName;
    } else if (keptNameHolds) {
        person.name = *reading.keptName;
    } else if (!phoneName.empty()) {
        person.wholeName = !contains(phoneName, ";");
        if (person.wholeName) {
            person.name[1] = trimmedPart(phoneName);
        } else {
            // Feature phones write all five parts ("小山;和子;;;"), the V401SH only two.
            std::vector<std::string> parts = phoneNameParts(phoneName);
            for (size_t i = 0; i < parts.size() && i < 5; ++i) person.name[i] = parts[i];
            if (parts.size() > 5)  // more parts than N has: the rest stays with the last
                for (size_t i = 5; i < parts.size(); ++i)
                    if (!parts[i].empty()) person.name[4] += ";" + parts[i];
        }
    }
    // A line break within a part is one character, as a kept line has it: the phone's line
    // may hold it as CR LF or a CR alone.
    for (std::string& part : person.name) part = lineFeedsOnly(fullWidthKatakana(part));
    if (!reading.keptFormatted.empty() && (keptNameHolds || formattedHolds))
        person.formatted = reading.keptFormatted;

    // Readings as they came where the entry kept them, else the phone's, widened; a line
    // break around the phone's is the card's, not the reading's.
    std::string family = trimmedPart(pieceAt(reading.phoneReading, ";", 0));
    std::string given = trimmedPart(pieceAt(reading.phoneReading, ";", 1));
    person.readingFamily = reading.keptReadingFamily.value_or(fullWidthKatakana(family));
    person.readingGiven = reading.keptReadingGiven.value_or(fullWidthKatakana(given));
    // A business contact's reading line in the phone is its company's.
    if (business && person.readingGiven.empty() && person.readingFamily == person.readingCompany)
        person.readingFamily.clear();

    person.numbers = matched(reading.phoneNumbers, reading.keptNumbers, true);
    person.mails = matched(reading.phoneMails, reading.keptMails, false);
    // A type of a writer's own ("TEL;X-LINE:", as Android writes a LINE number) is the label
    // it gives the number.
    for (PersonItem& number : person.numbers) {
        if (!number.label.empty()) continue;
        for (const std::string& type : number.types())
            if (type.size() > 2 && type.starts_with("X-")) {
                number.label = type.substr(2);
                removeType(number.line, type);
                break;
            }
    }
    // A phone maker's label names the number of its own type before it ("TEL;CUSTOM:…" then
    // "X-DCM-LABEL:実家"), in their order.
    for (const std::string& label : reading.makerLabels) {
        auto custom = std::find_if(
            person.numbers.begin(), person.numbers.end(),
            [](const PersonItem& n) { return n.label.empty() && n.hasType("CUSTOM"); });
        if (custom != person.numbers.end()) {
            custom->label = label;
            removeType(custom->line, "CUSTOM");
        }
    }

    // Each printed address with its own: by its group, else by its types.
    for (VcardLine& printed : reading.printedAddresses) {
        PersonItem* address = nullptr;
        for (PersonItem& candidate : person.addresses)
            if (candidate.printed.empty() &&
                (printed.group.empty()
                     ? candidate.line.group.empty() &&
                           candidate.types() == PersonItem{printed, "", ""}.types()
                     : candidate.line.group == printed.group)) {
                address = &candidate;
                break;
            }
        if (address) {
            address->printed = unescaped(printed.value);
        } else {
            person.others.push_back(PersonItem{std::move(printed), "", ""});
        }
    }
    return person;
}

namespace {

// The name built from the five parts of N, as builtName says.
std::string nameOfParts(const std::vector<std::string>& parts) {
    const std::string &family = parts[0], &given = parts[1], &middle = parts[2], &prefix = parts[3],
                      &suffix = parts[4];
    std::string core;
    // A name with kanji or kana in it is Japanese, family name first, even where a part holds
    // a Latin letter or a digit ("山田;太郎(会社)", "林;修95").
    if (hasJapaneseScript(family) || hasJapaneseScript(given) || hasJapaneseScript(middle)) {
        core.append(family).append(middle).append(given);
    } else {
        for (const std::string* part : {&given, &middle, &family})
            if (!part->empty()) core.append(core.empty() ? "" : " ").append(*part);
    }
    if (core.empty()) return "";
    std::string name = prefix.empty() ? core : prefix + " " + core;
    return suffix.empty() ? name : name + " " + suffix;
}

}  // namespace

std::string builtName(const Person& person) {
    if (person.wholeName) return person.name[1];
    return nameOfParts(person.name);
}

std::string numberAsText(std::string_view value) {
    if (!startsWithIgnoringCase(value, "tel:")) return trimmedPart(value);
    std::string text(value.substr(4));
    if (size_t ext = lowerAscii(text).find(";ext="); ext != std::string::npos)
        text = text.substr(0, ext) + " ext. " + text.substr(ext + 5);
    // Without the tabs and line breaks around it, as a number is read: "tel:+\t" is "+".
    return trimmedPart(text);
}

std::string displayName(const Person& person) {
    if (!person.formatted.empty()) return person.formatted;
    if (std::string name = builtName(person); !name.empty()) return name;
    if (!person.company().empty()) return person.company();
    if (!person.nicknames.empty()) return person.nicknames.front();
    if (!person.numbers.empty()) return trimBlanks(numberAsText(person.numbers.front().text()));
    if (!person.mails.empty()) return trimBlanks(person.mails.front().text());
    return "";
}

std::vector<std::string> keptNameLines(const std::vector<std::string>& parts,
                                       std::string_view formatted, std::string_view phoneName,
                                       bool wholeName, bool wholeFormatted) {
    std::vector<std::string> name(5);
    for (size_t i = 0; i < parts.size() && i < 5; ++i) name[i] = trimBlanks(parts[i]);
    std::string joined = joinedName(name[0], name[1]);
    bool named = !joined.empty();
    // A display name kept whole where the card has none is the one its parts make.
    std::string built;
    if (wholeFormatted && formatted.empty() && named) formatted = built = nameOfParts(name);
    bool keepFormatted =
        !formatted.empty() && ((named && formatted != nameOfParts(name)) || wholeFormatted);
    auto said = [](const std::string& part) { return !part.empty(); };
    // A family name alone would read as a name typed whole.
    bool moreParts = std::any_of(name.begin() + 2, name.end(), said) ||
                     (!name[0].empty() && name[1].empty()) || (named && joined != phoneName) ||
                     wholeName;
    // The phone's line reads back as other parts where the family name ends in "\", which
    // escapes the ";" after it: N is kept whole (as it is anyway beside a display name kept).
    if (named && !moreParts && !keepFormatted && contains(phoneName, ";")) {
        std::vector<std::string> read = phoneNameParts(phoneName);
        moreParts =
            read.size() != 2 || read[0] != trimmedPart(name[0]) || read[1] != trimmedPart(name[1]);
    }
    std::vector<std::string> lines;
    if (moreParts || (keepFormatted && named)) {
        std::string n = "N:";
        for (size_t i = 0; i < 5; ++i) appendEscapedText(n.append(i ? ";" : ""), name[i]);
        lines.push_back(std::move(n));
    }
    if (keepFormatted) lines.push_back("FN:" + escapeText(formatted));
    return lines;
}

std::optional<std::string> keptReadingLine(std::string_view property, std::string_view reading) {
    std::string text = trimBlanks(reading);
    if (text.empty() ||
        (fullWidthKatakana(halfWidthKatakana(text)) == text && !contains(text, ";")))
        return std::nullopt;
    return std::string(property) + ":" + escapeText(text);
}

std::string isoDate(std::string_view date) {
    std::string text = trimBlanks(date);
    std::string_view view = text;
    if (size_t t = view.find('T'); t != std::string_view::npos && t >= 4) view = view.substr(0, t);
    auto digitsOnly = [](std::string_view part) {
        return !part.empty() &&
               std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    auto twoDigits = [](std::string_view part) {
        return part.size() == 1 ? "0" + std::string(part) : std::string(part);
    };
    if (view.substr(0, 2) == "--") {
        std::string_view rest = view.substr(2);
        if (rest.size() == 4 && digitsOnly(rest))
            return "--" + std::string(rest.substr(0, 2)) + "-" + std::string(rest.substr(2));
        if (rest.size() == 5 && rest[2] == '-' && digitsOnly(rest.substr(0, 2)) &&
            digitsOnly(rest.substr(3)))
            return std::string(view);
        return text;
    }
    if (view.size() == 8 && digitsOnly(view))
        return std::string(view.substr(0, 4)) + "-" + std::string(view.substr(4, 2)) + "-" +
               std::string(view.substr(6));
    for (char separator : {'-', '/', '.'}) {
        size_t first = view.find(separator);
        if (first != 4) continue;
        size_t second = view.find(separator, first + 1);
        if (second == std::string_view::npos) continue;
        std::string_view year = view.substr(0, 4), month = view.substr(5, second - 5),
                         day = view.substr(second + 1);
        if (!digitsOnly(year) || !digitsOnly(month) || !digitsOnly(day) || month.size() > 2 ||
            day.size() > 2)
            continue;
        return std::string(year) + "-" + twoDigits(month) + "-" + twoDigits(day);
    }
    // Outlook's "5/1/1980": month, day, year.
    if (size_t first = view.find('/'), last = view.rfind('/');
        first != std::string_view::npos && last != first && last + 5 == view.size()) {
        std::string_view month = view.substr(0, first),
                         day = view.substr(first + 1, last - first - 1),
                         year = view.substr(last + 1);
        if (digitsOnly(month) && digitsOnly(day) && digitsOnly(year) && month.size() <= 2 &&
            day.size() <= 2 && year != "0000")
            return std::string(year) + "-" + twoDigits(month) + "-" + twoDigits(day);
    }
    return text;
}

bool isCalendarDate(std::string_view iso) {
    auto number = [](std::string_view digits) {
        int value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return -1;
            value = value * 10 + (c - '0');
        }
        return digits.empty() ? -1 : value;
    };
    int year = 2000, month, day;  // without a year, 29 February is a day
    if (iso.size() == 7 && iso.substr(0, 2) == "--" && iso[4] == '-') {
        month = number(iso.substr(2, 2));
        day = number(iso.substr(5, 2));
    } else if (iso.size() == 10 && iso[4] == '-' && iso[7] == '-') {
        year = number(iso.substr(0, 4));
        month = number(iso.substr(5, 2));
        day = number(iso.substr(8, 2));
    } else {
        return false;
    }
    if (year < 0 || month < 1 || month > 12 || day < 1) return false;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= (month == 2 && !leap ? 28 : kDays[month - 1]);
}

bool isPlaceholderDate(std::string_view date) {
    // A date's three parts, each of zeros ("0/0/00"); "0.0" or "/0/" is no date.
    std::string text = trimBlanks(date);
    int parts = 1;
    size_t digits = 0;
    for (char c : text) {
        if (c == '0') {
            ++digits;
        } else if ((c == '/' || c == '-' || c == '.') && digits > 0) {
            ++parts;
            digits = 0;
        } else {
            return false;
        }
    }
    return parts == 3 && digits > 0;
}

NumberClass numberClassOf(const VcardLine& line) {
    if (line.hasType("HOME")) return NumberClass::Home;
    if (line.hasType("CELL")) return NumberClass::Cell;
    if (line.hasType("WORK")) return NumberClass::Work;
    return NumberClass::Other;
}

std::string numberText(std::string_view number) { return trimBlanks(asciiNumber(number)); }

std::string keptLine(const VcardLine& line, std::string_view text) {
    std::string kept;
    kept.reserve(line.group.size() + line.name.size() + text.size() + 32);
    if (!line.group.empty()) kept.append(line.group).append(".");
    kept.append(line.name);
    bool base64 = line.base64();
    size_t typeCount = 0;
    // By the name it is written with: "TYPE\"" is written as TYPE.
    auto named = [](const VcardParameter& parameter, std::string_view name) {
        return parameter.name == name || writtenAs(parameter.name, name);
    };
    for (const VcardParameter& parameter : line.parameters) {
        if (named(parameter, "TYPE")) ++typeCount;
        if (named(parameter, "CHARSET") || named(parameter, "ENCODING") || named(parameter, "TYPE"))
            continue;
        appendParameter(kept, parameter.name, parameter.value);
    }
    if (base64) kept.append(";ENCODING=b");
    // Every TYPE as one list, after the other parameters.
    std::string types;
    bool typed = false;
    for (size_t p = 0; typeCount > 0 && p < line.parameters.size(); ++p) {
        const VcardParameter& parameter = line.parameters[p];
        if (!named(parameter, "TYPE") || (!typed && parameter.value.empty())) continue;
        types.append(typed ? "," : "").append(parameter.value);
        typed = true;
    }
    if (typed) appendParameter(kept, "TYPE", types);
    kept += ':';
    if (base64) {
        // Folds and the blanks of 2.1's indented lines are no part of the data.
        for (char c : line.value)
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n') kept += c;
        return kept;
    }
    // As text in UTF-8, line breaks escaped as vCard 3.0 writes them.
    while (!text.empty()) {
        size_t stop = std::min(text.find('\r'), text.find('\n'));
        kept.append(text.substr(0, stop));
        if (stop == std::string_view::npos) break;
        kept.append("\\n");
        if (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n') ++stop;
        text.remove_prefix(stop + 1);
    }
    return kept;
}

std::string uidOf(const Person& person, const EntryRow& row, std::string_view seed,
                  std::unordered_map<std::uint64_t, size_t>& seen) {
    if (!person.uid.empty()) return person.uid;
    if (!seed.empty()) return entryUid(seed, row.id);
    std::uint64_t a = 0xcbf29ce484222325ULL, b = 0x84222325cbf29ce4ULL;
    for (const std::optional<std::string>& column : row.columns) {
        if (!column) break;
        // The memory-dial number changes with the list; the person does not.
        if (startsWithIgnoringCase(*column, "X-JPG-MDNO:")) continue;
        a = fnv1a(*column, a);
        b = fnv1a(*column, b ^ 0x9e3779b97f4a7c15ULL);
    }
    for (const std::string& extra : row.extras) a = fnv1a(extra, a);
    size_t twin = seen[a]++;
    b ^= twin * 0x9e3779b97f4a7c15ULL;
    char text[64];
    std::snprintf(text, sizeof text, "urn:uuid:%08x-%04x-5%03x-%04x-%012llx",
                  static_cast<unsigned>(a >> 32), static_cast<unsigned>((a >> 16) & 0xFFFF),
                  static_cast<unsigned>(a & 0xFFF),
                  static_cast<unsigned>(0x8000 | ((b >> 48) & 0x3FFF)),
                  static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFULL));
    return text;
}

}  // namespace tsunagi
