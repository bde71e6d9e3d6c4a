// The same person tied together, never two: a labelled set of one user's three books (a phone
// backup, an iPhone export, a Google CSV) in every import order, and merges that drop no word.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "card/person.h"
#include "commands/open_command.h"
#include "commands/save_command.h"
#include "merge/duplicates.h"
#include "platform/codec.h"
#include "support/temp_folder.h"
#include "support/variants.h"

namespace tsunagi {
namespace {

std::string crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

std::vector<std::string> phoneCard(const std::string& name, const std::string& reading,
                                   const std::string& numbers, const std::string& mails) {
    std::vector<std::string> card = {"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:" + name};
    if (!reading.empty()) card.push_back("SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:" + reading);
    card.push_back("X-JPG-OWNER:0");
    if (!numbers.empty()) card.push_back(numbers);
    if (!mails.empty()) card.push_back(mails);
    for (const char* line : {"X-GNO:0", "X-JPG-MDNO:1", "END:VCARD"}) card.push_back(line);
    return card;
}

// Every entry of the store as a person, in the store's order.
std::vector<Person> peopleIn(const Store& store) {
    Connection connection = store.open();
    std::vector<Person> people;
    forEachEntry(connection, [&](const EntryRow& row) { people.push_back(readPerson(row)); });
    return people;
}

// Each card and row carries its person's label in a note, so that the groups found can be
// checked against the truth.
const std::string kPhone = crlf([] {
    std::vector<std::string> lines;
    for (auto card : {
             phoneCard("髙橋;一郎", "ﾀｶﾊｼ;ｲﾁﾛｳ", "TEL;CELL:09010000001", ""),
             phoneCard("ﾊｾｶﾞﾜ;ﾏﾅﾌﾞ", "", "TEL;CELL:09020000002", ""),
             phoneCard("佐藤;健", "ｻﾄｳ;ｹﾝ", "TEL;CELL:09030000003",
                       "EMAIL;INTERNET:ken@example.jp"),
             phoneCard("鈴木;一郎", "ｽｽﾞｷ;ｲﾁﾛｳ", "TEL;CELL:09040000004", ""),
             phoneCard("山田;太郎", "ﾔﾏﾀﾞ;ﾀﾛｳ", "TEL;VOICE;HOME:0311112222", ""),
             phoneCard("渡邊;誠", "ﾜﾀﾅﾍﾞ;ﾏｺﾄ", "TEL;CELL:09050000005", ""),
             phoneCard("木村;拓", "", "TEL;VOICE;WORK:0355550000", ""),
         }) {
        lines.insert(lines.end(), card.begin(), card.end());
    }
    return lines;
}());

const std::string kIphone = crlf({
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:高橋;一郎;;;",
    "X-PHONETIC-LAST-NAME:たかはし",
    "X-PHONETIC-FIRST-NAME:いちろう",
    "TEL;type=CELL:+81 90-1000-0001",
    "NOTE:iPhoneのメモ",
    "END:VCARD",
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:長谷川;学;;;",
    "X-PHONETIC-LAST-NAME:はせがわ",
    "X-PHONETIC-FIRST-NAME:まなぶ",
    "TEL;type=CELL:090-2000-0002",
    "END:VCARD",
    // A namesake: another 鈴木 一郎, nothing in common.
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:鈴木;一郎;;;",
    "TEL;type=CELL:090-9999-0009",
    "EMAIL:ichiro.suzuki@example.com",
    "END:VCARD",
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:山田;花子;;;",
    "TEL;type=HOME:03-1111-2222",
    "END:VCARD",
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:田中;智;;;",
    "NICKNAME:Tom",
    "TEL;type=CELL:090-6000-0006",
    "END:VCARD",
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:渡辺;誠;;;",
    "TEL;type=CELL:090-5000-0005",
    "BDAY:1980-05-01",
    "END:VCARD",
    // A colleague on the same office number, another extension.
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:中村;翔;;;",
    "TEL;type=WORK:03-5555-0000 ext. 22",
    "END:VCARD",
});

const std::string kGoogle =
    "First Name,Last Name,Nickname,Birthday,Notes,E-mail 1 - Label,E-mail 1 - Value,"
    "Phone 1 - Label,Phone 1 - Value\r\n"
    "Ken,Sato,,,Googleのメモ,Home,ken@example.jp,,\r\n"
    "Tom,,,,,,,Mobile,+81 90-6000-0006\r\n"
    "誠,渡辺,,1981-05-01,,,,Mobile,09050000005\r\n";

// The people, by a number or mail that only they have.
const std::map<std::string, std::string> kPeople = {
    {"09010000001", "takahashi"}, {"09020000002", "hasegawa"}, {"09030000003", "sato"},
    {"ken@example.jp", "sato"},   {"09040000004", "suzuki1"},  {"09099990009", "suzuki2"},
    {"0311112222", "yamada"},     {"09060000006", "tanaka"},   {"09050000005", "watanabe"},
    {"0355550000", "office"}};

std::string personOf(const DuplicateEntry& entry) {
    for (const std::string& value : entry.numbers) {
        std::string digits;
        for (char c : value)
            if (c >= '0' && c <= '9') digits += c;
        if (digits.compare(0, 2, "81") == 0) digits = "0" + digits.substr(2);
        if (auto found = kPeople.find(digits); found != kPeople.end()) return found->second;
    }
    for (const std::string& value : entry.mails)
        if (auto found = kPeople.find(value); found != kPeople.end()) return found->second;
    return "?";
}

struct Book {
    std::string name;
    std::string bytes;
    FileKind kind;
};

TEST(SamePerson, ALabelledSetInEveryOrder) {
    TempFolder folder;
    std::vector<Book> books = {{"phone.vcf", utf8ToCp932(kPhone), FileKind::PhoneCards},
                               {"iphone.vcf", kIphone, FileKind::PhoneCards},
                               {"google.csv", kGoogle, FileKind::AddressBook}};
    std::vector<int> order = {0, 1, 2};
    std::set<std::vector<std::string>> mergedPeople;
    int orders = 0;
    do {
        Store store = Store::inMemory();
        for (int b : order)
            importFile(store, folder.write(books[b].name, books[b].bytes), books[b].kind);
        std::vector<DuplicateGroup> groups = findDuplicates(store);
        // Same: never two people in one group. The pairs of one person found.
        size_t truePairs = 0, falsePairs = 0;
        std::set<std::string> tied;
        std::set<std::int64_t> grouped;
        for (const DuplicateGroup& group : groups) {
            for (const DuplicateEntry& entry : group.entries)
                EXPECT_TRUE(grouped.insert(entry.id).second) << "in two groups: " << entry.id;
            if (!group.sure()) continue;
            for (size_t i = 0; i < group.entries.size(); ++i)
                for (size_t j = i + 1; j < group.entries.size(); ++j) {
                    if (group.entries[i].asked || group.entries[j].asked) continue;
                    std::string a = personOf(group.entries[i]), b = personOf(group.entries[j]);
                    if (a == b) {
                        ++truePairs;
                        tied.insert(a);
                    } else {
                        ++falsePairs;
                    }
                }
        }
        EXPECT_EQ(falsePairs, 0u);
        // Takahashi (old kanji), Hasegawa (kana for kanji), Sato (Latin letters), Tanaka
        // (nickname), Watanabe (old kanji, three books).
        EXPECT_EQ(tied,
                  (std::set<std::string>{"takahashi", "hasegawa", "sato", "tanaka", "watanabe"}));
        EXPECT_EQ(truePairs, 7u);  // one pair each, three for the three entries of Watanabe
        // The namesakes are shown apart, never merged; the family and the office only maybe.
        size_t namesakes = std::count_if(groups.begin(), groups.end(), [](const auto& g) {
            return g.kind == DuplicateKind::Namesakes;
        });
        EXPECT_EQ(namesakes, 1u);
        std::erase_if(groups, [](const DuplicateGroup& group) { return !group.sure(); });
        MergeResult merged = mergeDuplicates(store, groups);
        // Watanabe's second birthday is named, not lost silently; the names not kept are held
        // another way: ﾊｾｶﾞﾜ ﾏﾅﾌﾞ as the reading, Sato Ken as it in Latin letters, Tom as a
        // nickname.
        ASSERT_EQ(merged.notKept.size(), 1u);
        EXPECT_NE(merged.notKept[0].find("誕生日"), std::string::npos);
        // The same people whatever the order: name, reading, numbers, mails, notes.
        std::vector<std::string> people;
        Connection connection = store.open();
        forEachEntry(connection, [&](const EntryRow& row) {
            Person person = readPerson(row);
            std::string text =
                displayName(person) + "|" + person.readingFamily + ";" + person.readingGiven + "|";
            std::vector<std::string> values;
            for (const PersonItem& number : person.numbers) values.push_back(number.text());
            for (const PersonItem& mail : person.mails) values.push_back(mail.text());
            for (const std::string& note : person.notes) values.push_back(note);
            std::sort(values.begin(), values.end());
            for (const std::string& value : values) text += value + ",";
            people.push_back(text);
        });
        std::sort(people.begin(), people.end());
        mergedPeople.insert(people);
        ++orders;
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(orders, 6);
    expectOneVariant(mergedPeople);
    const std::vector<std::string>& people = *mergedPeople.begin();
    // Kanji over kana (the old form, the more exact, over the new), the reading in katakana,
    // Sato's note from Google and the kanji name.
    auto has = [&people](const std::string& part) { return anyHolds(people, part); };
    EXPECT_TRUE(has("長谷川学|ハセガワ;マナブ|"));
    EXPECT_TRUE(has("髙橋一郎|タカハシ;イチロウ|"));
    EXPECT_TRUE(has("佐藤健|サトウ;ケン|09030000003,Googleのメモ,ken@example.jp,"));
}

TEST(SamePerson, AMergeDropsNoWord) {
    TempFolder folder;
    Store store = Store::inMemory();
    importFile(
        store,
        folder.write("a.vcf", crlf({"BEGIN:VCARD", "VERSION:3.0", "N:Ono;Aki;;;", "NOTE:first note",
                                    "ORG:Tsunagi", "TITLE:Engineer", "BDAY:1990-01-01",
                                    "TEL;TYPE=WORK:03-1234-5678",
                                    "TEL;VALUE=uri:tel:+81-3-5555-0000;ext=11", "END:VCARD"})),
        FileKind::PhoneCards);
    importFile(
        store,
        folder.write("b.vcf", crlf({"BEGIN:VCARD", "VERSION:3.0", "N:Ono;Aki;;;",
                                    "NOTE:second note", "ORG:Another Co.", "TITLE:Advisor",
                                    "BDAY:1991-01-01", "TEL;TYPE=WORK,FAX:03-1234-5678",
                                    "TEL;VALUE=uri:tel:+81-3-5555-0000;ext=22", "END:VCARD"})),
        FileKind::PhoneCards);
    std::vector<DuplicateGroup> groups = findDuplicates(store);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_TRUE(groups[0].sure());
    MergeResult merged = mergeDuplicates(store, groups);
    EXPECT_EQ(merged.notKept, (std::vector<std::string>{"Ono Aki: 誕生日 1991-01-01"}));
    EXPECT_NE(describeMerge(merged).find("誕生日 1991-01-01"), std::string::npos);
    std::vector<Person> people = peopleIn(store);
    ASSERT_EQ(people.size(), 1u);
    const Person& person = people[0];
    EXPECT_EQ(person.notes, (std::vector<std::string>{"first note", "second note"}));
    EXPECT_EQ(person.organizations.size(), 2u);
    EXPECT_EQ(person.titles, (std::vector<std::string>{"Engineer", "Advisor"}));
    EXPECT_EQ(person.birthday, "1990-01-01");
    std::vector<std::string> numbers;
    for (const PersonItem& number : person.numbers)
        numbers.push_back(std::string(number.line.parameter("TYPE").value_or("")) + ":" +
                          number.text());
    EXPECT_EQ(numbers,
              (std::vector<std::string>{"WORK:03-1234-5678", ":tel:+81-3-5555-0000;ext=11",
                                        "WORK,FAX:03-1234-5678", ":tel:+81-3-5555-0000;ext=22"}));
}

// A name and a display name the card said again stay with the merged person after its own; a
// reading said again, where the merged person's stands, is named. The same in either order.
TEST(SamePerson, ANameSaidAgainStaysThroughAMerge) {
    const std::string twice =
        crlf({"BEGIN:VCARD", "VERSION:3.0", "N:山田;太郎;;;", "N:Yamada;Taro;;;", "FN:山田 太郎",
              "FN:Taro Yamada", "X-PHONETIC-LAST-NAME:ヤマダ", "X-PHONETIC-LAST-NAME:やまだ",
              "TEL;TYPE=CELL:090-1111-2222", "ORG:A社", "END:VCARD"});
    const std::string once =
        crlf({"BEGIN:VCARD", "VERSION:3.0", "N:山田;太郎;;;", "TEL;TYPE=CELL:090-1111-2222",
              "EMAIL:taro@example.jp", "END:VCARD"});
    for (bool twiceFirst : {true, false}) {
        TempFolder folder;
        Store store = Store::inMemory();
        for (const auto& [file, bytes] :
             twiceFirst ? std::vector<std::pair<std::string, std::string>>{{"a.vcf", twice},
                                                                           {"b.vcf", once}}
                        : std::vector<std::pair<std::string, std::string>>{{"b.vcf", once},
                                                                           {"a.vcf", twice}})
            importFile(store, folder.write(file, bytes), FileKind::PhoneCards);
        std::vector<DuplicateGroup> groups = findDuplicates(store, true);
        ASSERT_EQ(groups.size(), 1u);
        MergeResult merged = mergeDuplicates(store, groups);
        EXPECT_EQ(merged.notKept, (std::vector<std::string>{"山田 太郎: 読み やまだ"}));
        std::string written = folder.file("out.vcf");
        exportToFile(store, folder.path(), written, FileKind::Vcard3);
        std::string card = readBytes(written);
        EXPECT_EQ(card.substr(0, card.find("X-PHONETIC")),
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nN:山田;太郎;;;\r\nFN:山田 太郎\r\n")
            << twiceFirst;
        EXPECT_NE(card.find("\r\nN:Yamada;Taro;;;\r\nFN:Taro Yamada\r\n"), std::string::npos)
            << card;
        EXPECT_NE(card.find("taro@example.jp"), std::string::npos) << card;
    }
    // Two books that both hold the card: its second name is kept, not named.
    TempFolder folder;
    Store store = Store::inMemory();
    for (const char* file : {"a.vcf", "b.vcf"})
        importFile(store, folder.write(file, twice), FileKind::PhoneCards);
    std::vector<DuplicateGroup> groups = findDuplicates(store, true);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(mergeDuplicates(store, groups).notKept,
              (std::vector<std::string>{"山田 太郎: 読み やまだ"}));
}

// A mail or a number that several books hold is one line of the merged person, in every order:
// the types of all, a label where one had it, a second label named; the phone's file lists it
// once.
TEST(SamePerson, OneAddressFromSeveralBooksIsOneLineWithItsLabel) {
    const std::vector<std::string> books = {
        crlf({"BEGIN:VCARD", "VERSION:3.0", "N:Ono;Aki;;;",
              "item1.EMAIL;TYPE=INTERNET:aki@example.jp", "item1.X-ABLabel:大学",
              "TEL;TYPE=WORK:03-1111-2222", "END:VCARD"}),
        crlf({"BEGIN:VCARD", "VERSION:3.0", "N:Ono;Aki;;;",
              "EMAIL;TYPE=INTERNET,WORK:Aki@example.jp", "item1.TEL;TYPE=VOICE:0311112222",
              "item1.X-ABLabel:研究室", "END:VCARD"}),
        crlf({"BEGIN:VCARD", "VERSION:3.0", "N:Ono;Aki;;;", "item5.EMAIL;TYPE=HOME:aki@example.jp",
              "item5.X-ABLabel:自宅", "END:VCARD"})};
    for (const std::vector<size_t>& order : std::vector<std::vector<size_t>>{
             {0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}}) {
        TempFolder folder;
        Store store = Store::inMemory();
        for (size_t book : order)
            importFile(store, folder.write("book" + std::to_string(book) + ".vcf", books[book]),
                       FileKind::PhoneCards);
        std::vector<DuplicateGroup> groups = findDuplicates(store, true);
        ASSERT_EQ(groups.size(), 1u);
        MergeResult merged = mergeDuplicates(store, groups);
        std::vector<Person> people = peopleIn(store);
        ASSERT_EQ(people.size(), 1u);
        const Person& person = people[0];
        ASSERT_EQ(person.mails.size(), 1u);
        std::vector<std::string> types = person.mails[0].types();
        std::sort(types.begin(), types.end());
        EXPECT_EQ(types, (std::vector<std::string>{"HOME", "INTERNET", "WORK"}));
        ASSERT_EQ(person.numbers.size(), 1u);
        EXPECT_EQ(person.numbers[0].label, "研究室");
        // One of the mail's two labels stands, the other is named.
        ASSERT_EQ(merged.notKept.size(), 1u);
        std::string other = person.mails[0].label == "大学" ? "自宅" : "大学";
        EXPECT_EQ(merged.notKept[0], "Ono Aki: ラベル " + other);
        std::string phoneFile = folder.file("out.vcf");
        exportToFile(store, folder.path(), phoneFile, FileKind::PhoneCards);
        std::string written = cp932ToUtf8(readBytes(phoneFile));
        EXPECT_EQ(written.find("aki@example.jp"), written.rfind("aki@example.jp")) << written;
    }
}

// One company written two ways in two books, its legal form in one and its department in the
// other, is one company of the merged person with its department, in every order; another
// department of it stays beside.
TEST(SamePerson, OneCompanyWrittenTwoWaysIsOneWithItsDepartment) {
    auto card = [](const std::string& org) {
        return crlf({"BEGIN:VCARD", "VERSION:3.0", "N:湊;太郎;;;", "TEL;TYPE=CELL:090-1111-2222",
                     "ORG:" + org, "END:VCARD"});
    };
    const std::vector<std::string> books = {card("ミナト精機;営業部"), card("株式会社ミナト精機"),
                                            card("ﾐﾅﾄ精機;経理部;"), card("(株)ミナト精機;営業部")};
    std::optional<std::vector<std::vector<std::string>>> first;
    for (const std::vector<size_t>& order : std::vector<std::vector<size_t>>{
             {0, 1, 2, 3}, {1, 0, 3, 2}, {2, 3, 1, 0}, {3, 2, 0, 1}, {1, 2, 3, 0}}) {
        TempFolder folder;
        Store store = Store::inMemory();
        for (size_t book : order)
            importFile(store, folder.write("book" + std::to_string(book) + ".vcf", books[book]),
                       FileKind::PhoneCards);
        std::vector<DuplicateGroup> groups = findDuplicates(store, true);
        ASSERT_EQ(groups.size(), 1u);
        mergeDuplicates(store, groups);
        std::vector<Person> people = peopleIn(store);
        ASSERT_EQ(people.size(), 1u);
        std::vector<std::vector<std::string>> companies = people[0].organizations;
        ASSERT_EQ(companies.size(), 2u) << ::testing::PrintToString(companies);
        std::sort(companies.begin(), companies.end(),
                  [](const auto& a, const auto& b) { return a.back() < b.back(); });
        // Each form is used once: the full width one with its legal form spelled out stands.
        EXPECT_EQ(companies[0], (std::vector<std::string>{"株式会社ミナト精機", "営業部"}));
        EXPECT_EQ(companies[1].back(), "経理部");
        if (!first) first = companies;
        EXPECT_EQ(companies, *first);
    }
}

// Numbers written with a colon ("ext: 12") that agree only up to it are two numbers, and each
// comes through a merge whole.
TEST(SamePerson, ANumberWithAColonIsMergedWhole) {
    TempFolder folder;
    Store store = Store::inMemory();
    for (const char* work : {"03-5555-6666 ext: 12", "03-5555-6666 ext: 34"})
        importFile(store,
                   folder.write(std::string(work).substr(17) + ".vcf",
                                crlf({"BEGIN:VCARD", "VERSION:3.0", "N:Ono;Aki;;;",
                                      "TEL;TYPE=CELL:090-1111-2222",
                                      std::string("TEL;TYPE=WORK:") + work, "END:VCARD"})),
                   FileKind::PhoneCards);
    std::vector<DuplicateGroup> groups = findDuplicates(store, true);
    ASSERT_EQ(groups.size(), 1u);
    mergeDuplicates(store, groups);
    std::vector<std::string> numbers;
    for (const Person& person : peopleIn(store))
        for (const PersonItem& number : person.numbers) numbers.push_back(number.text());
    EXPECT_EQ(numbers, (std::vector<std::string>{"090-1111-2222", "03-5555-6666 ext: 12",
                                                 "03-5555-6666 ext: 34"}));
    // Beside the same number with an extension, one with a colon is another number, not the
    // first without its extension: a card read twice keeps both.
    const std::string card =
        crlf({"BEGIN:VCARD", "VERSION:3.0", "N:Ono;Aki;;;", "TEL:03-1111-2222:Aki@example.jp",
              "TEL:03-1111-2222;ext=5", "END:VCARD"});
    Store twice = Store::inMemory();
    for (const char* file : {"a.vcf", "b.vcf"})
        importFile(twice, folder.write(file, card), FileKind::PhoneCards);
    groups = findDuplicates(twice, true);
    ASSERT_EQ(groups.size(), 1u);
    mergeDuplicates(twice, groups);
    numbers.clear();
    for (const Person& person : peopleIn(twice))
        for (const PersonItem& number : person.numbers) numbers.push_back(number.text());
    EXPECT_EQ(numbers,
              (std::vector<std::string>{"03-1111-2222:Aki@example.jp", "03-1111-2222;ext=5"}));
}

// A Latin name and its katakana: the katakana becomes the reading, in either order it was
// written; a Latin name the phone's own katakana wins over is named, never lost unsaid.
TEST(SamePerson, ANameInOtherLettersIsItsReadingOrNamed) {
    const std::string google =
        "Name,Given Name,Family Name,Phone 1 - Type,Phone 1 - Value\r\n"
        "Sophia Baker,Sophia,Baker,Mobile,090-1234-5678\r\n";
    for (const std::string katakana : {"ﾍﾞｲｶｰ ｿﾌｨｱ", "ｿﾌｨｱ ﾍﾞｲｶｰ", "ベイカー;ソフィア"}) {
        TempFolder folder;
        Store store = Store::inMemory();
        importFile(
            store,
            folder.write("phone.vcf",
                         utf8ToCp932(crlf(phoneCard(katakana, "", "TEL;CELL:09012345678", "")))),
            FileKind::PhoneCards);
        importFile(store, folder.write("google.csv", google), FileKind::AddressBook);
        std::vector<DuplicateGroup> groups = findDuplicates(store, true);
        ASSERT_EQ(groups.size(), 1u) << katakana;
        MergeResult merged = mergeDuplicates(store, groups);
        std::vector<Person> people = peopleIn(store);
        ASSERT_EQ(people.size(), 1u);
        const Person& person = people[0];
        if (katakana == "ベイカー;ソフィア") {
            // Both have family and given apart and normal width: the phone's own is kept.
            EXPECT_EQ(person.name[0], "ベイカー");
            EXPECT_EQ(merged.notKept,
                      (std::vector<std::string>{"ベイカー ソフィア: 名前 Baker Sophia"}));
            // The window names only so many; the rest are counted.
            EXPECT_NE(describeMerge(merged).find("名前 Baker Sophia。"), std::string::npos);
            EXPECT_NE(describeMerge(merged, 0).find("： ほか 1 件。"), std::string::npos);
        } else {
            EXPECT_EQ(person.name[0] + ";" + person.name[1], "Baker;Sophia") << katakana;
            EXPECT_EQ(person.readingFamily + ";" + person.readingGiven, "ベイカー;ソフィア")
                << katakana;
            EXPECT_TRUE(merged.notKept.empty()) << merged.notKept.front();
        }
    }
}

// The phone's lines hold a family and a given name alone: a middle name, title or suffix another
// book says completes the merged name, and where two books say different ones the other is
// named. Either way the books' order decides nothing.
TEST(SamePerson, AMiddleNameCompletesTheNameOrIsNamed) {
    const std::string phone =
        utf8ToCp932(crlf(phoneCard("Smith;John", "", "TEL;CELL:09012345678", "")));
    const std::string full =
        crlf({"BEGIN:VCARD", "VERSION:3.0", "N:Smith;John;A.;Dr.;Jr.",
              "TEL;TYPE=CELL:090-1234-5678", "EMAIL:j@example.com", "END:VCARD"});
    const std::string middleL =
        crlf({"BEGIN:VCARD", "VERSION:3.0", "N:松田;恵;L;;", "TEL:090-5555-7777", "END:VCARD"});
    const std::string middle6 = crlf({"BEGIN:VCARD", "VERSION:3.0", "N:松田;恵;6;;",
                                      "TEL;TYPE=X-LINE:090-5555-7777", "END:VCARD"});
    auto merged = [](const std::string& one, const std::string& two,
                     std::vector<std::string>& notKept) {
        TempFolder folder;
        Store store = Store::inMemory();
        importFile(store, folder.write("one.vcf", one), FileKind::PhoneCards);
        importFile(store, folder.write("two.vcf", two), FileKind::PhoneCards);
        // The dialog shows what the phone's lines do not hold, so that the two are told apart.
        std::set<std::string> fullNames;
        std::vector<DuplicateGroup> shown = findDuplicates(store);
        for (const DuplicateEntry& entry : shown.front().entries) fullNames.insert(entry.fullName);
        std::vector<DuplicateGroup> groups = findDuplicates(store, true);
        EXPECT_EQ(groups.size(), 1u);
        EXPECT_TRUE(fullNames.count("Dr. John A. Smith Jr.") || fullNames.count("松田6恵"));
        notKept = mergeDuplicates(store, groups).notKept;
        std::string written = folder.file("out.vcf");
        exportToFile(store, folder.path(), written, FileKind::Vcard3);
        std::string card = readBytes(written);
        return card.erase(card.find("UID:"),
                          card.find("\r\n", card.find("UID:")) + 2 - card.find("UID:"));
    };
    std::vector<std::string> notKept;
    for (bool phoneFirst : {true, false}) {
        std::string card = phoneFirst ? merged(phone, full, notKept) : merged(full, phone, notKept);
        EXPECT_EQ(card.substr(0, card.find("TEL")),
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith;John;A.;Dr.;Jr.\r\n"
                  "FN:Dr. John A. Smith Jr.\r\n")
            << phoneFirst;
        EXPECT_TRUE(notKept.empty()) << notKept.front();
    }
    std::vector<std::string> otherNotKept;
    std::string card = merged(middleL, middle6, notKept);
    EXPECT_EQ(card, merged(middle6, middleL, otherNotKept));
    EXPECT_EQ(notKept, otherNotKept);
    EXPECT_NE(card.find("\r\nN:松田;恵;L;;\r\n"), std::string::npos) << card;
    EXPECT_EQ(notKept, (std::vector<std::string>{"松田 恵: 名前 松田6恵"}));
}

}  // namespace
}  // namespace tsunagi
