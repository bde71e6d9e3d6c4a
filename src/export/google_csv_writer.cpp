// The CSV that Google Contacts writes and reads, with the headings of its own export.

#include "export/google_csv_writer.h"

#include <algorithm>

#include "export/address_book_writer.h"
#include "export/smartphone_person.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

const char* numberLabel(NumberClass type) {
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

}  // namespace

void writeGoogleCsv(const EntryRows& rows, TextSink& out) {
    static const char* const kFixed =
        "First Name,Middle Name,Last Name,Phonetic First Name,Phonetic Middle Name,Phonetic Last "
        "Name,Name Prefix,Name Suffix,Nickname,File As,Organization Name,Organization "
        "Title,Organization Department,Birthday,Notes,Photo,Labels";
    // As many numbered groups as the widest entry needs, as Google's own export has.
    size_t mailGroups = 0, phoneGroups = 0;
    rows.forEach([&](const EntryRow& row, int) {
        Person person = personOf(row);
        mailGroups = std::max(mailGroups, person.mails.size());
        phoneGroups = std::max(phoneGroups, person.numbers.size());
    });
    std::string heading = kFixed;
    for (size_t i = 1; i <= mailGroups; ++i)
        heading +=
            ",E-mail " + std::to_string(i) + " - Label,E-mail " + std::to_string(i) + " - Value";
    for (size_t i = 1; i <= phoneGroups; ++i)
        heading +=
            ",Phone " + std::to_string(i) + " - Label,Phone " + std::to_string(i) + " - Value";
    out.write(heading + "\r\n");

    std::string record;
    rows.forEach([&](const EntryRow& row, int entry) {
        out.beginEntry(entry);
        Person person = personOf(row);
        record = csvField(person.given) + "," + "," + csvField(person.family) + "," +
                 csvField(person.readingGiven) + ",," + csvField(person.readingFamily) +
                 ",,,,,,,,," + csvField(person.note) + ",,* myContacts";
        for (size_t i = 0; i < mailGroups; ++i) {
            if (i < person.mails.size())
                record += std::string(",") +
                          (person.mails[i].type == MailClass::Cell ? "Mobile" : "Other") + "," +
                          csvField(trimBlanks(person.mails[i].value));
            else
                record += ",,";
        }
        for (size_t i = 0; i < phoneGroups; ++i) {
            if (i < person.numbers.size())
                record += std::string(",") + numberLabel(person.numbers[i].type) + "," +
                          csvField(numberText(person.numbers[i].value));
            else
                record += ",,";
        }
        out.write(record + "\r\n");
    });
}

}  // namespace tsunagi
