// The CSV that Google Contacts writes and reads, with the headings of its own export: every
// value the person holds under its heading.

#include "export/google_csv_writer.h"

#include <algorithm>
#include <map>

#include "card/person.h"
#include "card/properties.h"
#include "export/address_book_writer.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

const char* const kFixed[] = {"First Name",
                              "Middle Name",
                              "Last Name",
                              "Phonetic First Name",
                              "Phonetic Middle Name",
                              "Phonetic Last Name",
                              "Name Prefix",
                              "Name Suffix",
                              "Nickname",
                              "File As",
                              "Organization Name",
                              "Organization Title",
                              "Organization Department",
                              "Birthday",
                              "Notes",
                              "Photo",
                              "Labels"};

const char* const kAddressParts[] = {"Formatted", "Street",      "City",    "PO Box",
                                     "Region",    "Postal Code", "Country", "Extended Address"};

// The numbered groups in the order the headings list them, and the parts of each.
struct GroupLayout {
    GoogleGroup group;
    std::vector<std::string> parts;
};

const std::vector<GroupLayout>& groupLayouts() {
    static const std::vector<GroupLayout> layouts = {
        {GoogleGroup::Mail, {"Label", "Value"}},
        {GoogleGroup::Phone, {"Label", "Value"}},
        {GoogleGroup::Address,
         {"Label", "Formatted", "Street", "City", "PO Box", "Region", "Postal Code", "Country",
          "Extended Address"}},
        {GoogleGroup::Website, {"Label", "Value"}},
        {GoogleGroup::Relation, {"Label", "Value"}},
        {GoogleGroup::Event, {"Label", "Value"}},
        {GoogleGroup::Messenger, {"Label", "Service", "Value"}},
        {GoogleGroup::CustomField, {"Label", "Value"}},
    };
    return layouts;
}

std::string heading(GoogleGroup group, size_t number, std::string_view part) {
    return std::string(googleGroupName(group)) + " " + std::to_string(number) + " - " +
           std::string(part);
}

// The label of a line in Google's words: its own label, else the one its types stand for;
// "* " before it where the line is the preferred one.
std::string labelOf(GoogleGroup group, const PersonItem& item) {
    std::string label =
        !item.label.empty() ? spokenLabel(item.label) : googleLabelOfTypes(group, item.types());
    return item.preferred() ? "* " + label : label;
}

std::string joined(const std::vector<std::string>& values, std::string_view separator) {
    std::string text;
    for (const std::string& value : values)
        if (!value.empty()) text += (text.empty() ? "" : std::string(separator)) + value;
    return text;
}

// A number as Google takes it: a tel: URI as its number and extension.
// A URI of no number ("tel:"), or of another URI ("tel:tel:"), is written as it is, which
// reads back as it was.
std::string numberValue(const PersonItem& number) {
    std::string text = trimBlanks(number.text());
    std::string read = trimBlanks(numberAsText(text));
    return read.empty() || startsWithIgnoringCase(read, "tel:") ? text : read;
}

// A custom field's label and value for whatever has no heading of its own.
std::pair<std::string, std::string> customField(const PersonItem& item) {
    if (item.line.name == "X-TSUNAGI-COLUMN")
        if (auto heading = item.line.parameter("X-HEADING")) {
            // Without the blanks around it, as Google's labels are read.
            std::string scratch;
            return {trimBlanks(unescapeText(*heading, scratch)), item.text()};
        }
    if (!item.label.empty()) return {spokenLabel(item.label), item.text()};
    // A field of the user's own that had no label has none again.
    if (item.line.name == "X-TSUNAGI-FIELD") return {"", item.text()};
    // The property's name with its parameters, so that reading the field back makes the same
    // line ("N;ALTID=1;LANGUAGE=en"); a compound value with its parts apart as it stands.
    std::string label = item.line.name;
    // A value holding a ":" or a ";" in quotes, as a vCard has it.
    for (const VcardParameter& parameter : item.line.parameters) {
        if (parameter.value.find_first_of(":;\"") == std::string::npos)
            label += ";" + parameter.name + "=" + parameter.value;
        else
            appendParameter(label, parameter.name, parameter.value);
    }
    // A name or reading said again: its name alone would read back a book's column.
    if (item.line.parameters.empty() && inGoogleColumns(item.line.name)) label += kSaidAgainMark;
    return {label, compoundValue(item.line.name) ? compoundLineBreaksUnescaped(item.line.value)
                                                 : item.text()};
}

// One person's values by heading, and how many of each numbered group it fills.
struct Record {
    std::map<std::string, std::string> values;
    std::map<GoogleGroup, size_t> counts;
    size_t organizations = 0;
    bool photoLeftOut = false;
    std::vector<std::string> embedded;  // what other bytes the card holds, in words
    // Values that hold Google's own separator, " ::: ", in a column it parts at it, in words:
    // "電話番号 03 ::: 04".
    std::vector<std::string> parted;

    void add(GoogleGroup group, const std::vector<std::string>& parts,
             const std::vector<std::string>& values_) {
        size_t number = ++counts[group];
        for (size_t i = 0; i < parts.size() && i < values_.size(); ++i)
            values[heading(group, number, parts[i])] = values_[i];
    }
};

Record recordOf(const Person& person) {
    Record record;
    auto& values = record.values;
    if (person.wholeName) {
        values["First Name"] = person.name[1];
    } else {
        values["First Name"] = person.name[1];
        values["Last Name"] = person.name[0];
    }
    values["Middle Name"] = person.name[2];
    values["Name Prefix"] = person.name[3];
    values["Name Suffix"] = person.name[4];
    values["Phonetic First Name"] = person.readingGiven;
    values["Phonetic Middle Name"] = person.readingMiddle;
    values["Phonetic Last Name"] = person.readingFamily;
    values["Nickname"] = joined(person.nicknames, " ::: ");
    // Google's one column for a name shown otherwise than built from its parts.
    if (!person.formatted.empty() && person.formatted != builtName(person))
        values["File As"] = person.formatted;
    size_t organizations = std::max(person.organizations.size(), person.titles.size());
    for (size_t i = 0; i < organizations; ++i) {
        std::vector<std::string> organization =
            i < person.organizations.size() ? person.organizations[i] : std::vector<std::string>();
        organization.resize(std::max<size_t>(organization.size(), 2));
        std::string title = i < person.titles.size() ? person.titles[i] : "";
        std::vector<std::string> units(organization.begin() + 1, organization.end());
        std::string prefix =
            i == 0 ? "Organization " : "Organization " + std::to_string(i + 1) + " - ";
        values[prefix + "Name"] = organization[0];
        values[prefix + "Title"] = title;
        values[prefix + "Department"] = joined(units, " ::: ");
    }
    record.organizations = organizations;
    if (!person.birthday.empty())
        values["Birthday"] =
            person.birthday.compare(0, 2, "--") == 0 ? " " + person.birthday : person.birthday;
    values["Notes"] = joined(person.notes, "\n\n");
    // Google holds a photo only as a link: the person's own, else a link beside an embedded one.
    const PersonItem* photoLink = nullptr;
    if (person.photo) {
        if (!holdsBytes(*person.photo)) {
            values["Photo"] = person.photo->value;
        } else {
            record.photoLeftOut = true;
            for (const PersonItem& other : person.others)
                if (other.line.name == "PHOTO" && !holdsBytes(other.line) && !photoLink)
                    photoLink = &other;
            if (photoLink) values["Photo"] = photoLink->line.value;
        }
    }
    std::string labels = "* myContacts";
    for (const std::string& category : person.categories) labels += " ::: " + category;
    values["Labels"] = labels;

    for (const PersonItem& mail : person.mails)
        record.add(GoogleGroup::Mail, {"Label", "Value"},
                   {labelOf(GoogleGroup::Mail, mail), trimBlanks(mail.text())});
    for (const PersonItem& number : person.numbers)
        record.add(GoogleGroup::Phone, {"Label", "Value"},
                   {labelOf(GoogleGroup::Phone, number), numberValue(number)});
    for (const PersonItem& address : person.addresses) {
        std::vector<std::string> parts = address.components();
        parts.resize(7);
        std::string formatted = address.printed;
        if (formatted.empty())
            for (size_t i : {2, 3, 4, 5, 6})
                if (!parts[i].empty()) formatted += (formatted.empty() ? "" : "\n") + parts[i];
        record.add(GoogleGroup::Address,
                   {"Label", "Formatted", "Street", "City", "PO Box", "Region", "Postal Code",
                    "Country", "Extended Address"},
                   {labelOf(GoogleGroup::Address, address), formatted, parts[2], parts[3], parts[0],
                    parts[4], parts[5], parts[6], parts[1]});
    }
    for (const PersonItem& website : person.websites)
        record.add(GoogleGroup::Website, {"Label", "Value"},
                   {labelOf(GoogleGroup::Website, website), website.text()});
    for (const PersonItem& related : person.related)
        record.add(GoogleGroup::Relation, {"Label", "Value"},
                   {related.label.empty() ? "Other" : spokenLabel(related.label), related.text()});
    for (const PersonItem& date : person.dates)
        record.add(GoogleGroup::Event, {"Label", "Value"},
                   {date.label.empty() ? "Other" : spokenLabel(date.label), date.text()});
    for (const PersonItem& messenger : person.messengers) {
        std::string value = trimBlanks(messenger.text());
        std::string service(messenger.line.parameter("X-SERVICE-TYPE").value_or(""));
        if (service.empty()) service = messengerServiceOfScheme(value);
        // The address without its scheme where the service says it again.
        if (size_t colon = value.find(':');
            colon != std::string::npos && !service.empty() &&
            equalsIgnoringCase(value.substr(0, colon), messengerScheme(service)))
            value = value.substr(colon + 1);
        record.add(GoogleGroup::Messenger, {"Label", "Service", "Value"},
                   {labelOf(GoogleGroup::Messenger, messenger), service, value});
    }
    if (!person.readingCompany.empty())
        record.add(GoogleGroup::CustomField, {"Label", "Value"},
                   {"X-PHONETIC-ORG", person.readingCompany});
    for (const std::string& role : person.roles)
        record.add(GoogleGroup::CustomField, {"Label", "Value"}, {"ROLE", role});
    for (const PersonItem& other : person.others) {
        if (&other == photoLink) continue;  // in the Photo column
        // Apple's mark of a card shown by its company: Google has no field for it, and shows a
        // contact without a person's name by its company anyway.
        if (other.line.name == "X-ABSHOWAS") continue;
        if (other.line.base64()) {
            // Bytes: Google holds text only.
            std::string word = spokenProperty(other.line);
            if (std::find(record.embedded.begin(), record.embedded.end(), word) ==
                record.embedded.end())
                record.embedded.push_back(word);
            continue;
        }
        auto [label, value] = customField(other);
        record.add(GoogleGroup::CustomField, {"Label", "Value"}, {label, value});
    }
    // Google reads " ::: " in these columns as between two values.
    auto parted = [&record](std::string_view word, const std::string& value) {
        if (value.find(" ::: ") != std::string::npos)
            record.parted.push_back(std::string(word) + " " + value);
    };
    for (const std::string& nickname : person.nicknames) parted("ニックネーム", nickname);
    for (const std::vector<std::string>& organization : person.organizations)
        for (size_t i = 1; i < organization.size(); ++i) parted("部署", organization[i]);
    for (const std::string& category : person.categories) parted("分類", category);
    for (const PersonItem& number : person.numbers) parted("電話番号", numberValue(number));
    for (const PersonItem& mail : person.mails) parted("メールアドレス", trimBlanks(mail.text()));
    return record;
}

}  // namespace

GoogleCsvLeftOut writeGoogleCsv(const EntryRows& rows, TextSink& out) {
    // As many numbered groups as the widest entry needs, as Google's own export has.
    std::map<GoogleGroup, size_t> widest;
    size_t organizations = 1;
    rows.forEach([&](const EntryRow& row, int) {
        Record record = recordOf(readPerson(row));
        for (const auto& [group, count] : record.counts)
            widest[group] = std::max(widest[group], count);
        organizations = std::max(organizations, record.organizations);
    });
    std::vector<std::string> headings(std::begin(kFixed), std::end(kFixed));
    for (const GroupLayout& layout : groupLayouts()) {
        for (size_t i = 1; i <= widest[layout.group]; ++i)
            for (const std::string& part : layout.parts)
                headings.push_back(heading(layout.group, i, part));
        if (layout.group == GoogleGroup::Messenger)
            for (size_t i = 2; i <= organizations; ++i)
                for (const char* part : {"Name", "Title", "Department"})
                    headings.push_back("Organization " + std::to_string(i) + " - " + part);
    }
    std::string line;
    for (size_t i = 0; i < headings.size(); ++i) line += (i ? "," : "") + csvField(headings[i]);
    out.write(line + "\r\n");

    GoogleCsvLeftOut leftOut;
    std::string text;
    rows.forEach([&](const EntryRow& row, int entry) {
        out.beginEntry(entry);
        Person person = readPerson(row);
        Record record = recordOf(person);
        if (record.photoLeftOut) leftOut.photos.push_back(displayName(person));
        if (!record.embedded.empty())
            leftOut.embedded.push_back(displayName(person) + "（" + joined(record.embedded, "、") +
                                       "）");
        if (!record.parted.empty())
            leftOut.parted.push_back(displayName(person) + "（" + joined(record.parted, "、") +
                                     "）");
        text.clear();
        for (size_t i = 0; i < headings.size(); ++i) {
            auto found = record.values.find(headings[i]);
            if (i) text += ',';
            if (found == record.values.end()) continue;
            // A value that reads as Excel's text formula ("=\"…\"") is written as one, so that
            // taking the formula apart gives the value again.
            const std::string& value = found->second;
            bool formula =
                value.size() >= 3 && value.compare(0, 2, "=\"") == 0 && value.back() == '"';
            text += csvField(formula ? "=\"" + value + "\"" : value);
        }
        out.write(text + "\r\n");
    });
    return leftOut;
}

}  // namespace tsunagi
