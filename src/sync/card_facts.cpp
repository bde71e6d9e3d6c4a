#include "sync/card_facts.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <unordered_set>

#include "card/unicode.h"

namespace tsunagi {
namespace {

// Lines that say nothing of the person, or that each side writes of its own.
bool bookkeeping(std::string_view name) {
    return name == "VERSION" || name == "PRODID" || name == "REV" || name == "UID" ||
           name == "BEGIN" || name == "END" || name == "X-TSUNAGI-MERGED-UID";
}

// Properties a card holds once: ours stands where we have one.
bool single(std::string_view name) {
    return name == "N" || name == "FN" || name == "BDAY" || name == "X-PHONETIC-LAST-NAME" ||
           name == "X-PHONETIC-FIRST-NAME" || name == "X-PHONETIC-MIDDLE-NAME" ||
           name == "X-PHONETIC-ORG" || name == "SORT-STRING" || name == "PHOTO";
}

// What this program models of a person: the server's lines of these are ours to say.
bool modelled(std::string_view name) {
    static const std::unordered_set<std::string_view> names = {"N",
                                                               "FN",
                                                               "NICKNAME",
                                                               "X-PHONETIC-LAST-NAME",
                                                               "X-PHONETIC-FIRST-NAME",
                                                               "X-PHONETIC-MIDDLE-NAME",
                                                               "X-PHONETIC-ORG",
                                                               "TEL",
                                                               "EMAIL",
                                                               "ADR",
                                                               "ORG",
                                                               "TITLE",
                                                               "ROLE",
                                                               "NOTE",
                                                               "BDAY",
                                                               "URL"};
    return names.count(name) > 0;
}

std::string digitsOf(std::string_view number) {
    std::string digits;
    for (char c : number)
        if (std::isdigit(static_cast<unsigned char>(c)) || (c == '+' && digits.empty()))
            digits += c;
    return digits;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trimmed(std::string_view text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return "";
    size_t end = text.find_last_not_of(" \t");
    return std::string(text.substr(begin, end - begin + 1));
}

// A text value as compared: escapes of commas and line breaks undone (servers escape commas
// in some values and not in others), semicolons kept as the separators they are.
std::string comparedText(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            char next = value[i + 1];
            if (next == ',' || next == ':' || next == '\\') {
                out += next;
                ++i;
                continue;
            }
            if (next == 'n' || next == 'N') {
                out += '\n';
                ++i;
                continue;
            }
        }
        out += value[i];
    }
    // A compound value's empty parts at its end say nothing: "ORG:明治商会;" is "ORG:明治商会".
    if (out.find(';') != std::string::npos)
        while (!out.empty() && out.back() == ';') out.pop_back();
    return trimmed(out);
}

// The types of a line, lower case, sorted, without those that say nothing ("internet",
// "voice", "pref").
std::string typesOf(const VcardLine& line) {
    std::set<std::string> types;
    for (const VcardParameter& parameter : line.parameters) {
        if (parameter.name != "TYPE") continue;
        size_t start = 0;
        while (start <= parameter.value.size()) {
            size_t comma = parameter.value.find(',', start);
            if (comma == std::string::npos) comma = parameter.value.size();
            std::string type = lower(trimmed(parameter.value.substr(start, comma - start)));
            if (!type.empty() && type != "internet" && type != "voice" && type != "pref")
                types.insert(type);
            start = comma + 1;
        }
    }
    std::string out;
    for (const std::string& type : types) out += (out.empty() ? "" : ",") + type;
    return out;
}

// A line's fact without its types: what tells one number, mail or value from another.
std::string valueFact(const VcardLine& line) {
    if (line.name == "TEL") return "TEL:" + digitsOf(comparedText(line.value));
    if (line.name == "EMAIL") return "EMAIL:" + lower(comparedText(line.value));
    return line.name + ":" + comparedText(line.value);
}

}  // namespace

std::vector<VcardLine> cardLines(std::string_view card, std::vector<std::string>* raw) {
    std::vector<VcardLine> lines;
    std::string logical;
    auto flush = [&] {
        if (logical.empty()) return;
        VcardLine line;
        if (parseVcardLine(logical, line) && line.name != "BEGIN" && line.name != "END") {
            lines.push_back(std::move(line));
            if (raw) raw->push_back(logical);
        }
        logical.clear();
    };
    size_t at = 0;
    while (at < card.size()) {
        size_t end = card.find('\n', at);
        if (end == std::string_view::npos) end = card.size();
        std::string_view physical = card.substr(at, end - at);
        if (!physical.empty() && physical.back() == '\r') physical.remove_suffix(1);
        if (!physical.empty() && (physical[0] == ' ' || physical[0] == '\t'))
            logical.append(physical.substr(1));
        else {
            flush();
            logical.assign(physical);
        }
        at = end + 1;
    }
    flush();
    return lines;
}

std::string lineFact(const VcardLine& line) {
    if (bookkeeping(line.name)) return "";
    std::string fact = valueFact(line);
    if (line.name == "TEL" || line.name == "EMAIL" || line.name == "ADR") {
        std::string types = typesOf(line);
        if (!types.empty()) fact += ";" + types;
    }
    return fact;
}

std::vector<std::string> cardFacts(std::string_view card) {
    std::set<std::string> facts;
    for (const VcardLine& line : cardLines(card)) {
        // A label says what its line is; it counts with that line's fact.
        if (line.name == "X-ABLABEL") {
            facts.insert("X-ABLABEL:" + comparedText(line.value));
            continue;
        }
        std::string fact = lineFact(line);
        if (!fact.empty()) facts.insert(std::move(fact));
    }
    return {facts.begin(), facts.end()};
}

CardSummary summaryOf(std::string_view card) {
    CardSummary summary;
    std::string formatted, structured;
    for (const VcardLine& line : cardLines(card)) {
        if (line.name == "UID")
            summary.uid = trimmed(line.value);
        else if (line.name == "FN")
            formatted = comparedText(line.value);
        else if (line.name == "N")
            structured = comparedText(line.value);
        else if (line.name == "TEL")
            summary.numbers.push_back(digitsOf(line.value));
        else if (line.name == "EMAIL")
            summary.mails.push_back(lower(comparedText(line.value)));
    }
    summary.name = personNameKey(formatted.empty() ? structured : formatted);
    return summary;
}

CardSummary summaryOfFacts(const std::vector<std::string>& facts) {
    CardSummary summary;
    for (const std::string& fact : facts) {
        std::string_view value = std::string_view(fact).substr(fact.find(':') + 1);
        std::string_view bare = value.substr(0, value.find(';'));
        if (fact.starts_with("FN:"))
            summary.name = personNameKey(value);
        else if (fact.starts_with("TEL:"))
            summary.numbers.emplace_back(bare);
        else if (fact.starts_with("EMAIL:"))
            summary.mails.emplace_back(bare);
    }
    return summary;
}

bool samePerson(const CardSummary& a, const CardSummary& b) {
    if (a.name.empty() || a.name != b.name) return false;
    auto shares = [](const std::vector<std::string>& x, const std::vector<std::string>& y) {
        for (const std::string& value : x)
            if (!value.empty() && std::find(y.begin(), y.end(), value) != y.end()) return true;
        return false;
    };
    if (shares(a.numbers, b.numbers) || shares(a.mails, b.mails)) return true;
    bool aHas = !a.numbers.empty() || !a.mails.empty();
    bool bHas = !b.numbers.empty() || !b.mails.empty();
    if (!aHas || !bHas) return false;  // nothing to tie by: asked elsewhere, never here
    if (!a.numbers.empty() && !b.numbers.empty()) return false;
    if (!a.mails.empty() && !b.mails.empty()) return false;
    return true;
}

std::string foldedLine(std::string_view line) {
    std::string out;
    size_t width = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        auto byte = static_cast<unsigned char>(line[i]);
        size_t length = byte < 0x80    ? 1
                        : byte >= 0xF0 ? 4
                        : byte >= 0xE0 ? 3
                        : byte >= 0xC0 ? 2
                                       : 1;
        if (width + length > 75) {
            out += "\r\n ";
            width = 1;
        }
        out.append(line.substr(i, length));
        width += length;
        i += length - 1;
    }
    return out + "\r\n";
}

std::string lineText(const VcardLine& line) {
    std::string text = line.group.empty() ? line.name : line.group + "." + line.name;
    for (const VcardParameter& parameter : line.parameters) {
        text += ";";
        if (!parameter.name.empty()) text += parameter.name + "=";
        bool quoted = parameter.value.find_first_of(":;") != std::string::npos;
        text += quoted ? "\"" + parameter.value + "\"" : parameter.value;
    }
    return text + ":" + line.value;
}

std::string mergedCard(std::string_view server, std::string_view ours,
                       const std::vector<std::string>& base) {
    std::vector<std::string> theirText;
    std::vector<VcardLine> theirs = cardLines(server, &theirText), mine = cardLines(ours);
    std::set<std::string> baseValues;
    for (const std::string& fact : base) baseValues.insert(fact.substr(0, fact.find(';')));
    std::set<std::string> ourNames;
    for (const VcardLine& line : mine) ourNames.insert(line.name);
    std::vector<bool> used(theirs.size(), false);
    std::set<std::string> keptGroups;
    std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    // Ours, each where the server says the same in its own words.
    for (const VcardLine& line : mine) {
        if (bookkeeping(line.name)) continue;
        std::string fact = valueFact(line);
        const VcardLine* same = nullptr;
        for (size_t t = 0; t < theirs.size() && !same; ++t)
            if (!used[t] && theirs[t].name == line.name && valueFact(theirs[t]) == fact) {
                used[t] = true;
                same = &theirs[t];
            }
        // Ours says what the types are; the server's line keeps its group and label.
        if (same && typesOf(*same) == typesOf(line)) {
            if (!same->group.empty()) keptGroups.insert(same->group);
            card += foldedLine(theirText[static_cast<size_t>(same - theirs.data())]);
        } else {
            VcardLine written = line;
            if (same && !same->group.empty()) {
                written.group = same->group;
                keptGroups.insert(same->group);
            }
            card += foldedLine(lineText(written));
        }
    }
    // The server's own: what we do not model, and what it added since we last synced.
    std::string uid;
    for (size_t t = 0; t < theirs.size(); ++t) {
        const VcardLine& line = theirs[t];
        if (used[t]) continue;
        if (line.name == "UID") {
            if (uid.empty()) uid = theirText[t];
            continue;
        }
        if (bookkeeping(line.name)) continue;
        if (!line.group.empty() && line.name.starts_with("X-AB")) continue;  // below, with its line
        bool ours = modelled(line.name) || ourNames.count(line.name) > 0;
        if (ours) {
            if (single(line.name) && ourNames.count(line.name)) continue;
            if (baseValues.count(valueFact(line))) continue;  // we dropped it
        }
        if (!line.group.empty()) keptGroups.insert(line.group);
        card += foldedLine(theirText[t]);
    }
    // The labels and the like of every group whose line stayed.
    for (size_t t = 0; t < theirs.size(); ++t)
        if (!theirs[t].group.empty() && theirs[t].name.starts_with("X-AB") &&
            keptGroups.count(theirs[t].group))
            card += foldedLine(theirText[t]);
    if (uid.empty())
        for (const VcardLine& line : mine)
            if (line.name == "UID") uid = lineText(line);
    if (!uid.empty()) card += foldedLine(uid);
    return card + "END:VCARD\r\n";
}

}  // namespace tsunagi
