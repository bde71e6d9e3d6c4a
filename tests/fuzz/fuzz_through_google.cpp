// A vCard file of any bytes, read, written as a Google Contacts CSV and read back: every person
// holds what Google's columns hold as before (the name's five parts, nicknames, companies and
// their units, titles, the birthday, labels, numbers, mails and notes), fact by fact.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "card/person.h"
#include "card/properties.h"
#include "card/vcard_line.h"
#include "export/google_csv_writer.h"
#include "import/csv_import.h"
#include "import/vcf_import.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/text_file.h"
#include "store/entries.h"

namespace {

using namespace tsunagi;

// The facts of each person of a store, a line each, as Google's columns hold them.
std::vector<std::string> factsOf(const Store& store) {
    std::vector<std::string> facts;
    Connection connection = store.open();
    storedRows(connection).forEach([&facts](const EntryRow& row, int) {
        Person person = readPerson(row);
        std::string fact;
        bool any = false;
        // Blanks around a value are none of it: Google's cells are read without them; nor are
        // control characters, which no person's value holds but a broken file's.
        auto add = [&fact, &any](const char* what, std::string value) {
            std::erase_if(value, isControl);
            std::string trimmed = trimBlanks(value);
            fact.append(what).append("=").append(trimmed).append("|");
            any = any || !trimmed.empty();
        };
        // A name holding a line break or another control character is no name of a phone's (a
        // broken card): it is compared whole, as its parts may not be told apart again.
        std::string whole;
        for (const std::string& part : person.name) whole += trimBlanks(part);
        if (std::any_of(whole.begin(), whole.end(), isControl))
            add("whole name", whole);
        else
            for (const std::string& part : person.name) add("name", part);
        // Values of a kind one after another, as Google joins them in a cell: " ::: " within one
        // is not told from the joint (the save names such a value), nor are the blanks around it.
        auto addAll = [&add](const char* what, const std::vector<std::string>& values,
                             bool parted = true) {
            std::string joined;
            for (const std::string& value : values)
                if (!parted)
                    joined += (joined.empty() ? "" : " ::: ") + trimBlanks(value);
                else
                    for (size_t start = 0;;) {
                        size_t end = value.find(" ::: ", start);
                        std::string piece = trimBlanks(value.substr(start, end - start));
                        if (!piece.empty()) joined += (joined.empty() ? "" : " ::: ") + piece;
                        if (end == std::string::npos) break;
                        start = end + 5;
                    }
            add(what, joined);
        };
        addAll("nicknames", person.nicknames);
        for (const std::vector<std::string>& organization : person.organizations) {
            // The company, then its units; an empty unit says nothing, and Google's cell of
            // units has none. A unit holding " ::: " is two in that cell (the save names it).
            std::string units = organization.empty() ? ";" : organization.front() + ";";
            for (size_t u = 1; u < organization.size(); ++u)
                for (size_t start = 0;;) {
                    size_t end = organization[u].find(" ::: ", start);
                    std::string piece = trimBlanks(organization[u].substr(start, end - start));
                    if (!piece.empty()) units += piece + ";";
                    if (end == std::string::npos) break;
                    start = end + 5;
                }
            add("org", units);
        }
        for (const std::string& title : person.titles) add("title", title);
        add("birthday", person.birthday);
        addAll("labels", person.categories);
        std::vector<std::string> numbers, mails;
        for (const PersonItem& number : person.numbers)
            numbers.push_back(numberAsText(number.text()));
        // Written without the blanks around them, where a separator at the end ("a ::: ") is
        // none any more.
        for (const PersonItem& mail : person.mails) mails.push_back(trimBlanks(mail.text()));
        addAll("numbers", numbers);
        addAll("mails", mails);
        std::string notes;
        for (const std::string& note : person.notes) notes += (notes.empty() ? "" : "\n\n") + note;
        add("notes", notes);
        add("reading family", person.readingFamily);
        add("reading given", person.readingGiven);
        // Whatever has no column of its own comes back a custom field: its value, in any order
        // (a label of one line goes with it; bytes are named, not written; a photo's odd line
        // may come back the photo).
        std::vector<std::string> others;
        for (const PersonItem& other : person.others)
            if (!other.line.base64() && other.line.name != "X-ABLABEL" &&
                propertyKind(other.line.name) != PropertyKind::Photo)
                others.push_back(trimBlanks(other.text()));
        std::sort(others.begin(), others.end());
        addAll("others", others, false);
        // A person of none of these may hold nothing Google writes (a photo in the card, which
        // the export names), and is not read back.
        if (any) facts.push_back(std::move(fact));
    });
    return facts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Store cards = Store::inMemory();
    try {
        LineReader lines = LineReader::fromBytes(
            std::string(reinterpret_cast<const char*>(data), size), "book.vcf");
        importVcfLines(cards, lines);
    } catch (const TsunagiError&) {
        return 0;  // refused: nobody to write
    }
    std::vector<std::string> before = factsOf(cards);
    if (before.empty()) return 0;
    StringSink google;
    {
        Connection connection = cards.open();
        writeGoogleCsv(storedRows(connection), google);
    }
    Store again = Store::inMemory();
    try {
        LineReader lines = LineReader::fromBytes(google.text, "google.csv");
        importCsvLines(again, lines);
    } catch (const TsunagiError& error) {
        std::fprintf(stderr, "our own CSV refused: %s\n%s\n", error.what(), google.text.c_str());
        std::abort();
    }
    std::vector<std::string> after = factsOf(again);
    if (after != before) {
        std::fprintf(stderr, "--- the Google CSV\n%s\n", google.text.c_str());
        for (size_t i = 0; i < std::max(before.size(), after.size()); ++i) {
            const std::string& one = i < before.size() ? before[i] : "(none)";
            const std::string& two = i < after.size() ? after[i] : "(none)";
            if (one != two)
                std::fprintf(stderr, "--- before\n%s\n--- after\n%s\n", one.c_str(), two.c_str());
        }
        std::abort();
    }
    return 0;
}
