// The CSV that Google Contacts writes and reads, with the headings of its own export: every
// value the entry holds under its heading.

#include "export/google_csv_writer.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "export/address_book_writer.h"
#include "export/smartphone_person.h"
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

// An iPhone's built-in label ("_$!<HomePage>!$_") in the words Google shows ("Home Page");
// a label of the user's own as it is.
std::string googleLabel(std::string label) {
    if (label.size() > 8 && label.compare(0, 4, "_$!<") == 0 &&
        label.compare(label.size() - 4, 4, ">!$_") == 0) {
        std::string word = label.substr(4, label.size() - 8), spaced;
        for (size_t i = 0; i < word.size(); ++i) {
            if (i > 0 && std::isupper(static_cast<unsigned char>(word[i])) &&
                std::islower(static_cast<unsigned char>(word[i - 1])))
                spaced += ' ';
            spaced += word[i];
        }
        return spaced;
    }
    return label;
}

std::string unescaped(std::string_view value) {
    std::string scratch;
    return std::string(unescapeText(value, scratch));
}

bool hasType(const VcardLine& line, std::string_view type) { return line.hasType(type); }

// Google's label for a number: its custom label, else one of Google's own.
std::string phoneLabel(const Person& person, const VcardLine* original, NumberClass type) {
    if (original) {
        if (std::string label = person.labelOf(original->group); !label.empty())
            return googleLabel(label);
        bool fax = hasType(*original, "FAX");
        if (fax && hasType(*original, "WORK")) return "Work Fax";
        if (fax && hasType(*original, "HOME")) return "Home Fax";
        if (fax) return "Other Fax";
        if (hasType(*original, "PAGER")) return "Pager";
        if (hasType(*original, "MAIN")) return "Main";
    }
    switch (type) {
        case NumberClass::Home:
            return "Home";
        case NumberClass::Cell:
            return "Mobile";
        case NumberClass::Work:
            return "Work";
        case NumberClass::Other:
            break;
    }
    return "Other";
}

std::string mailLabel(const Person& person, const MailPiece& mail) {
    if (const VcardLine* original = person.originalMail(mail.value)) {
        if (std::string label = person.labelOf(original->group); !label.empty())
            return googleLabel(label);
        if (hasType(*original, "HOME")) return "Home";
        if (hasType(*original, "WORK")) return "Work";
        if (hasType(*original, "CELL")) return "Mobile";
        return "Other";
    }
    return mail.type == MailClass::Cell ? "Mobile" : "Other";
}

std::string typeLabel(const Person& person, const VcardLine& line) {
    if (std::string label = person.labelOf(line.group); !label.empty()) return googleLabel(label);
    if (hasType(line, "HOME")) return "Home";
    if (hasType(line, "WORK")) return "Work";
    return "Other";
}

// One record's values by heading, as Google writes them.
std::map<std::string, std::string> valuesOf(const Person& person) {
    std::map<std::string, std::string> values;
    if (person.wholeName) {
        values["First Name"] = person.family;
    } else {
        values["First Name"] = person.given;
        values["Last Name"] = person.family;
    }
    values["Phonetic First Name"] = person.readingGiven;
    values["Phonetic Last Name"] = person.readingFamily;
    values["Notes"] = person.note;
    std::string labels = "* myContacts";
    int address = 0, website = 0;
    for (const VcardLine& line : person.extras) {
        if (line.name == "NICKNAME") {
            values["Nickname"] = unescaped(line.value);
        } else if (line.name == "ORG") {
            std::vector<std::string> parts;
            splitComponents(line.value, ';', parts);
            values["Organization Name"] = parts.empty() ? "" : parts[0];
            if (parts.size() > 1) values["Organization Department"] = parts[1];
        } else if (line.name == "TITLE") {
            values["Organization Title"] = unescaped(line.value);
        } else if (line.name == "BDAY") {
            values["Birthday"] = line.value;
        } else if (line.name == "NOTE" && person.note.empty()) {
            values["Notes"] = unescaped(line.value);
        } else if (line.name == "PHOTO" && line.parameter("VALUE") &&
                   equalsIgnoringCase(*line.parameter("VALUE"), "uri")) {
            values["Photo"] = line.value;
        } else if (line.name == "CATEGORIES") {
            std::vector<std::string> parts;
            splitComponents(line.value, ',', parts);
            for (const std::string& part : parts) labels += " ::: " + part;
        } else if (line.name == "ADR") {
            std::string prefix = "Address " + std::to_string(++address) + " - ";
            std::vector<std::string> parts;
            splitComponents(line.value, ';', parts);
            parts.resize(7);
            values[prefix + "Label"] = typeLabel(person, line);
            values[prefix + "PO Box"] = parts[0];
            values[prefix + "Extended Address"] = parts[1];
            values[prefix + "Street"] = parts[2];
            values[prefix + "City"] = parts[3];
            values[prefix + "Region"] = parts[4];
            values[prefix + "Postal Code"] = parts[5];
            values[prefix + "Country"] = parts[6];
            std::string formatted;
            for (const VcardLine& other : person.extras)
                if (other.name == "LABEL" && !line.group.empty() && other.group == line.group)
                    formatted = unescaped(other.value);
            if (formatted.empty()) {
                for (const std::string* part :
                     {&parts[2], &parts[3], &parts[4], &parts[5], &parts[6]})
                    if (!part->empty()) formatted += (formatted.empty() ? "" : "\n") + *part;
            }
            values[prefix + "Formatted"] = formatted;
        } else if (line.name == "URL") {
            std::string prefix = "Website " + std::to_string(++website) + " - ";
            values[prefix + "Label"] = typeLabel(person, line);
            values[prefix + "Value"] = unescaped(line.value);
        } else if (line.name == "X-TSUNAGI-COLUMN") {
            if (auto heading = line.parameter("X-HEADING"))
                values[unescaped(*heading)] = unescaped(line.value);
        }
    }
    values["Labels"] = labels;
    return values;
}

}  // namespace

void writeGoogleCsv(const EntryRows& rows, TextSink& out) {
    // As many numbered groups as the widest entry needs, as Google's own export has, and every
    // other heading an entry holds a value under.
    size_t mailGroups = 0, phoneGroups = 0, addressGroups = 0, websiteGroups = 0;
    std::vector<std::string> others;
    rows.forEach([&](const EntryRow& row, int) {
        Person person = personOf(row);
        mailGroups = std::max(mailGroups, person.mails.size());
        phoneGroups = std::max(phoneGroups, person.numbers.size());
        size_t addresses = 0, websites = 0;
        for (const VcardLine& line : person.extras) {
            addresses += line.name == "ADR";
            websites += line.name == "URL";
            if (line.name == "X-TSUNAGI-COLUMN")
                if (auto heading = line.parameter("X-HEADING")) {
                    std::string name = unescaped(*heading);
                    bool fixed =
                        std::find(std::begin(kFixed), std::end(kFixed), name) != std::end(kFixed);
                    if (!fixed && std::find(others.begin(), others.end(), name) == others.end())
                        others.push_back(name);
                }
        }
        addressGroups = std::max(addressGroups, addresses);
        websiteGroups = std::max(websiteGroups, websites);
    });
    std::vector<std::string> headings(std::begin(kFixed), std::end(kFixed));
    for (size_t i = 1; i <= mailGroups; ++i)
        for (const char* part : {" - Label", " - Value"})
            headings.push_back("E-mail " + std::to_string(i) + part);
    for (size_t i = 1; i <= phoneGroups; ++i)
        for (const char* part : {" - Label", " - Value"})
            headings.push_back("Phone " + std::to_string(i) + part);
    for (size_t i = 1; i <= addressGroups; ++i) {
        headings.push_back("Address " + std::to_string(i) + " - Label");
        for (const char* part : kAddressParts)
            headings.push_back("Address " + std::to_string(i) + " - " + part);
    }
    for (size_t i = 1; i <= websiteGroups; ++i)
        for (const char* part : {" - Label", " - Value"})
            headings.push_back("Website " + std::to_string(i) + part);
    headings.insert(headings.end(), others.begin(), others.end());
    std::string line;
    for (size_t i = 0; i < headings.size(); ++i) line += (i ? "," : "") + csvField(headings[i]);
    out.write(line + "\r\n");

    std::string record;
    rows.forEach([&](const EntryRow& row, int entry) {
        out.beginEntry(entry);
        Person person = personOf(row);
        std::map<std::string, std::string> values = valuesOf(person);
        for (size_t i = 0; i < person.mails.size(); ++i) {
            std::string prefix = "E-mail " + std::to_string(i + 1) + " - ";
            values[prefix + "Label"] = mailLabel(person, person.mails[i]);
            values[prefix + "Value"] = trimBlanks(person.mails[i].value);
        }
        for (size_t i = 0; i < person.numbers.size(); ++i) {
            std::string prefix = "Phone " + std::to_string(i + 1) + " - ";
            const NumberPiece& number = person.numbers[i];
            const VcardLine* original = person.originalNumber(number.value);
            values[prefix + "Label"] = phoneLabel(person, original, number.type);
            values[prefix + "Value"] =
                original ? unescaped(original->value) : numberText(number.value);
        }
        record.clear();
        for (size_t i = 0; i < headings.size(); ++i) {
            auto found = values.find(headings[i]);
            if (i) record += ',';
            if (found != values.end()) record += csvField(found->second);
        }
        out.write(record + "\r\n");
    });
}

}  // namespace tsunagi
