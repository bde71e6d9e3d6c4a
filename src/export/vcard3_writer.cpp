// vCard 3.0 in UTF-8 (RFC 2426), for today's phones: the person laid out whole.

#include "export/vcard3_writer.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <vector>

#include "card/person.h"
#include "card/properties.h"
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
        // A run of bytes that begin no character is cut where the limit falls.
        if (cut == 0) cut = limit;
        out.append(line.substr(0, cut)).append("\r\n ");
        line.remove_prefix(cut);
        limit = 74;
    }
    out.append(line).append("\r\n");
}

// One card's lines, with the groups of its labelled lines numbered afresh (item1, item2, …) so
// that lines that shared a group still do.
class CardLines {
  public:
    CardLines(std::string& out, const std::vector<PersonItem>& others)
        : out_(out), others_(others), written_(others.size(), false) {}

    void text(std::string_view name, std::string_view value) {
        if (!value.empty()) appendFolded(out_, std::string(name) + ":" + escapeText(value));
    }

    void item(const PersonItem& item, std::string_view value) {
        std::string group;
        if (!item.line.group.empty() || !item.label.empty()) group = groupFor(item.line.group);
        appendFolded(out_, lineOf(item.line, group, value));
        if (!item.label.empty()) appendFolded(out_, group + ".X-ABLabel:" + escapeText(item.label));
        if (!item.printed.empty()) {
            VcardLine printed = item.line;
            printed.name = "LABEL";
            std::erase_if(printed.parameters,
                          [](const VcardParameter& p) { return p.name != "TYPE"; });
            appendFolded(out_, lineOf(printed, group, escapeText(item.printed)));
        }
        // Lines of no kind of their own that belong to this one (iOS's X-ABADR) follow it.
        if (item.line.group.empty()) return;
        for (size_t i = 0; i < others_.size(); ++i)
            if (!written_[i] && &others_[i] != &item && others_[i].line.group == item.line.group) {
                written_[i] = true;
                appendFolded(out_, lineOf(others_[i].line, group, others_[i].line.value));
            }
    }
    void item(const PersonItem& item) { this->item(item, item.line.value); }

    // The other lines not written beside a line of theirs; other photos only where `photos`
    // says, so that they can follow the person's own and are read back behind it.
    void others(bool photos) {
        for (size_t i = 0; i < others_.size(); ++i)
            if (!written_[i] &&
                (photos || propertyKind(others_[i].line.name) != PropertyKind::Photo)) {
                written_[i] = true;
                item(others_[i]);
            }
    }

  private:
    std::string groupFor(const std::string& original) {
        std::string fresh = "item" + std::to_string(++groups_);
        if (original.empty()) return fresh;
        auto [at, added] = renamed_.emplace(original, fresh);
        if (!added) --groups_;
        return at->second;
    }

    static std::string lineOf(const VcardLine& line, const std::string& group,
                              std::string_view value) {
        std::string text = group.empty() ? std::string() : group + ".";
        text += line.name;
        for (const VcardParameter& parameter : line.parameters)
            appendParameter(text, parameter.name, parameter.value);
        text += ':';
        text += value;
        return text;
    }

    std::string& out_;
    const std::vector<PersonItem>& others_;
    std::vector<bool> written_;
    std::map<std::string, std::string> renamed_;
    int groups_ = 0;
};

// The types of a number or a mail in one form, whoever wrote them ("type=cell;type=VOICE" and
// "TYPE=CELL" alike "TYPE=CELL"), so that a card read and written again is the same: upper
// case, no VOICE beside another type of a number, and VOICE where a number has no type.
PersonItem withPlainTypes(const PersonItem& item) {
    PersonItem plain = item;
    std::vector<std::string> types = item.types();
    if (item.line.name == "TEL" &&
        std::any_of(types.begin(), types.end(),
                    [](const std::string& t) { return t != "VOICE" && t != "PREF"; }))
        std::erase(types, "VOICE");
    std::string joined;
    for (const std::string& type : types) joined += (joined.empty() ? "" : ",") + type;
    auto& parameters = plain.line.parameters;
    auto first = std::find_if(parameters.begin(), parameters.end(),
                              [](const VcardParameter& p) { return p.name == "TYPE"; });
    if (first != parameters.end() && joined.empty()) {  // types of nothing: none
        std::erase_if(parameters, [](const VcardParameter& p) { return p.name == "TYPE"; });
        first = parameters.end();
    }
    if (first == parameters.end()) {
        // A number of no type and no label (vCard 4.0 has no default) is a voice number, as
        // vCard 3.0 reads a TEL of no type: said, so that it reads back as it was written. An
        // address (sip:, or any written as one: VALUE=uri) is no voice number; any other value
        // is read back as one, whatever it holds.
        const std::string& value = item.line.value;
        if (item.line.name == "TEL" && item.line.group.empty() && item.label.empty() &&
            !item.line.parameter("VALUE") && !startsWithIgnoringCase(value, "sip:") &&
            !startsWithIgnoringCase(value, "sips:"))
            parameters.push_back({"TYPE", "VOICE"});
        // A mail's, likewise, is INTERNET.
        if (item.line.name == "EMAIL" && item.line.group.empty() && item.label.empty())
            parameters.push_back({"TYPE", "INTERNET"});
        return plain;
    }
    first->value = joined;
    std::erase_if(parameters,
                  [&](const VcardParameter& p) { return p.name == "TYPE" && &p != &*first; });
    return plain;
}

// A number or a mail escaped as any text, whether the phone's line or another card's gave it
// (a kept line holds a 2.1 card's ";" as it came).
PersonItem escapedItem(const PersonItem& item) {
    if (item.line.value.find_first_of(";,\\") == std::string::npos) return item;
    PersonItem escaped = item;
    escaped.line.value = escapeText(item.text());
    return escaped;
}

// A number as vCard 3.0 has it: as people read it (numberAsText), escaped as any text. A tel:
// URI is told by the text the line holds, as the number is read ("tel\:1" of a 2.1 card too);
// one of no number ("tel:") is written as it is, which says more than nothing.
PersonItem telItem(const PersonItem& number) {
    std::string unescaped = trimBlanks(number.text());
    // One whose number is itself a URI ("tel:tel:") would read back another: as it is too.
    std::string read = trimBlanks(numberAsText(unescaped));
    if (!startsWithIgnoringCase(unescaped, "tel:") || read.empty() ||
        startsWithIgnoringCase(read, "tel:")) {
        // Without the tabs and line breaks around it, which reading it back leaves off.
        std::string whole = number.text();
        size_t first = whole.find_first_not_of(" \t\r\n");
        if (first == 0 && whole.find_last_not_of(" \t\r\n") + 1 == whole.size())
            return escapedItem(number);
        PersonItem trimmed = number;
        trimmed.line.value =
            escapeText(first == std::string::npos
                           ? std::string()
                           : whole.substr(first, whole.find_last_not_of(" \t\r\n") - first + 1));
        return trimmed;
    }
    PersonItem text = number;
    std::erase_if(text.line.parameters, [](const VcardParameter& p) { return p.name == "VALUE"; });
    text.line.value = escapeText(read);
    return text;
}

std::string joinedComponents(const std::vector<std::string>& parts, size_t at_least) {
    std::string joined;
    for (size_t i = 0; i < std::max(parts.size(), at_least); ++i)
        joined += (i ? ";" : "") + (i < parts.size() ? escapeText(parts[i]) : std::string());
    return joined;
}

}  // namespace

void writeVcard3(const EntryRows& rows, TextSink& out) {
    std::string card;
    std::unordered_map<std::uint64_t, size_t> seen;
    rows.forEach([&](const EntryRow& row, int entry) {
        out.beginEntry(entry);
        Person person = readPerson(row);
        card = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        CardLines lines(card, person.others);
        appendFolded(card, "N:" + joinedComponents(person.name, 5));
        appendFolded(card, "FN:" + escapeText(displayName(person)));
        if (!person.nicknames.empty()) {
            std::string nicknames;
            for (const std::string& nickname : person.nicknames)
                nicknames += (nicknames.empty() ? "" : ",") + escapeText(nickname);
            appendFolded(card, "NICKNAME:" + nicknames);
        }
        lines.text("X-PHONETIC-LAST-NAME", person.readingFamily);
        lines.text("X-PHONETIC-MIDDLE-NAME", person.readingMiddle);
        lines.text("X-PHONETIC-FIRST-NAME", person.readingGiven);
        for (const PersonItem& number : person.numbers) lines.item(withPlainTypes(telItem(number)));
        for (const PersonItem& mail : person.mails) lines.item(withPlainTypes(escapedItem(mail)));
        for (const std::string& note : person.notes) lines.text("NOTE", note);
        for (const std::vector<std::string>& organization : person.organizations)
            appendFolded(card, "ORG:" + joinedComponents(organization, 1));
        lines.text("X-PHONETIC-ORG", person.readingCompany);
        for (const std::string& title : person.titles) lines.text("TITLE", title);
        for (const std::string& role : person.roles) lines.text("ROLE", role);
        if (!person.birthday.empty()) appendFolded(card, "BDAY:" + escapedDate(person.birthday));
        for (const PersonItem& address : person.addresses) lines.item(address);
        for (const PersonItem& website : person.websites) lines.item(website);
        for (const PersonItem& messenger : person.messengers) lines.item(messenger);
        for (const PersonItem& related : person.related) lines.item(related);
        for (const PersonItem& date : person.dates) lines.item(date);
        if (!person.categories.empty()) {
            std::string categories;
            for (const std::string& category : person.categories)
                categories += (categories.empty() ? "" : ",") + escapeText(category);
            appendFolded(card, "CATEGORIES:" + categories);
        }
        lines.others(false);
        if (person.photo) lines.item(PersonItem{*person.photo, "", ""});
        lines.others(true);
        appendFolded(card, "UID:" + uidOf(person, row, rows.uidSeed, seen));
        card += "END:VCARD\r\n";
        out.write(card);
    });
}

}  // namespace tsunagi
