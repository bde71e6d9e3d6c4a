#include "card/person_details.h"

#include "card/properties.h"
#include "card/unicode.h"
#include "card/vcard_line.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

// A label in the words a Japanese user reads: iPhones' and Google's own words translated, a
// label of the user's own as it is.
std::string labelWords(const std::string& label) {
    static const std::pair<std::string_view, std::string_view> kWords[] = {
        {"Home Page", "ホームページ"},
        {"Home", "自宅"},
        {"Work", "勤務先"},
        {"Other", "その他"},
        {"Mobile", "携帯"},
        {"Main", "代表"},
        {"Spouse", "配偶者"},
        {"Child", "子"},
        {"Mother", "母"},
        {"Father", "父"},
        {"Parent", "親"},
        {"Brother", "兄弟"},
        {"Sister", "姉妹"},
        {"Friend", "友人"},
        {"Manager", "上司"},
        {"Assistant", "アシスタント"},
        {"Partner", "パートナー"},
        {"Domestic Partner", "パートナー"},
        {"Referred By", "紹介者"},
        {"Relative", "親戚"},
        {"Anniversary", "記念日"},
        {"Birthday", "誕生日"}};
    std::string spoken = spokenLabel(label);
    for (const auto& [english, japanese] : kWords)
        if (equalsIgnoringCase(spoken, english)) return std::string(japanese);
    return spoken;
}

// The kind of a number, mail or place in the words the form uses, with its own label.
std::string kindWords(const PersonItem& item, bool number) {
    if (!item.label.empty()) return labelWords(item.label);
    std::vector<std::string> words;
    for (const std::string& type : item.types()) {
        if (type == "CELL") words.push_back("携帯");
        if (type == "HOME") words.push_back("自宅");
        if (type == "WORK") words.push_back(number ? "会社" : "勤務先");
        if (type == "FAX") words.push_back("FAX");
        if (type == "PAGER") words.push_back("ポケベル");
        if (type == "CAR") words.push_back("自動車");
        if (type == "MAIN") words.push_back("代表");
        if (type == "PREF") words.push_back("優先");
    }
    std::string joined;
    for (const std::string& word : words) joined += (joined.empty() ? "" : "・") + word;
    return joined;
}

std::string labelled(const std::string& what, const std::string& kind) {
    return kind.empty() ? what : what + "（" + kind + "）";
}

}  // namespace

std::vector<DetailLine> detailLines(const Person& person) {
    std::vector<DetailLine> lines;
    auto add = [&lines](std::string label, std::string value) {
        if (!trimBlanks(value).empty()) lines.push_back({std::move(label), std::move(value)});
    };
    add("名前", displayName(person));
    std::string reading = person.readingFamily;
    if (!person.readingGiven.empty()) reading += (reading.empty() ? "" : " ") + person.readingGiven;
    add("読み", reading);
    for (const std::string& nickname : person.nicknames) add("ニックネーム", nickname);
    for (const PersonItem& number : person.numbers)
        add(labelled("電話", kindWords(number, true)), trimBlanks(number.text()));
    for (const PersonItem& mail : person.mails)
        add(labelled("メール", kindWords(mail, false)), trimBlanks(mail.text()));
    for (const std::vector<std::string>& organization : person.organizations) {
        std::string text;
        for (const std::string& part : organization)
            if (!part.empty()) text += (text.empty() ? "" : " ") + part;
        add("会社", text);
    }
    for (const std::string& title : person.titles) add("役職", title);
    for (const std::string& role : person.roles) add("役割", role);
    if (!person.birthday.empty())
        add("誕生日", person.birthday.compare(0, 2, "--") == 0
                          ? person.birthday.substr(2, 2) + "月" + person.birthday.substr(5) + "日"
                          : person.birthday);
    for (const PersonItem& date : person.dates)
        add(date.label.empty() ? std::string("日付") : labelWords(date.label), date.text());
    for (const PersonItem& address : person.addresses) {
        std::string text = address.printed;
        if (text.empty()) {
            std::vector<std::string> parts = address.components();
            parts.resize(7);
            // As a Japanese address is written: postal code, region, city, street, building.
            for (size_t i : {5, 4, 3, 2, 1, 0, 6})
                if (!trimBlanks(parts[i]).empty())
                    text += (text.empty() ? "" : " ") + (i == 5 ? "〒" + parts[i] : parts[i]);
        }
        add(labelled("住所", kindWords(address, false)), text);
    }
    for (const PersonItem& website : person.websites)
        add(labelled("Web", kindWords(website, false)), website.text());
    for (const PersonItem& messenger : person.messengers) {
        std::string service(messenger.line.parameter("X-SERVICE-TYPE").value_or(""));
        add(labelled("メッセンジャー", service), messenger.text());
    }
    for (const PersonItem& related : person.related)
        add(labelled("関係", related.label.empty() ? "" : labelWords(related.label)),
            related.text());
    for (const std::string& note : person.notes) add("メモ", note);
    std::string groups;
    for (const std::string& category : person.categories)
        groups += (groups.empty() ? "" : "、") + category;
    add("グループ", groups);
    if (person.photo) lines.push_back({"写真", "あり"});
    for (const PersonItem& other : person.others) {
        // Lines that say how to show another line (an iPhone's address format) show nothing;
        // bytes (a sound clip, a logo, a key) are said to be there, as the photo is.
        if (other.line.name == "X-ABADR" || carriesNothingOfThePerson(other.line.name)) continue;
        if (other.line.base64()) {
            lines.push_back({spokenProperty(other.line), "あり"});
            continue;
        }
        std::string label = other.line.name == "X-TSUNAGI-COLUMN"
                                ? std::string(other.line.parameter("X-HEADING").value_or(""))
                            : !other.label.empty() ? labelWords(other.label)
                                                   : spokenProperty(other.line);
        if (!compoundValue(other.line.name)) {
            add(label, other.text());
            continue;
        }
        // A name, reading or company said again: its parts apart by a blank, as people
        // write them.
        std::vector<std::string> parts;
        splitComponents(other.line.value, ';', parts);
        if (other.line.name == "N") {  // in the order the name is read ("Misaki Yamasaki")
            Person named;
            for (size_t i = 0; i < parts.size() && i < named.name.size(); ++i)
                named.name[i] = trimBlanks(parts[i]);
            add(label, builtName(named));
            continue;
        }
        std::string text;
        for (const std::string& part : parts)
            if (std::string trimmed = trimBlanks(part); !trimmed.empty())
                text += (text.empty() ? "" : " ") + trimmed;
        // The reading's own line, kept to go out first as it came, is shown above.
        if (propertyKind(other.line.name) == PropertyKind::Reading &&
            fullWidthKatakana(text) == fullWidthKatakana(reading))
            continue;
        add(label, text);
    }
    return lines;
}

std::vector<ListColumns> readListColumns(const Store& store) {
    std::vector<ListColumns> columns;
    Connection connection = store.open();
    forEachEntry(connection, [&columns](const EntryRow& row) {
        Person person = readPerson(row);
        ListColumns entry;
        entry.id = row.id;
        entry.name = displayName(person);
        entry.reading = person.readingFamily;
        if (!person.readingGiven.empty())
            entry.reading += (entry.reading.empty() ? "" : " ") + person.readingGiven;
        if (!person.numbers.empty()) entry.number = trimBlanks(person.numbers.front().text());
        if (!person.mails.empty()) entry.mail = trimBlanks(person.mails.front().text());
        entry.company = person.company();
        entry.readingKey = searchKey(entry.reading.empty() ? entry.name : entry.reading);
        columns.push_back(std::move(entry));
    });
    return columns;
}

}  // namespace tsunagi
