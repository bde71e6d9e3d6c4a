#include "import/csv_import.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <tuple>

#include "card/checks.h"
#include "card/dialect.h"
#include "card/person.h"
#include "card/properties.h"
#include "card/unicode.h"
#include "card/vcard_line.h"
#include "import/csv_headings.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

// The name of Google's layout, for messages.
constexpr const char* kGoogleLayout = "Google 連絡先";

// Whether kept lines hold something of a person: a value beyond separators and blanks, other
// than a label's.
bool holdSomething(const std::vector<std::string>& extras) {
    VcardLine line;
    for (const std::string& extra : extras)
        if (parseVcardLine(extra, line) && line.name != "X-ABLABEL" && !holdsNothing(line))
            return true;
    return false;
}

// A heading as compared: blanks at both ends and a trailing colon go ("自宅電話番号 :").
std::string headingText(const std::string& heading) {
    std::string text = trimBlanks(heading);
    if (!text.empty() && text.back() == ':') text = trimBlanks(text.substr(0, text.size() - 1));
    if (text.size() >= 3 && text.compare(text.size() - 3, 3, "：") == 0)
        text = trimBlanks(text.substr(0, text.size() - 3));
    return text;
}

// The number type that a heading naming a telephone stands for; nothing for a heading that
// names none.
// The number type that a label or a heading stands for by its words ("Mobile", "Work Fax",
// "自宅電話", "Car Phone"): the one word table of every CSV layout.
CsvRole roleOfLabel(const std::string& label) {
    std::string lower = lowerAscii(trimBlanks(label));
    auto has = [&lower](std::initializer_list<const char*> words) {
        return std::any_of(words.begin(), words.end(),
                           [&lower](const char* word) { return contains(lower, word); });
    };
    if (has({"mobile", "cell", "携帯", "car", "自動車"})) return CsvRole::Mobile;
    if (has({"home", "自宅"})) return CsvRole::Home;
    if (has({"work", "business", "company", "会社", "勤務"})) return CsvRole::Work;
    return CsvRole::Other;
}

std::optional<CsvRole> numberRoleOf(const std::string& heading) {
    std::string lower = lowerAscii(heading);
    if (contains(lower, "phonetic")) return std::nullopt;  // a reading ("Phonetic Middle Name")
    bool telephone = false;
    for (const char* word : {"電話", "fax", "ファックス", "ﾌｧｯｸｽ", "ポケットベル", "phone", "pager",
                             "telex", "isdn", "callback", "tty/tdd"})
        if (contains(lower, word)) telephone = true;
    if (!telephone) return std::nullopt;
    return roleOfLabel(heading);
}

bool hasColumnAt(const CsvLayout& layout, int position) {
    return std::any_of(layout.columns.begin(), layout.columns.end(),
                       [position](const CsvColumn& c) { return c.position == position; });
}

// Every other column whose heading names a telephone is a number of its best type, after
// those of the layout itself.
void addNumberColumns(CsvLayout& layout, const std::vector<std::string>& headings) {
    for (int p = 0; p < static_cast<int>(headings.size()); ++p) {
        if (hasColumnAt(layout, p)) continue;
        if (std::optional<CsvRole> role = numberRoleOf(headingText(headings[p])))
            layout.columns.push_back({p, *role});
    }
}

std::string fieldAt(const std::vector<std::string>& fields, int position) {
    if (position < 0 || position >= static_cast<int>(fields.size())) return {};
    return trimBlanks(fields[position]);
}

// The Japanese layout, found by parts of its headings as Windows' address book and our own
// export write them ("自宅電話番号 :", "携帯電話 ").
std::optional<CsvLayout> japaneseLayout(const std::vector<std::string>& headings) {
    CsvLayout layout{"日本語のアドレス帳", {}, true, {}};
    int name = -1, mail = -1, home = -1, fax = -1, mobile = -1;
    for (int p = 0; p < static_cast<int>(headings.size()); ++p) {
        const std::string& heading = headings[p];
        std::string trimmed = trimBlanks(heading);
        if (trimmed == "表示名")
            name = p;
        else if (trimmed == "電子メール アドレス")
            mail = p;
        else if (contains(heading, "自宅電話番号"))
            home = p;
        else if (contains(heading, "自宅ファックス"))
            fax = p;
        else if (contains(heading, "携帯電話"))
            mobile = p;
        else if (trimmed == "姓")
            layout.columns.push_back({p, CsvRole::Family});
        else if (trimmed == "名")
            layout.columns.push_back({p, CsvRole::Given});
        else if (trimmed == "電子メール 2 アドレス" || trimmed == "電子メール 3 アドレス")
            layout.columns.push_back({p, CsvRole::Mail});
        else if (trimmed == "勤務先電話番号")
            layout.columns.push_back({p, CsvRole::Work});
        else if (trimmed == "会社名")
            layout.columns.push_back({p, CsvRole::Company});
        else if (std::optional<CsvRole> role = japaneseRoleOf(nameKey(headingText(heading))))
            layout.columns.push_back({p, *role});
    }
    if (name < 0 && mail < 0 && home < 0 && fax < 0 && mobile < 0 && layout.columns.empty())
        return std::nullopt;
    // The first of two matching headings gives way to the later, as the columns are read.
    if (name >= 0) layout.columns.push_back({name, CsvRole::Name});
    if (mail >= 0) layout.columns.push_back({mail, CsvRole::Mail});
    // Every number of the line: home, then the fax column (which carries the office), then
    // mobile, then the other Japanese number columns.
    std::vector<CsvColumn> numbers;
    if (home >= 0) numbers.push_back({home, CsvRole::Home});
    if (fax >= 0) numbers.push_back({fax, CsvRole::Work});
    if (mobile >= 0) numbers.push_back({mobile, CsvRole::Mobile});
    for (const CsvColumn& column : layout.columns)
        if (column.role == CsvRole::Work) numbers.push_back(column);
    std::erase_if(layout.columns, [](const CsvColumn& c) { return c.role == CsvRole::Work; });
    layout.columns.insert(layout.columns.end(), numbers.begin(), numbers.end());
    addNumberColumns(layout, headings);
    return layout;
}

// "Phone 2 - Value" gives 2 and "value"; anything else nothing.
std::optional<std::pair<int, std::string>> numbered(const std::string& heading,
                                                    std::string_view prefix) {
    if (heading.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    size_t i = prefix.size();
    int number = 0;
    // A few digits at most: no address book has ten thousand phone columns.
    while (i < heading.size() && std::isdigit(static_cast<unsigned char>(heading[i])) &&
           number < 10000)
        number = number * 10 + (heading[i++] - '0');
    if (number == 0 || number >= 10000 || heading.compare(i, 3, " - ") != 0) return std::nullopt;
    return std::make_pair(number, heading.substr(i + 3));
}

// The layouts of Google Contacts (today's and the older one), Outlook in English and
// Thunderbird, by their headings compared without regard to case.
std::optional<CsvLayout> englishLayout(const std::vector<std::string>& headings) {
    static const std::pair<const char*, CsvRole> kHeadings[] = {
        {"name", CsvRole::Name},
        {"display name", CsvRole::Name},
        {"last name", CsvRole::Family},
        {"family name", CsvRole::Family},
        {"first name", CsvRole::Given},
        {"given name", CsvRole::Given},
        {"phonetic last name", CsvRole::ReadingFamily},
        {"family name yomi", CsvRole::ReadingFamily},
        {"phonetic first name", CsvRole::ReadingGiven},
        {"given yomi", CsvRole::ReadingGiven},
        {"surname yomi", CsvRole::ReadingFamily},
        {"given name yomi", CsvRole::ReadingGiven},
        {"yomi name", CsvRole::Reading},
        {"e-mail address", CsvRole::Mail},
        {"e-mail 2 address", CsvRole::Mail},
        {"e-mail 3 address", CsvRole::Mail},
        {"primary email", CsvRole::Mail},
        {"secondary email", CsvRole::Mail},
        {"home phone", CsvRole::Home},
        {"home phone 2", CsvRole::Home},
        {"business phone", CsvRole::Work},
        {"business phone 2", CsvRole::Work},
        {"work phone", CsvRole::Work},
        {"company main phone", CsvRole::Work},
        {"mobile phone", CsvRole::Mobile},
        {"mobile number", CsvRole::Mobile},
        {"other phone", CsvRole::Other},
        {"primary phone", CsvRole::Other},
        {"fax number", CsvRole::Other},
        {"pager number", CsvRole::Other},
        {"organization name", CsvRole::Company},
        {"organization", CsvRole::Company},
        {"company", CsvRole::Company},
        {"file as", CsvRole::FileAs},
    };
    CsvLayout layout{"", {}, false, {}};
    bool google = false, thunderbird = false;
    for (int p = 0; p < static_cast<int>(headings.size()); ++p) {
        std::string heading = lowerAscii(trimBlanks(headings[p]));
        if (heading == "primary email") thunderbird = true;
        // Google's own columns, which a book of no number or mail has all the same.
        if (heading == "labels" || heading == "group membership" ||
            heading == "phonetic first name")
            google = true;
        bool known = false;
        for (const auto& [text, role] : kHeadings)
            if (heading == text) {
                layout.columns.push_back({p, role});
                known = true;
            }
        if (known) continue;
        for (auto [prefix, label, value] :
             {std::tuple{"phone ", CsvRole::PhoneLabel, CsvRole::PhoneValue},
              std::tuple{"e-mail ", CsvRole::MailLabel, CsvRole::MailValue}}) {
            if (auto group = numbered(heading, prefix)) {
                google = true;
                if (group->second == "value")
                    layout.columns.push_back({p, value, group->first});
                else if (group->second == "label" || group->second == "type")
                    layout.columns.push_back({p, label, group->first});
            }
        }
    }
    bool useful = std::any_of(layout.columns.begin(), layout.columns.end(), [](const CsvColumn& c) {
        return c.role != CsvRole::PhoneLabel && c.role != CsvRole::MailLabel;
    });
    if (!useful) return std::nullopt;
    layout.name = google ? kGoogleLayout : thunderbird ? "Thunderbird" : "Outlook";
    addNumberColumns(layout, headings);
    return layout;
}

// Several values of one kind in one cell, as Google joins them.
std::vector<std::string> cellValues(const std::string& cell) {
    std::vector<std::string> values;
    size_t start = 0;
    for (;;) {
        size_t end = cell.find(" ::: ", start);
        std::string value =
            trimBlanks(cell.substr(start, end == std::string::npos ? end : end - start));
        if (!value.empty()) values.push_back(value);
        if (end == std::string::npos) return values;
        start = end + 5;
    }
}

// The label Google gives every contact: it says nothing of the person.
constexpr std::string_view kEveryContactsLabel = "* myContacts";

// Whether a cell of Google's labels holds that label alone, which nothing is kept of.
bool onlyEveryContactsLabel(const std::string& heading, const std::string& cell) {
    std::string lower = lowerAscii(headingText(heading));
    if (lower != "labels" && lower != "group membership") return false;
    std::vector<std::string> labels = cellValues(cell);
    return std::all_of(labels.begin(), labels.end(),
                       [](const std::string& label) { return label == kEveryContactsLabel; });
}

NumberClass numberClassOf(CsvRole role) {
    switch (role) {
        case CsvRole::Home:
            return NumberClass::Home;
        case CsvRole::Work:
            return NumberClass::Work;
        case CsvRole::Mobile:
            return NumberClass::Cell;
        default:
            return NumberClass::Other;
    }
}

// The labels of Google's numbered phone and mail groups in one line, by group number.
std::pair<std::map<int, std::string>, std::map<int, std::string>> labelsOf(
    const CsvLayout& layout, const std::vector<std::string>& fields) {
    std::map<int, std::string> phoneLabels, mailLabels;
    for (const CsvColumn& column : layout.columns) {
        if (column.role == CsvRole::PhoneLabel)
            phoneLabels[column.group] = fieldAt(fields, column.position);
        if (column.role == CsvRole::MailLabel)
            mailLabels[column.group] = fieldAt(fields, column.position);
    }
    return {phoneLabels, mailLabels};
}

// The vCard types of a number's label or heading ("Work Fax" → WORK,FAX), and whether the
// label is one of the usual ones (a custom one is kept as the label itself).
std::pair<std::string, bool> numberTypes(const std::string& label) {
    std::string lower = lowerAscii(trimBlanks(label));
    if (!lower.empty() && lower[0] == '*') lower = trimBlanks(lower.substr(1));
    // Google's own words first, so that each comes back as the types it was written from.
    if (auto types = typesOfGoogleLabel(GoogleGroup::Phone, lower))
        return {types->empty() ? "VOICE" : *types, true};
    std::vector<std::string> types;
    auto has = [&](std::initializer_list<const char*> words) {
        for (const char* word : words)
            if (contains(lower, word)) return true;
        return false;
    };
    switch (roleOfLabel(lower)) {
        case CsvRole::Mobile:
            types.push_back("CELL");
            break;
        case CsvRole::Home:
            types.push_back("HOME");
            break;
        case CsvRole::Work:
            types.push_back("WORK");
            break;
        default:
            break;
    }
    if (has({"fax", "ファックス"})) types.push_back("FAX");
    if (has({"pager", "ポケットベル"})) types.push_back("PAGER");
    if (has({"main"})) types.push_back("MAIN");
    if (has({"isdn"})) types.push_back("ISDN");
    bool usual = !types.empty() || lower.empty() || lower == "other" || contains(lower, "phone") ||
                 contains(lower, "電話");
    if (types.empty()) types.push_back("VOICE");
    std::string joined;
    for (const std::string& type : types) joined += (joined.empty() ? "" : ",") + type;
    return {joined, usual};
}

// A whole name or reading parted at its first blank, half- or full-width ("山田　太郎" gives
// "山田" and "太郎"); without a blank all of it is the first.
std::pair<std::string, std::string> partedAtBlank(const std::string& value) {
    size_t half = value.find(' '), full = value.find("\u3000");
    size_t at = std::min(half, full);
    if (at == std::string::npos) return {trimBlanks(value), ""};
    std::string rest = value.substr(at + (at == full ? 3 : 1));
    while (rest.compare(0, 3, "\u3000") == 0) rest = rest.substr(3);
    return {trimBlanks(value.substr(0, at)), trimBlanks(rest)};
}

// Whether a column's heading (in lower case) names a date: a birthday, an anniversary, an
// event's date, in Outlook's and Google's words, English or Japanese.
bool isDateHeading(std::string_view lower) {
    for (std::string_view word : {"birthday", "anniversary", "date", "event", "誕生", "記念日"})
        if (contains(lower, word)) return true;
    return false;
}

// A label of Google's in vCard terms: its types where it is one of Google's own words, else
// the label itself for an X-ABLabel (built-in words of dates and relations as iPhones write
// them).
struct LabelParts {
    std::string types;  // ";TYPE=HOME", or ""
    std::string label;  // "" where the types say it all
    bool preferred = false;
};

LabelParts labelParts(GoogleGroup group, const std::string& written) {
    LabelParts parts;
    std::string label = trimBlanks(written);
    // A custom field's label is its name, which no field is preferred by: a "*" in it is its own.
    if (group == GoogleGroup::CustomField) {
        parts.label = label;
        return parts;
    }
    parts.preferred = isPrimaryLabel(label);
    if (parts.preferred) label = trimBlanks(withoutPrimaryMark(label));
    if (group == GoogleGroup::Relation || group == GoogleGroup::Event) {
        parts.label = builtInLabel(label);
        return parts;
    }
    if (auto types = typesOfGoogleLabel(group, label)) {
        std::string list = *types;
        if (parts.preferred) list += list.empty() ? "pref" : ",pref";
        if (!list.empty()) parts.types = ";TYPE=" + list;
    } else {
        parts.label = label;
        if (parts.preferred) parts.types = ";TYPE=pref";
    }
    return parts;
}

// A custom field whose label names a property ("ROLE", "X-ABADR", "N;ALTID=1;LANGUAGE=en", as
// our own export writes a line no column holds) is that property again.
// Each parameter after the name is written "NAME=value": a label such as "F;" names nothing.
bool namesProperty(const std::string& label) {
    // Names as ours write them: upper case, digits and "-".
    auto isName = [](std::string_view name) {
        return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
            return std::isupper(static_cast<unsigned char>(c)) ||
                   std::isdigit(static_cast<unsigned char>(c)) || c == '-';
        });
    };
    std::string_view name = std::string_view(label).substr(0, label.find(';'));
    if (!isName(name) || !std::isupper(static_cast<unsigned char>(name[0]))) return false;
    // Numbers, mails, addresses and notes are all in Google's own columns, whatever their
    // parameters: a label of such a name ("TEL;TYPE=CELL", a book's heading) is the user's word.
    for (std::string_view inColumns : {"TEL", "EMAIL", "ADR", "NOTE"})
        if (name == inColumns) return false;
    // A ";" within a quoted value ("TYPE=\";\"", as ours quote it) ends no parameter.
    auto nextSemicolon = [&label](size_t from) {
        bool quoted = false;
        for (size_t i = from; i < label.size(); ++i) {
            if (label[i] == '"') quoted = !quoted;
            if (label[i] == ';' && !quoted) return i;
        }
        return label.size();
    };
    for (size_t at = name.size(); at < label.size();) {
        size_t end = nextSemicolon(at + 1);
        size_t equals = label.find('=', at + 1);
        // A parameter's name is written in upper case as it was read: one with a small letter
        // ("N;e=", a book's heading) names nothing.
        std::string_view parameter = std::string_view(label).substr(at + 1, equals - at - 1);
        if (equals == std::string::npos || equals <= at + 1 || equals >= end ||
            std::any_of(parameter.begin(), parameter.end(),
                        [](char c) { return c >= 'a' && c <= 'z'; }))
            return false;
        at = end;
    }
    // A property that a person holds in Google's columns alone, every one of it, is never
    // written as a custom field of its name alone: such a label ("N", the heading of a column
    // of a book) is the user's word.
    return name.size() != label.size() || !inGoogleColumns(name);
}

// The place and part of an address column of Outlook and Thunderbird ("Home Street",
// "Business Postal Code", "Work ZipCode"); nothing for any other heading.
std::optional<std::pair<std::string, int>> addressColumn(const std::string& lower) {
    static const std::pair<const char*, int> kParts[] = {
        {"po box", 0},   {"street 2", 1},       {"street 3", 1}, {"address 2", 1},   {"street", 2},
        {"address", 2},  {"city", 3},           {"state", 4},    {"postal code", 5}, {"zipcode", 5},
        {"zip code", 5}, {"country/region", 6}, {"country", 6}};
    for (const char* place : {"home ", "business ", "work ", "other "}) {
        if (lower.compare(0, std::strlen(place), place) != 0) continue;
        std::string rest = lower.substr(std::strlen(place));
        for (const auto& [word, part] : kParts)
            if (rest == word) return std::make_pair(std::string(place), part);
    }
    return std::nullopt;
}

// A Japanese column's value in its place: the name's suffix, the address's parts, the company's
// department, the title, the birthday (whole, or in Thunderbird's three columns), the note.
void japaneseField(JapaneseField field, const std::string& value, const std::string& written,
                   bool birthParts, std::vector<std::string>& name,
                   std::map<int, std::map<std::string, std::string>>& organizations,
                   std::vector<std::string>& address, std::vector<std::string>& birth,
                   std::vector<std::string>& extras) {
    address.resize(7);
    auto addTo = [&address](size_t part, std::string text) {
        address[part] += (address[part].empty() ? "" : " ") + trimBlanks(text);
    };
    switch (field) {
        case JapaneseField::NameSuffix:
            name[4] = value;
            break;
        case JapaneseField::PostalCode:
            addTo(5, value.compare(0, 3, "〒") == 0 ? value.substr(3) : value);
            break;
        case JapaneseField::Region:
            addTo(4, value);
            break;
        case JapaneseField::City:
            addTo(3, value);
            break;
        case JapaneseField::Street:
            addTo(2, value);
            break;
        case JapaneseField::Extended:
            addTo(1, value);
            break;
        case JapaneseField::Department:
            organizations[1]["department"] = value;
            break;
        case JapaneseField::Title:
            organizations[1]["title"] = value;
            break;
        case JapaneseField::Birthday:
            if (birthParts)
                birth[2] = value;
            else
                extras.push_back("BDAY:" + escapedDate(isoDate(value)));
            break;
        case JapaneseField::BirthYear:
            birth[0] = value;
            break;
        case JapaneseField::BirthMonth:
            birth[1] = value;
            break;
        case JapaneseField::Note:
            extras.push_back("NOTE:" + escapeText(written));  // as it was written
            break;
        case JapaneseField::Nickname:
            extras.push_back("NICKNAME:" + escapeText(value));
            break;
        case JapaneseField::Anniversary:
            extras.push_back("X-ANNIVERSARY:" + escapedDate(isoDate(value)));
            break;
    }
}

// The parts of a name a line gives beyond its family and given name: the middle name, the
// prefix and the suffix of Google's, Outlook's and Thunderbird's columns, at N's places.
std::vector<std::string> otherNameParts(const CsvLayout& layout,
                                        const std::vector<std::string>& fields) {
    std::vector<std::string> parts(5);
    for (int p = 0; p < static_cast<int>(layout.headings.size()); ++p) {
        std::string lower = lowerAscii(headingText(layout.headings[p]));
        size_t at = lower == "middle name" || lower == "additional name" ? 2
                    : lower == "name prefix" || lower == "title"         ? 3
                    : lower == "name suffix" || lower == "suffix"        ? 4
                                                                         : 0;
        if (at) parts[at] = trimBlanks(fieldAt(fields, p));
    }
    return parts;
}

// The first nickname a line gives: Google's cell may hold several (" ::: "), a Japanese book's
// one whole.
std::string nicknameOf(const CsvLayout& layout, const std::vector<std::string>& fields) {
    for (int p = 0; p < static_cast<int>(layout.headings.size()); ++p) {
        std::string heading = headingText(layout.headings[p]);
        std::string value = fieldAt(fields, p);
        if (lowerAscii(heading) == "nickname") {
            for (const std::string& nickname : cellValues(value))
                if (std::string text = trimBlanks(nickname); !text.empty()) return text;
        } else if (japaneseFieldOf(nameKey(heading)) == JapaneseField::Nickname) {
            if (std::string text = trimBlanks(value); !text.empty()) return text;
        }
    }
    return "";
}

// A name as the phone's line holds it. Another program's line break within a name is a line
// feed alone there, as its vCard would give it: the phone's file writes it as a blank (a CR LF
// would go on into a line the phone reads as the name continued) and the other formats keep
// both lines. The address book's own layout keeps its breaks as the file has them: it carries
// the phone's own lines, continued ones too, and gives them back as they were.
std::string phoneNameText(const CsvLayout& layout, const std::string& name) {
    return layout.wholeNameFirst ? name : lineFeedsOnly(name);
}

// Everything a line holds beyond the phone's columns, as vCard 3.0 content lines, each under
// the property the table of properties gives its column: the name's other parts, the company,
// title, dates, notes, addresses, web pages, messengers, relations, labels, each number's and
// mail's own types, and every other column as a field of its own.
void csvExtras(const CsvLayout& layout, const std::vector<std::string>& fields,
               const std::string& phoneName, std::vector<std::string>& extras) {
    extras.clear();
    int item = 0;
    auto group = [&item] { return "item" + std::to_string(++item); };
    auto [phoneLabels, mailLabels] = labelsOf(layout, fields);
    // Google's numbered groups by their number and their heading's parts.
    std::map<std::pair<GoogleGroup, int>, std::map<std::string, std::string>> grouped;
    std::map<int, std::map<std::string, std::string>> organizations;
    std::map<std::string, std::vector<std::string>> places;  // Outlook's address columns
    std::vector<std::string> name(5);
    std::string formatted, fileAs;
    std::string readings[2];  // the family and given reading of the row's own columns
    // Thunderbird in Japanese writes a birthday in three columns: 生年, 誕生月, 誕生日 (the day).
    bool birthParts = std::any_of(layout.headings.begin(), layout.headings.end(),
                                  [](const std::string& h) { return nameKey(h) == "誕生月"; });
    std::vector<std::string> birth(3);  // year, month, day
    for (int p = 0;
         p < static_cast<int>(fields.size()) && p < static_cast<int>(layout.headings.size()); ++p) {
        std::string value = fieldAt(fields, p);
        if (value.empty()) continue;
        std::string heading = headingText(layout.headings[p]);
        if (heading == "-") continue;  // left out by the user
        std::string lower = lowerAscii(heading);
        // Outlook writes "00/0/0" or "0/0/00" into a date it does not have; in another column
        // (a label, a note) it is what the user wrote.
        if (isPlaceholderDate(value) && isDateHeading(lower)) continue;
        auto role = std::find_if(layout.columns.begin(), layout.columns.end(),
                                 [p](const CsvColumn& c) { return c.position == p; });
        if (role != layout.columns.end()) {
            switch (role->role) {
                case CsvRole::Home:
                case CsvRole::Work:
                case CsvRole::Mobile:
                case CsvRole::Other:
                case CsvRole::PhoneValue: {
                    std::string label =
                        role->role == CsvRole::PhoneValue ? phoneLabels[role->group] : heading;
                    // A column the user said holds numbers, under a heading that names none
                    // ("2列目", "Portable"): the kind chosen, not the heading, is its label.
                    if (role->role != CsvRole::PhoneValue && !numberRoleOf(heading))
                        label = role->role == CsvRole::Mobile ? "Mobile"
                                : role->role == CsvRole::Home ? "Home"
                                : role->role == CsvRole::Work ? "Work"
                                                              : "";
                    auto [types, usual] = numberTypes(label);
                    if (role->role == CsvRole::PhoneValue && isPrimaryLabel(trimBlanks(label)))
                        types += ",pref";
                    // The primary mark is the type "pref", no part of the label's words.
                    std::string words = trimBlanks(label);
                    words = trimBlanks(withoutPrimaryMark(words));
                    for (const std::string& number : cellValues(value)) {
                        if (usual) {
                            extras.push_back("TEL;TYPE=" + types + ":" + escapeText(number));
                        } else {
                            std::string g = group();
                            extras.push_back(g + ".TEL;TYPE=" + types + ":" + escapeText(number));
                            extras.push_back(g + ".X-ABLabel:" + escapeText(words));
                        }
                    }
                    break;
                }
                case CsvRole::Mail:
                case CsvRole::MobileMail:
                case CsvRole::MailValue: {
                    LabelParts label =
                        labelParts(GoogleGroup::Mail, role->role == CsvRole::MailValue
                                                          ? mailLabels[role->group]
                                                      : role->role == CsvRole::MobileMail ? "Mobile"
                                                                                          : "");
                    std::string types = label.types.empty()
                                            ? ";TYPE=INTERNET"
                                            : ";TYPE=INTERNET," + label.types.substr(6);
                    for (const std::string& mail : cellValues(value)) {
                        if (label.label.empty()) {
                            extras.push_back("EMAIL" + types + ":" + mail);
                        } else {
                            std::string g = group();
                            extras.push_back(g + ".EMAIL" + types + ":" + mail);
                            extras.push_back(g + ".X-ABLabel:" + escapeText(label.label));
                        }
                    }
                    break;
                }
                case CsvRole::Company:
                    organizations[1]["name"] = value;
                    break;
                case CsvRole::Family:
                    name[0] = value;
                    break;
                case CsvRole::Given:
                    name[1] = value;
                    break;
                case CsvRole::WholeName:
                    if (name[0].empty() && name[1].empty())
                        std::tie(name[0], name[1]) = partedAtBlank(value);
                    break;
                case CsvRole::Name:
                    formatted = value;
                    break;
                case CsvRole::FileAs:
                    fileAs = value;
                    break;
                case CsvRole::ReadingFamily:
                    readings[0] = value;
                    if (auto line = keptReadingLine("X-PHONETIC-LAST-NAME", value))
                        extras.push_back(*line);
                    break;
                case CsvRole::ReadingGiven:
                    readings[1] = value;
                    if (auto line = keptReadingLine("X-PHONETIC-FIRST-NAME", value))
                        extras.push_back(*line);
                    break;
                default:
                    break;  // the phone's own lines hold it
            }
            continue;
        }
        std::optional<std::pair<int, std::string>> numberedGroup;
        std::optional<GoogleGroup> googleGroup;
        for (GoogleGroup candidate :
             {GoogleGroup::Address, GoogleGroup::Website, GoogleGroup::Messenger,
              GoogleGroup::Relation, GoogleGroup::Event, GoogleGroup::CustomField})
            if (auto found =
                    numbered(lower, lowerAscii(std::string(googleGroupName(candidate))) + " ")) {
                numberedGroup = found;
                googleGroup = candidate;
            }
        if (googleGroup) {
            grouped[{*googleGroup, numberedGroup->first}][numberedGroup->second] = value;
        } else if (auto organization = numbered(lower, "organization ");
                   organization && organization->second == "yomi name") {
            extras.push_back("X-PHONETIC-ORG:" + escapeText(value));
        } else if (auto organization = numbered(lower, "organization ");
                   organization &&
                   (organization->second == "name" || organization->second == "title" ||
                    organization->second == "department")) {
            organizations[organization->first][organization->second] = value;
        } else if (auto place = addressColumn(lower)) {
            std::vector<std::string>& parts = places[place->first];
            parts.resize(7);
            std::string& part = parts[place->second];
            part += (part.empty() ? "" : "\n") + value;
        } else if (std::optional<JapaneseField> field = japaneseFieldOf(nameKey(heading))) {
            japaneseField(*field, value, fields[p], birthParts, name, organizations,
                          places["home "], birth, extras);
        } else if (lower == "middle name" || lower == "additional name") {
            name[2] = value;
        } else if (lower == "name prefix" || lower == "title") {
            name[3] = value;
        } else if (lower == "name suffix" || lower == "suffix") {
            name[4] = value;
        } else if (lower == "phonetic middle name" || lower == "additional name yomi") {
            extras.push_back("X-PHONETIC-MIDDLE-NAME:" + escapeText(value));
        } else if (lower == "company yomi" || lower == "phonetic company name") {
            extras.push_back("X-PHONETIC-ORG:" + escapeText(value));
        } else if (lower == "nickname") {
            // Google joins several with " ::: ", as it does every value of a kind.
            std::string nicknames;
            for (const std::string& nickname : cellValues(value))
                nicknames += (nicknames.empty() ? "" : ",") + escapeText(nickname);
            if (!nicknames.empty()) extras.push_back("NICKNAME:" + nicknames);
        } else if (lower == "organization title" || lower == "job title") {
            organizations[1]["title"] = value;
        } else if (lower == "organization department" || lower == "department") {
            organizations[1]["department"] = value;
        } else if (lower == "birthday") {
            extras.push_back("BDAY:" + escapedDate(isoDate(value)));
        } else if (lower == "anniversary") {
            std::string g = group();
            extras.push_back(g + ".X-ABDATE:" + escapedDate(isoDate(value)));
            extras.push_back(g + ".X-ABLabel:" + builtInLabel("Anniversary"));
        } else if (lower == "spouse") {
            std::string g = group();
            extras.push_back(g + ".X-ABRELATEDNAMES:" + escapeText(value));
            extras.push_back(g + ".X-ABLabel:" + builtInLabel("Spouse"));
        } else if (lower == "web page" || lower == "personal web page" || lower == "web page 1" ||
                   lower == "web page 2") {
            extras.push_back("URL:" + value);
        } else if (lower == "gender") {
            if (lowerAscii(value) != "unspecified") extras.push_back("GENDER:" + escapeText(value));
        } else if (lower == "notes") {
            extras.push_back("NOTE:" + escapeText(fields[p]));  // a note as it was written
        } else if (lower == "photo") {
            extras.push_back("PHOTO;VALUE=uri:" + value);
        } else if (lower == "labels" || lower == "group membership") {
            std::string categories;
            for (std::string label : cellValues(value)) {
                if (label == kEveryContactsLabel) continue;
                label = trimBlanks(withoutPrimaryMark(label));
                if (label.empty()) continue;
                categories += (categories.empty() ? "" : ",") + escapeText(label);
            }
            if (!categories.empty()) extras.push_back("CATEGORIES:" + categories);
        } else if (lower != "birthday" && !numbered(lower, "e-mail ") &&
                   !numbered(lower, "phone ")) {
            // Every other column, under its own heading.
            // A quote would end the quoted heading: it is written as an apostrophe.
            std::string quoted = escapeText(heading);
            std::replace(quoted.begin(), quoted.end(), '"', '\'');
            extras.push_back("X-TSUNAGI-COLUMN;X-HEADING=\"" + quoted + "\":" + escapeText(value));
        }
    }
    if (birthParts && !birth[1].empty() && !birth[2].empty()) {
        std::string month = birth[1].size() == 1 ? "0" + birth[1] : birth[1];
        std::string day = birth[2].size() == 1 ? "0" + birth[2] : birth[2];
        extras.push_back("BDAY:" + (birth[0].empty() ? "-" : birth[0]) + "-" + month + "-" + day);
    }
    if (formatted.empty()) formatted = fileAs;
    // A part of blanks and line breaks alone says nothing, as in the phone's lines (a stray CR
    // at the end of a file that ends its lines with LF).
    // A line break within one as the phone's line has it (see phoneNameText).
    for (std::string& part : name) part = holdsOnlyBlanks(part) ? "" : phoneNameText(layout, part);
    formatted = holdsOnlyBlanks(formatted) ? "" : phoneNameText(layout, formatted);
    const size_t nameAt = extras.size();
    for (std::string& line : keptNameLines(name, formatted, phoneName))
        extras.push_back(std::move(line));
    // A business contact, named by its company, or a contact named by its nickname alone: no
    // person's name (see the vCard reader).
    if (std::all_of(name.begin(), name.end(), [](const std::string& p) { return p.empty(); }) &&
        formatted.empty() && !phoneName.empty() &&
        ((organizations.count(1) && organizations[1]["name"] == phoneName) ||
         (!organizations.count(1) && nicknameOf(layout, fields) == phoneName)))
        extras.push_back("N:;;;;");
    size_t nameEnd = extras.size();
    for (auto& [number, parts] : organizations) {
        if (!parts["name"].empty() || !parts["department"].empty()) {
            // Google joins the units of a company with " ::: ", as the parts after its name.
            std::string line = "ORG:" + escapeText(parts["name"]);
            for (size_t start = 0; !parts["department"].empty();) {
                size_t end = parts["department"].find(" ::: ", start);
                line += ";" + escapeText(parts["department"].substr(start, end - start));
                if (end == std::string::npos) break;
                start = end + 5;
            }
            extras.push_back(line);
        }
        if (!parts["title"].empty()) extras.push_back("TITLE:" + escapeText(parts["title"]));
    }
    for (auto& [place, parts] : places) {
        if (std::all_of(parts.begin(), parts.end(), [](const std::string& p) { return p.empty(); }))
            continue;
        std::string types = place == "home "                           ? ";TYPE=HOME"
                            : place == "business " || place == "work " ? ";TYPE=WORK"
                                                                       : "";
        std::string adr = "ADR" + types + ":";
        for (size_t i = 0; i < parts.size(); ++i) adr += (i ? ";" : "") + escapeText(parts[i]);
        extras.push_back(adr);
    }
    for (auto& [key, parts] : grouped) {
        GoogleGroup kind = key.first;
        std::string written = parts.count("label") ? parts["label"] : parts["type"];
        LabelParts label = labelParts(kind, written);
        std::string g = group();
        switch (kind) {
            case GoogleGroup::Address:
                extras.push_back(
                    g + ".ADR" + label.types + ":" + escapeText(parts["po box"]) + ";" +
                    escapeText(parts["extended address"]) + ";" + escapeText(parts["street"]) +
                    ";" + escapeText(parts["city"]) + ";" + escapeText(parts["region"]) + ";" +
                    escapeText(parts["postal code"]) + ";" + escapeText(parts["country"]));
                if (!parts["formatted"].empty())
                    extras.push_back(g + ".LABEL" + label.types + ":" +
                                     escapeText(parts["formatted"]));
                break;
            case GoogleGroup::Website:
                extras.push_back(g + ".URL" + label.types + ":" + parts["value"]);
                break;
            case GoogleGroup::Messenger: {
                std::string service = parts["service"], value = parts["value"];
                std::string uri = service.empty()
                                      ? (contains(value, ":") ? value : "x-apple:" + value)
                                      : messengerScheme(service) + ":" + value;
                extras.push_back(g + ".IMPP" +
                                 (service.empty() ? "" : ";X-SERVICE-TYPE=" + service) +
                                 label.types + ":" + uri);
                break;
            }
            case GoogleGroup::Relation:
                extras.push_back(g + ".X-ABRELATEDNAMES:" + escapeText(parts["value"]));
                break;
            case GoogleGroup::Event:
                extras.push_back(g + ".X-ABDATE:" + escapedDate(isoDate(parts["value"])));
                break;
            case GoogleGroup::CustomField:
                if (namesProperty(label.label)) {
                    // A compound value is written with its parts apart, as it stood.
                    std::string property = label.label.substr(0, label.label.find(';'));
                    bool compound = compoundValue(property);
                    // A name or reading said again comes without the mark that told it from a
                    // book's column.
                    std::string head = label.label;
                    if (inGoogleColumns(property) && head == property + std::string(kSaidAgainMark))
                        head = property;
                    extras.push_back(head + ":" +
                                     (compound ? compoundLineBreaksEscaped(parts["value"])
                                               : escapeText(parts["value"])));
                    label.label.clear();
                } else {
                    extras.push_back(g + ".X-TSUNAGI-FIELD:" + escapeText(parts["value"]));
                }
                break;
            default:
                break;
        }
        if (!label.label.empty()) extras.push_back(g + ".X-ABLabel:" + escapeText(label.label));
    }
    // A name or display name a custom field says (as ours write a card's second one) comes
    // after the person's own, kept whole for it, so that it stays the second.
    bool wholeName = false, wholeFormatted = false;
    bool readingAgain[2] = {false, false};
    for (size_t e = nameEnd; e < extras.size(); ++e) {
        VcardLine line;
        if (!parseVcardLine(extras[e], line) || line.parameter("ALTID")) continue;
        wholeName = wholeName || line.name == "N";
        wholeFormatted = wholeFormatted || line.name == "FN";
        readingAgain[0] = readingAgain[0] || line.name == "X-PHONETIC-LAST-NAME";
        readingAgain[1] = readingAgain[1] || line.name == "X-PHONETIC-FIRST-NAME";
    }
    if (wholeName || wholeFormatted) {
        std::vector<std::string> lines =
            keptNameLines(name, formatted, phoneName, wholeName, wholeFormatted);
        extras.erase(extras.begin() + static_cast<std::ptrdiff_t>(nameAt),
                     extras.begin() + static_cast<std::ptrdiff_t>(nameEnd));
        extras.insert(extras.begin() + static_cast<std::ptrdiff_t>(nameAt),
                      std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
        nameEnd = nameAt + lines.size();
    }
    // So does a reading: the row's own, kept whole where the phone's line would hold it.
    for (int r = 0; r < 2; ++r) {
        std::string property = r == 0 ? "X-PHONETIC-LAST-NAME" : "X-PHONETIC-FIRST-NAME";
        std::string line = property + ":" + escapeText(trimBlanks(readings[r]));
        if (!readingAgain[r] || trimBlanks(readings[r]).empty() ||
            std::find(extras.begin(), extras.begin() + static_cast<std::ptrdiff_t>(nameEnd),
                      line) != extras.begin() + static_cast<std::ptrdiff_t>(nameEnd))
            continue;
        extras.insert(extras.begin() + static_cast<std::ptrdiff_t>(nameEnd), line);
        ++nameEnd;
    }
}

// A heading line's headings, a column without one named by its position ("2列目"), so that what
// it holds is kept under a name that reads back as it was written. A heading of control
// characters and blanks alone, which a kept line cannot hold but as blanks, is none.
std::vector<std::string> namedHeadings(std::vector<std::string> headings) {
    for (size_t p = 0; p < headings.size(); ++p) {
        std::string text = headingText(headings[p]);
        std::erase_if(text, isControl);
        if (trimBlanks(text).empty()) headings[p] = std::to_string(p + 1) + "列目";
    }
    return headings;
}

// Columns named by position, for a file without a heading line: 1列目, 2列目, ….
std::vector<std::string> positionHeadings(size_t count) {
    return namedHeadings(std::vector<std::string>(count));
}

// What a value says it is: a mail, a mobile or another number, a date; "keep" for words.
std::string valueGuess(const std::string& cell) {
    std::string value = trimBlanks(cell);
    if (value.empty()) return "keep";
    if (IsMailAddress(value)) return "mail";
    if (value.find_first_of("0123456789") != std::string::npos) {
        if (std::optional<std::string> digits = dialledDigits(value);
            digits && digits->size() >= 6) {
            bool mobile = digits->size() == 11 && (*digits)[0] == '0' && (*digits)[2] == '0' &&
                          ((*digits)[1] == '7' || (*digits)[1] == '8' || (*digits)[1] == '9');
            return mobile ? "mobile" : "number";
        }
        if (isCalendarDate(isoDate(value))) return "birthday";
    }
    return "keep";
}

const char* kExpectedHeadings =
    "先頭の行に、次のいずれかの見出しが必要です。\n"
    "日本語のアドレス帳：表示名、電子メール アドレス、自宅電話番号、自宅ファックス、携帯電話\n"
    "Google 連絡先：First Name、Last Name、E-mail 1 - Value、Phone 1 - Value\n"
    "Outlook：First Name、Last Name、E-mail Address、Home Phone、Business Phone、Mobile Phone\n"
    "Thunderbird：First Name、Last Name、Display Name、Primary Email、Home Phone、Mobile Number";

}  // namespace

bool CsvRecordReader::next(std::vector<std::string>& fields) {
    fields.clear();
    if (!lines_.next(line_)) return false;
    if (!separator_) {
        size_t commas = std::count(line_.begin(), line_.end(), ','),
               tabs = std::count(line_.begin(), line_.end(), '\t'),
               semicolons = std::count(line_.begin(), line_.end(), ';');
        separator_ = tabs > commas ? '\t' : semicolons > commas ? ';' : ',';
    }
    long opened = lines_.lineNumber();
    std::string field;
    bool quoted = false;     // inside a field's double quotes
    bool fieldStart = true;  // nothing but blanks of this field read yet
    size_t recordBytes = 0;
    for (;;) {
        recordBytes += line_.size();
        for (size_t i = 0; i < line_.size(); ++i) {
            char c = line_[i];
            if (quoted) {
                if (c != '"') {
                    field += c;
                } else if (i + 1 < line_.size() && line_[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else if (c == separator_) {
                fields.push_back(std::move(field));
                field.clear();
                fieldStart = true;
            } else if (c == '"' && fieldStart) {
                quoted = true;
                fieldStart = false;
            } else {
                field += c;
                if (c != ' ') fieldStart = false;
            }
        }
        if (!quoted) break;
        // The quote goes on over the line break, which is part of the field.
        if (lines_.lineNumber() - opened >= kMaxRecordLines || recordBytes > kMaxRecordBytes)
            throw TsunagiError(
                lines_.name(), opened,
                "この行で開いた「\"」が閉じられないまま、データが長くなりすぎました。");
        // The break as the file has it (a CR alone within a text of a CR LF file stays one).
        std::string_view lineEnd = lines_.lastLineEnd();
        field += lineEnd.empty() ? "\r\n" : lineEnd;
        if (!lines_.next(line_))
            throw TsunagiError(lines_.name(), opened, "この行で開いた「\"」が閉じられていません。");
    }
    fields.push_back(std::move(field));
    for (std::string& cell : fields)
        if (cell.size() >= 3 && cell.compare(0, 2, "=\"") == 0 && cell.back() == '"')
            cell = cell.substr(2, cell.size() - 3);
    return true;
}

std::optional<CsvLayout> findLayout(const std::vector<std::string>& headings) {
    std::optional<CsvLayout> layout = japaneseLayout(headings);
    if (!layout) layout = englishLayout(headings);
    if (layout) layout->headings = headings;
    return layout;
}

std::optional<std::vector<std::string>> csvCard(const std::vector<std::string>& lineTemplate,
                                                const CsvLayout& layout,
                                                const std::vector<std::string>& fields,
                                                long lineCounter, bool evenNameless) {
    std::string name, family, given, whole, reading, readingFamily, readingGiven, numbers, mails,
        company, fileAs;
    int mailCount = 0;
    auto [phoneLabels, mailLabels] = labelsOf(layout, fields);
    for (const CsvColumn& column : layout.columns) {
        std::string value = fieldAt(fields, column.position);
        // A cell of blanks and line breaks alone says nothing (a stray CR of a file that ends
        // its lines with LF).
        if (holdsOnlyBlanks(value)) continue;
        switch (column.role) {
            case CsvRole::Name:
                name = value;
                break;
            case CsvRole::Family:
                family = value;
                break;
            case CsvRole::Given:
                given = value;
                break;
            case CsvRole::WholeName:
                whole = value;
                break;
            case CsvRole::Reading: {
                auto [first, second] = partedAtBlank(value);
                reading = first.empty() || second.empty() ? first + second : first + ";" + second;
                break;
            }
            case CsvRole::ReadingFamily:
                readingFamily = value;
                break;
            case CsvRole::ReadingGiven:
                readingGiven = value;
                break;
            case CsvRole::Mail:
            case CsvRole::MobileMail:
            case CsvRole::MailValue:
                for (const std::string& mail : cellValues(value)) {
                    // One holding the phone's joiner is kept beside its line alone.
                    if (contains(mail, kJoin)) continue;
                    bool cell = column.role == CsvRole::MobileMail ||
                                (column.role == CsvRole::MailValue &&
                                 roleOfLabel(mailLabels[column.group]) == CsvRole::Mobile);
                    mails += std::string(kMailItem) + (cell ? "CELL:" : "INTERNET:") + mail;
                    mails += std::string(kJoin);
                    ++mailCount;
                }
                break;
            case CsvRole::Home:
            case CsvRole::Work:
            case CsvRole::Mobile:
            case CsvRole::Other:
            case CsvRole::PhoneValue: {
                CsvRole role = column.role == CsvRole::PhoneValue
                                   ? roleOfLabel(phoneLabels[column.group])
                                   : column.role;
                for (const std::string& number : cellValues(value))
                    if (!contains(number, kJoin))  // kept beside the phone's line alone
                        numbers += std::string(kNumberItem) +
                                   std::string(numberSavingCode(numberClassOf(role))) + number +
                                   std::string(kJoin);
                break;
            }
            case CsvRole::Company:
                company = value;
                break;
            case CsvRole::FileAs:
                fileAs = value;
                break;
            case CsvRole::PhoneLabel:
            case CsvRole::MailLabel:
                break;
        }
    }
    if (joinedName(family, given).empty() && !whole.empty())
        std::tie(family, given) = partedAtBlank(whole);
    // In the Japanese layout a display name (表示名) is the name as the user wrote it; family
    // and given name make it only where it is empty. Other programs' parts are the phone's form.
    if (name.empty() || (!layout.wholeNameFirst && !joinedName(family, given).empty()))
        name = joinedName(family, given);
    // A name of separators, blanks and line breaks alone names nobody.
    if (name.find_first_not_of("; \t\r\n") == std::string::npos) name.clear();
    // A name of other parts alone (a middle name, a title) is the name they make, as a card's
    // is; a business contact is shown by its company, as every phone shows it; a contact of a
    // nickname alone by that.
    if (name.empty()) {
        Person named;
        named.name = otherNameParts(layout, fields);
        name = builtName(named);
    }
    if (name.empty())
        name = !fileAs.empty() ? fileAs : !company.empty() ? company : nicknameOf(layout, fields);
    // A ";" within either part would move the line between them: such a part is kept whole
    // beside (see keptReadingLine).
    if (reading.empty()) {
        std::erase(readingFamily, ';');
        std::erase(readingGiven, ';');
        reading = joinedName(readingFamily, readingGiven);
        // A given reading alone stays the given one: after a ";".
        if (readingFamily.empty() && !readingGiven.empty()) reading.insert(0, ";");
    }
    if (name.empty() && numbers.empty() && mails.empty() && !evenNameless) return std::nullopt;

    CardFields card;
    if (!name.empty()) card.name = phoneNameText(layout, name);
    // Readings as the phone writes its own: in half-width katakana.
    if (!reading.empty()) card.reading = halfWidthKatakana(reading);
    // One mail in the Japanese layout is stored as it always was, without the closing "<>".
    if (!mails.empty())
        card.mails = mailCount == 1 ? mails.substr(0, mails.size() - kJoin.size()) : mails;
    if (!numbers.empty()) card.numbers = numbers;
    card.memoryNumber = std::to_string(lineCounter);
    return buildCardColumns(lineTemplate, card);
}

namespace {

// What a chosen field stands for: a role of the phone's lines, or a heading word the reader
// of what is kept beyond them knows ("" for keep, "-" for skip).
struct FieldMeaning {
    std::string_view field;
    std::optional<CsvRole> role;
    std::string_view heading;
};

constexpr FieldMeaning kFields[] = {
    {"name", CsvRole::WholeName, ""},  {"family", CsvRole::Family, ""},
    {"given", CsvRole::Given, ""},     {"reading", CsvRole::Reading, ""},
    {"number", CsvRole::Other, ""},    {"home", CsvRole::Home, ""},
    {"mobile", CsvRole::Mobile, ""},   {"work", CsvRole::Work, ""},
    {"mail", CsvRole::Mail, ""},       {"mobile-mail", CsvRole::MobileMail, ""},
    {"company", CsvRole::Company, ""}, {"title", std::nullopt, "役職"},
    {"address", std::nullopt, "住所"}, {"birthday", std::nullopt, "誕生日"},
    {"note", std::nullopt, "備考"},    {"keep", std::nullopt, ""},
    {"skip", std::nullopt, "-"},
};

const FieldMeaning* meaningOf(std::string_view field) {
    for (const FieldMeaning& meaning : kFields)
        if (meaning.field == field) return &meaning;
    return nullptr;
}

// The layout with the user's choices over what was found (or over nothing).
std::optional<CsvLayout> assignedLayout(std::optional<CsvLayout> layout,
                                        const std::vector<std::string>& headings,
                                        const CsvAssignment& assignment, const std::string& file) {
    if (!layout) layout = CsvLayout{"指定した列", {}, false, headings};
    for (const ColumnChoice& choice : assignment) {
        auto at = std::find_if(headings.begin(), headings.end(), [&](const std::string& h) {
            return headingText(h) == trimBlanks(choice.heading);
        });
        // A column by its position, from 1, where the file has no headings to name it by.
        std::string position = trimBlanks(choice.heading);
        if ((at == headings.end() || assignment.firstRowIsData) && !position.empty() &&
            position.size() <= 4 && position.find_first_not_of("0123456789") == std::string::npos) {
            size_t number = std::stoul(position);
            at = number >= 1 && number <= headings.size() ? headings.begin() + (number - 1)
                                                          : headings.end();
        }
        if (at == headings.end())
            throw TsunagiError(file, 1, "見出し「" + choice.heading + "」の列がありません。");
        int p = static_cast<int>(at - headings.begin());
        const FieldMeaning* meaning = meaningOf(choice.field);
        std::erase_if(layout->columns, [p](const CsvColumn& c) { return c.position == p; });
        if (meaning->role) layout->columns.push_back({p, *meaning->role});
        if (!meaning->heading.empty()) layout->headings[p] = std::string(meaning->heading);
    }
    bool useful =
        std::any_of(layout->columns.begin(), layout->columns.end(), [](const CsvColumn& c) {
            return c.role != CsvRole::PhoneLabel && c.role != CsvRole::MailLabel;
        });
    if (!useful) return std::nullopt;
    return layout;
}

}  // namespace

CsvColumnsPreview previewCsvColumns(const std::string& path) {
    LineReader lines(path, LineReader::Western::Allowed);
    CsvRecordReader records(lines);
    CsvColumnsPreview preview;
    if (!records.next(preview.headings)) return preview;
    preview.firstRow = preview.headings;
    preview.headings = namedHeadings(preview.headings);
    // A first row of values (a number, a mail, a date) is no heading line: it is data, and
    // the columns are guessed from what they hold.
    if (std::any_of(preview.firstRow.begin(), preview.firstRow.end(),
                    [](const std::string& cell) { return valueGuess(cell) != "keep"; })) {
        preview.firstRowIsData = true;
        preview.needsChoice = true;
        preview.headings = positionHeadings(preview.firstRow.size());
        preview.samples.resize(preview.headings.size());
        std::vector<std::string> fields = preview.firstRow;
        for (int row = 0; row < 3; ++row) {
            for (size_t p = 0; p < fields.size() && p < preview.samples.size(); ++p)
                if (!trimBlanks(fields[p]).empty())
                    preview.samples[p].push_back(trimBlanks(fields[p]));
            if (!records.next(fields)) break;
        }
        preview.guesses.assign(preview.headings.size(), "keep");
        bool named = false;
        for (size_t p = 0; p < preview.headings.size(); ++p) {
            std::string guess = "keep";
            for (const std::string& sample : preview.samples[p])
                if (std::string g = valueGuess(sample); guess == "keep") guess = g;
            // The first column of words is the name.
            if (guess == "keep" && !named && !preview.samples[p].empty()) {
                guess = "name";
                named = true;
            }
            preview.guesses[p] = guess;
        }
        return preview;
    }
    preview.samples.resize(preview.headings.size());
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> fields;
    for (int row = 0; row < 3 && records.next(fields); ++row) {
        for (size_t p = 0; p < fields.size() && p < preview.samples.size(); ++p)
            if (!trimBlanks(fields[p]).empty()) preview.samples[p].push_back(trimBlanks(fields[p]));
        rows.push_back(fields);
    }
    preview.guesses.assign(preview.headings.size(), "keep");
    std::optional<CsvLayout> layout = findLayout(preview.headings);
    if (layout) layout->headings = preview.headings;
    // A column that holds values no field of a person takes would only be kept as it is: the
    // user is asked about it too.
    bool unread = false;
    std::vector<std::string> extras;
    for (const std::vector<std::string>& row : rows) {
        if (!layout) break;
        csvExtras(*layout, row, "", extras);
        for (const std::string& extra : extras)
            unread = unread || extra.compare(0, 16, "X-TSUNAGI-COLUMN") == 0;
    }
    bool named = false;
    if (layout)
        for (const CsvColumn& column : layout->columns) {
            static const std::pair<CsvRole, const char*> kGuesses[] = {
                {CsvRole::Name, "name"},
                {CsvRole::WholeName, "name"},
                {CsvRole::Family, "family"},
                {CsvRole::Given, "given"},
                {CsvRole::Reading, "reading"},
                {CsvRole::ReadingFamily, "reading"},
                {CsvRole::ReadingGiven, "reading"},
                {CsvRole::Mail, "mail"},
                {CsvRole::MailValue, "mail"},
                {CsvRole::MobileMail, "mobile-mail"},
                {CsvRole::Home, "home"},
                {CsvRole::Work, "work"},
                {CsvRole::Mobile, "mobile"},
                {CsvRole::Other, "number"},
                {CsvRole::PhoneValue, "number"},
                {CsvRole::Company, "company"}};
            for (const auto& [role, field] : kGuesses)
                if (role == column.role &&
                    column.position < static_cast<int>(preview.guesses.size()))
                    preview.guesses[column.position] = field;
            named = named || column.role == CsvRole::Name || column.role == CsvRole::WholeName ||
                    column.role == CsvRole::Family || column.role == CsvRole::Given ||
                    column.role == CsvRole::Company || column.role == CsvRole::FileAs;
        }
    for (size_t p = 0; p < preview.headings.size(); ++p)
        if (preview.guesses[p] == "keep")
            if (auto field = japaneseFieldOf(nameKey(headingText(preview.headings[p])))) {
                if (*field == JapaneseField::Title) preview.guesses[p] = "title";
                if (*field == JapaneseField::Birthday) preview.guesses[p] = "birthday";
                if (*field == JapaneseField::Note) preview.guesses[p] = "note";
                if (*field == JapaneseField::Street || *field == JapaneseField::City ||
                    *field == JapaneseField::Region)
                    preview.guesses[p] = "address";
            }
    preview.read = preview.guesses;
    // What the program still cannot name, as the dialog offers it: by the heading in another
    // language, else by what the column holds (numbers, mails, dates); the first column of
    // words names the person where nothing else does. Only a layout found reads without asking.
    for (size_t p = 0; p < preview.headings.size(); ++p) {
        if (preview.guesses[p] != "keep") continue;
        std::string field(foreignHeadingField(nameKey(headingText(preview.headings[p]))));
        if (field.empty()) {
            std::string byValue = "keep";
            for (const std::string& sample : preview.samples[p]) {
                std::string guess = valueGuess(sample);
                // Mobiles and other numbers in one column: numbers.
                if ((guess == "mobile" && byValue == "number") ||
                    (guess == "number" && byValue == "mobile"))
                    guess = byValue = "number";
                if (guess == "keep" || (byValue != "keep" && guess != byValue)) {
                    byValue = "keep";
                    break;
                }
                byValue = guess;
            }
            field = byValue;
        }
        preview.guesses[p] = field;
    }
    bool guessedName =
        std::any_of(preview.guesses.begin(), preview.guesses.end(), [](const std::string& field) {
            return field == "name" || field == "family" || field == "given" || field == "company";
        });
    if (!guessedName)
        for (size_t p = 0; p < preview.headings.size(); ++p)
            if (preview.guesses[p] == "keep" && !preview.samples[p].empty()) {
                preview.guesses[p] = "name";
                break;
            }
    preview.needsChoice = !layout || !named || unread;
    return preview;
}

CsvAssignment parseColumnAssignment(std::string_view text) {
    CsvAssignment assignment;
    for (const std::string& pair : splitAll(text, ",")) {
        if (trimBlanks(pair).empty()) continue;
        size_t equals = pair.rfind('=');
        std::string field =
            equals == std::string::npos ? "" : lowerAscii(trimBlanks(pair.substr(equals + 1)));
        if (equals == std::string::npos || !meaningOf(field))
            throw TsunagiError("「" + pair +
                               "」の項目がわかりません。使える項目：name, family, given, "
                               "reading, number, home, mobile, work, mail, mobile-mail, company, "
                               "title, address, birthday, note, keep, skip");
        assignment.push_back({trimBlanks(pair.substr(0, equals)), field});
    }
    return assignment;
}

long ImportCsvBook(const Store& store, const std::string& path, const ImportProgress& progress,
                   ImportReport* report, const CsvAssignment* assignment) {
    LineReader lines(path, LineReader::Western::Allowed);
    return importCsvLines(store, lines, progress, report, assignment);
}

long importCsvLines(const Store& store, LineReader& lines, const ImportProgress& progress,
                    ImportReport* report, const CsvAssignment* assignment) {
    CardWriter writer(store, lines.name(), progress);
    std::vector<std::string> lineTemplate = writer.lineTemplate();
    CsvRecordReader records(lines);
    std::vector<std::string> fields, card, extras;
    std::optional<CsvLayout> layout;
    std::vector<bool> unread;  // columns that no role reads and that held a value
    long counter = 0;          // records read, the heading's included
    // Without a heading line the first row is data, and the columns are named by position.
    bool noHeading = assignment && assignment->firstRowIsData;
    long headingRows = noHeading ? 0 : 1;
    storeReadAhead(writer, lines, [&]() -> std::optional<ReadCard> {
        while (records.next(fields)) {
            if (counter++ == 0) {
                std::vector<std::string> headings =
                    noHeading ? positionHeadings(fields.size()) : namedHeadings(fields);
                if (!noHeading) layout = findLayout(headings);
                if (assignment)
                    layout = assignedLayout(layout, headings, *assignment, lines.name());
                if (!layout) throw TsunagiError(lines.name(), 1, kExpectedHeadings);
                unread.assign(headings.size(), false);
                if (!noHeading) continue;
            }
            for (size_t p = 0; p < fields.size() && p < unread.size(); ++p)
                if (!unread[p] && !trimBlanks(fields[p]).empty() &&
                    !(isPlaceholderDate(fields[p]) &&
                      isDateHeading(lowerAscii(headingText(layout->headings[p])))) &&
                    !onlyEveryContactsLabel(layout->headings[p], fields[p]) &&
                    !hasColumnAt(*layout, static_cast<int>(p)))
                    unread[p] = true;
            auto built = csvCard(lineTemplate, *layout, fields, counter - headingRows);
            // Every row of Google's is a contact, one of a note or an address alone too.
            if (!built && layout->name == kGoogleLayout) {
                csvExtras(*layout, fields, "", extras);
                // A reading alone is someone's too (the phone's line holds it).
                bool reading = std::any_of(
                    layout->columns.begin(), layout->columns.end(), [&fields](const CsvColumn& c) {
                        return (c.role == CsvRole::Reading || c.role == CsvRole::ReadingFamily ||
                                c.role == CsvRole::ReadingGiven) &&
                               !holdsOnlyBlanks(fieldAt(fields, c.position));
                    });
                if (reading || holdSomething(extras))
                    built = csvCard(lineTemplate, *layout, fields, counter - headingRows, true);
            }
            if (built) {
                card = std::move(*built);
                std::string phoneName;
                for (const std::string& column : card)
                    if (column.compare(0, kNameItem.size(), kNameItem) == 0)
                        phoneName = column.substr(kNameItem.size());
                csvExtras(*layout, fields, phoneName, extras);
                return ReadCard{card, lines.lineNumber(), extras};
            }
        }
        return std::nullopt;
    });
    long count = writer.commit();
    if (report && layout)
        for (size_t p = 0; p < unread.size(); ++p)
            if (unread[p] && layout->headings[p] != "-")
                report->keptColumns.push_back(headingText(layout->headings[p]));
    return count;
}

}  // namespace tsunagi
