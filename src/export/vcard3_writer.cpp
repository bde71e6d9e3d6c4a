// vCard 3.0 in UTF-8 (RFC 2426), for today's phones.

#include "export/vcard3_writer.h"

#include <algorithm>
#include <unordered_map>

#include "export/smartphone_person.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

// A content line folded at 75 octets, never inside a UTF-8 sequence; each continuation begins
// with one blank, which counts towards its 75.
void appendFolded(std::string& out, std::string_view line) {
    size_t limit = 75;
    while (line.size() > limit) {
        size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        out.append(line.substr(0, cut)).append("\r\n ");
        line.remove_prefix(cut);
        limit = 74;
    }
    out.append(line).append("\r\n");
}

const char* numberType(NumberClass type) {
    switch (type) {
        case NumberClass::Home:
            return "HOME";
        case NumberClass::Cell:
            return "CELL";
        case NumberClass::Work:
            return "WORK";
        case NumberClass::Other:
            break;
    }
    return "VOICE";
}

// A kept line as vCard 3.0 writes it: group, name, parameters, value.
std::string lineOf(const VcardLine& line, std::string_view value) {
    std::string text = line.group.empty() ? std::string() : line.group + ".";
    // As iPhone and Android write it.
    text += line.name == "X-ABLABEL" ? std::string("X-ABLabel") : line.name;
    for (const VcardParameter& parameter : line.parameters)
        text += ";" + parameter.name + "=" + parameter.value;
    text += ':';
    text += value;
    return text;
}

// A number's own line as vCard 3.0 has it: a tel: URI of vCard 4.0 ("tel:+81-3-5555-7777;ext=12")
// as the text 3.0 readers take ("+81-3-5555-7777 ext. 12").
std::string telLine(const VcardLine& line) {
    if (!startsWithIgnoringCase(line.value, "tel:")) return lineOf(line, line.value);
    VcardLine text = line;
    std::erase_if(text.parameters, [](const VcardParameter& p) { return p.name == "VALUE"; });
    std::string value = line.value.substr(4);
    if (size_t ext = lowerAscii(value).find(";ext="); ext != std::string::npos)
        value = value.substr(0, ext) + " ext. " + value.substr(ext + 5);
    return lineOf(text, value);
}

}  // namespace

void writeVcard3(const EntryRows& rows, TextSink& out) {
    std::string card;
    std::unordered_map<std::uint64_t, size_t> seen;
    rows.forEach([&](const EntryRow& row, int entry) {
        out.beginEntry(entry);
        Person person = personOf(row);
        card = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        if (person.wholeName)
            appendFolded(card, "N:;" + escapeText(person.family) + ";;;");
        else
            appendFolded(card,
                         "N:" + escapeText(person.family) + ";" + escapeText(person.given) + ";;;");
        appendFolded(card, "FN:" + escapeText(displayName(person)));
        if (!person.readingFamily.empty())
            appendFolded(card, "X-PHONETIC-LAST-NAME:" + escapeText(person.readingFamily));
        if (!person.readingGiven.empty())
            appendFolded(card, "X-PHONETIC-FIRST-NAME:" + escapeText(person.readingGiven));
        // Groups ("item1") of the lines written, so that their labels go with them.
        std::vector<std::string> groups;
        for (const NumberPiece& number : person.numbers) {
            // The card's own line, with its types (FAX, PAGER, MAIN) and its label's group.
            if (const VcardLine* original = person.originalNumber(number.value)) {
                appendFolded(card, telLine(*original));
                groups.push_back(original->group);
                continue;
            }
            appendFolded(card, std::string("TEL;TYPE=") + numberType(number.type) + ":" +
                                   escapeText(numberText(number.value)));
        }
        for (const MailPiece& mail : person.mails) {
            if (const VcardLine* original = person.originalMail(mail.value)) {
                appendFolded(card, lineOf(*original, original->value));
                groups.push_back(original->group);
                continue;
            }
            appendFolded(card, std::string("EMAIL;TYPE=INTERNET") +
                                   (mail.type == MailClass::Cell ? ",CELL" : "") + ":" +
                                   escapeText(trimBlanks(mail.value)));
        }
        if (!person.note.empty()) appendFolded(card, "NOTE:" + escapeText(person.note));
        bool uidWritten = false;
        for (const VcardLine& extra : person.extras) {
            // Numbers and mails went above, or were taken out of the entry since.
            if (extra.name == "TEL" || extra.name == "EMAIL") continue;
            // A label goes with its line: not when that line is gone.
            if (extra.name == "X-ABLABEL" && !extra.group.empty() &&
                std::find(groups.begin(), groups.end(), extra.group) == groups.end()) {
                bool labelsOther = std::any_of(
                    person.extras.begin(), person.extras.end(), [&](const VcardLine& other) {
                        return other.group == extra.group && other.name != "X-ABLABEL" &&
                               other.name != "TEL" && other.name != "EMAIL";
                    });
                if (!labelsOther) continue;
            }
            if (extra.name == "NOTE" && !person.note.empty()) continue;
            if (extra.name == "UID") uidWritten = true;
            appendFolded(card, lineOf(extra, extra.value));
        }
        if (!uidWritten) appendFolded(card, "UID:" + uidOf(person, row, seen));
        card += "END:VCARD\r\n";
        out.write(card);
    });
}

}  // namespace tsunagi
