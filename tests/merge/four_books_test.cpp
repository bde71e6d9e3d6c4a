// One user's four books (the phone's backup, an iPhone export, a Google CSV and a Japanese
// Outlook CSV), labelled person by person: the same person tied without a question when
// nothing conflicts, two people never, in every import order; the merged person right.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "card/checks.h"
#include "card/person.h"
#include "commands/open_command.h"
#include "merge/duplicates.h"
#include "platform/codec.h"
#include "support/rows.h"
#include "support/temp_folder.h"
#include "support/variants.h"

namespace tsunagi {
namespace {

std::string crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// A card of the phone's own backup; its note says whose it is.
std::vector<std::string> phoneCard(const std::string& who, const std::string& name,
                                   const std::vector<std::string>& lines) {
    std::vector<std::string> card = {"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:" + name,
                                     "X-JPG-OWNER:0"};
    card.insert(card.end(), lines.begin(), lines.end());
    for (std::string line : {"NOTE:#" + who, std::string("X-GNO:0"), std::string("X-JPG-MDNO:1"),
                             std::string("END:VCARD")})
        card.push_back(line);
    return card;
}

const std::string kPhone = [] {
    std::vector<std::string> lines;
    for (const auto& card : {
             // A father and his son: one reading, one home line, one family mail.
             phoneCard("oka-father", "岡;浩",
                       {"TEL;VOICE;HOME:0422110001", "EMAIL;INTERNET:oka-family@example.jp"}),
             phoneCard("morimoto-1", "森本;健太", {"TEL;CELL:09011000001"}),
             // Numbers here, mails in the PC's book.
             phoneCard("ishii", "石井;直樹", {"TEL;CELL:09011000002"}),
             phoneCard("kudo", "工藤;彩", {"TEL;CELL:09011000003"}),
             phoneCard("araki", "荒木先生", {"TEL;CELL:09011000004"}),
             phoneCard("nishida", "西田美和さん", {"TEL;CELL:09011000005"}),
             phoneCard("asano", "浅野健(会社)", {"TEL;VOICE;WORK:0311000006"}),
             phoneCard("minato", "ﾐﾅﾄ精機", {"TEL;VOICE;WORK:0311000007"}),
             phoneCard("baker", "ﾍﾞｲｶｰ;ｿﾌｨｱ", {"TEL;CELL:09011000008"}),
             phoneCard("tan", "ﾀﾝ;ｳｪｲ", {"TEL;CELL:09011000009"}),
             phoneCard("kobayashi", "小林;竜也", {"TEL;CELL:09011000010"}),
             phoneCard("watanabe", "渡邉;誠", {"TEL;CELL:09011000011"}),
             phoneCard("minegishi", "峯岸;徹", {"TEL;CELL:09011000012"}),
             phoneCard("yamada-taro", "山田;太郎", {"TEL;VOICE;HOME:0311000013"}),
             phoneCard("sato-1", "佐藤;健", {"TEL;CELL:09011000014"}),
             // Her number changed since; the mail is the same.
             phoneCard("endo", "遠藤;美穂",
                       {"TEL;CELL:09011000015", "EMAIL;INTERNET:miho@example.jp"}),
             phoneCard("kimura", "木村;拓", {"TEL;VOICE;WORK:0355550000"}),
         })
        lines.insert(lines.end(), card.begin(), card.end());
    return utf8ToCp932(crlf(lines));
}();

const std::string kIphone = crlf({
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:岡;博;;;",
    "X-PHONETIC-LAST-NAME:おか",
    "X-PHONETIC-FIRST-NAME:ひろし",
    "TEL;type=HOME:0422-11-0001",
    "TEL;type=CELL:090-2200-0001",
    "EMAIL;type=INTERNET:oka-family@example.jp",
    "BDAY:1990-07-07",
    "NOTE:#oka-son",
    "END:VCARD",
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:荒木;健一;;;",
    "TEL;type=CELL:090-1100-0004",
    "NOTE:#araki",
    "END:VCARD",
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:小林;龍也;;;",
    "TEL;type=CELL:090-1100-0010",
    "NOTE:#kobayashi",
    "END:VCARD",
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:渡邉;誠;;;",
    "EMAIL;type=INTERNET:makoto@example.jp",
    "TEL;type=CELL:090-1100-0011",
    "NOTE:#watanabe",
    "END:VCARD",
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:中嶋;聡;;;",
    "TEL;type=CELL:090-2200-0002",
    // The address and web page the Google book holds too, labelled as an iPhone writes them.
    "item1.ADR;type=HOME;type=pref:;;丸の内1-1;千代田区;東京都;100-0001;日本",
    "item1.X-ABADR:jp",
    "item2.URL;type=pref:https://nakajima.example.jp/",
    "item2.X-ABLabel:_$!<HomePage>!$_",
    "BDAY:1980-01-01",
    "NOTE:#nakajima",
    "END:VCARD",
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:三浦;晴香;;;",
    "TEL;type=CELL:090-2200-0003",
    "BDAY:1989-05-05",
    "NOTE:#miura",
    "END:VCARD",
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:山中;修;;;",
    "TEL;type=WORK:03-5555-0001,123",
    "NOTE:#yamanaka",
    "END:VCARD",
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:遠藤;美穂;;;",
    "TEL;type=CELL:080-3300-0015",
    "EMAIL;type=INTERNET:miho@example.jp",
    "NOTE:#endo",
    "END:VCARD",
    // A colleague on the office's main number.
    "BEGIN:VCARD",
    "VERSION:3.0",
    "N:中村;翔;;;",
    "TEL;type=WORK:03-5555-0000",
    "NOTE:#nakamura",
    "END:VCARD",
});

const std::string kGoogle =
    "First Name,Last Name,Birthday,Notes,E-mail 1 - Label,E-mail 1 - Value,"
    "Phone 1 - Label,Phone 1 - Value,Address 1 - Type,Address 1 - Street,"
    "Address 1 - City,Address 1 - Region,Address 1 - Postal Code,Address 1 - Country,"
    "Website 1 - Type,Website 1 - Value\r\n"
    "美和,西田,,#nishida,,,Mobile,090-1100-0005,,,,,,,,\r\n"
    "Sophia,Baker,,#baker,,,Mobile,+81 90-1100-0008,,,,,,,,\r\n"
    "Wei,Tan,,#tan,,,Mobile,090-1100-0009,,,,,,,,\r\n"
    "誠,渡邊,,#watanabe,Home,makoto@example.jp,,,,,,,,,,\r\n"
    "聡,中嶋,1980-01-02,#nakajima,,,Mobile,090-2200-0002,Home,丸の内1-1,千代田区,東京都,100-0001,"
    "日本,"
    "Home Page,https://nakajima.example.jp/\r\n"
    "修,山中,,#yamanaka,,,Work,03-5555-0001,,,,,,,,\r\n"
    "健,佐藤,,#sato-2,,,Mobile,090-4400-0014,,,,,,,,\r\n"
    "花子,山田,,#yamada-hanako,,,Home,03-1100-0013,,,,,,,,\r\n"
    "徹,峰岸,,#minegishi,,,Mobile,090-1100-0012,,,,,,,,\r\n";

const std::string kOutlook = utf8ToCp932(
    "姓,名,姓フリガナ,名前フリガナ,携帯電話,電子メール アドレス,会社電話,誕生日,メモ\r\n"
    "石井,直樹,イシイ,ナオキ,,naoki@example.jp,,00/0/0,#ishii\r\n"
    "工藤,彩,クドウ,アヤ,,aya@example.jp,,0/0/00,#kudo\r\n"
    "浅野,健,アサノ,ケン,,,03-1100-0006,,#asano\r\n"
    "株式会社ミナト精機,,,,,,03-1100-0007,,#minato\r\n"
    "三浦,晴香,ミウラ,ハルカ,090-2200-0003,,,00/0/0,#miura\r\n"
    "中嶋,聡,ナカジマ,サトシ,090-2200-0002,,,00/0/0,#nakajima\r\n"
    // Another 森本 健太, a friend from school: no number, no mail.
    "森本,健太,モリモト,ケンタ,,,,1995/3/3,#morimoto-2\r\n");

struct Book {
    std::string name;
    std::string bytes;
    FileKind kind;
};

const std::vector<Book> kBooks = {{"phone.vcf", kPhone, FileKind::PhoneCards},
                                  {"iphone.vcf", kIphone, FileKind::PhoneCards},
                                  {"google.csv", kGoogle, FileKind::AddressBook},
                                  {"outlook.csv", kOutlook, FileKind::AddressBook}};

// Whose each entry is, by the label in its note.
std::map<std::int64_t, std::string> labelsOf(const Store& store) {
    std::map<std::int64_t, std::string> labels;
    Connection connection = store.open();
    forEachEntry(
        connection,
        [&](const EntryRow& row) {
            for (const std::string& note : readPerson(row).notes)
                if (note.starts_with("#")) labels[row.id] = note.substr(1);
        },
        true);
    return labels;
}

TEST(FourBooks, TheSamePersonTiedNeverTwoInEveryOrder) {
    TempFolder folder;
    const std::vector<Book>& books = kBooks;
    std::vector<int> order = {0, 1, 2, 3};
    std::set<std::vector<std::string>> mergedPeople;
    std::set<std::vector<std::string>> groupings;
    int orders = 0;
    do {
        Store store = Store::inMemory();
        for (int b : order)
            importFile(store, folder.write(books[b].name, books[b].bytes), books[b].kind);
        std::map<std::int64_t, std::string> labels = labelsOf(store);
        // The true pairs: two entries of one person.
        std::map<std::string, size_t> entriesOf;
        for (const auto& [id, label] : labels) ++entriesOf[label];
        size_t truePairsAll = 0;
        for (const auto& [label, count] : entriesOf) truePairsAll += count * (count - 1) / 2;

        std::vector<DuplicateGroup> groups = findDuplicates(store);
        size_t truePairs = 0, falsePairs = 0;
        std::vector<std::string> grouping;
        std::set<std::int64_t> grouped;
        for (const DuplicateGroup& group : groups) {
            std::vector<std::string> whose;
            for (const DuplicateEntry& entry : group.entries) {
                whose.push_back((entry.asked ? "?" : "") + labels[entry.id]);
                // Each entry in one group only.
                EXPECT_TRUE(grouped.insert(entry.id).second) << labels[entry.id];
            }
            std::sort(whose.begin(), whose.end());
            std::string members = group.sure() ? "same:" : "asked:";
            for (const std::string& label : whose) members += label + ",";
            grouping.push_back(members);
            if (!group.sure()) continue;
            for (size_t i = 0; i < group.entries.size(); ++i)
                for (size_t j = i + 1; j < group.entries.size(); ++j) {
                    if (group.entries[i].asked || group.entries[j].asked) continue;
                    bool one = labels[group.entries[i].id] == labels[group.entries[j].id];
                    (one ? truePairs : falsePairs) += 1;
                    if (!one)
                        ADD_FAILURE() << labels[group.entries[i].id] << " and "
                                      << labels[group.entries[j].id] << " joined: " << group.reason;
                }
        }
        std::sort(grouping.begin(), grouping.end());
        groupings.insert(grouping);
        EXPECT_EQ(falsePairs, 0u);
        // Recall of the true pairs: at least 0.95.
        EXPECT_GE(truePairs * 100, truePairsAll * 95) << truePairs << " of " << truePairsAll;

        std::erase_if(groups, [](const DuplicateGroup& group) { return !group.sure(); });
        MergeResult merged = mergeDuplicates(store, groups);
        // Nakajima's two birthdays: one kept, the other named; Outlook's empty dates neither.
        // Of the names, only 荒木先生 is not held another way: named too.
        std::sort(merged.notKept.begin(), merged.notKept.end());
        EXPECT_EQ(merged.notKept.size(), 2u);
        EXPECT_EQ(merged.notKept, (std::vector<std::string>{"中嶋 聡: 誕生日 1980-01-02",
                                                            "荒木 健一: 名前 荒木先生"}));
        std::vector<std::string> people;
        Connection connection = store.open();
        forEachEntry(
            connection,
            [&](const EntryRow& row) {
                Person person = readPerson(row);
                std::string text = displayName(person) + "|" + person.birthday + "|";
                std::vector<std::string> values;
                std::set<std::string> numbers;
                for (const PersonItem& number : person.numbers) {
                    values.push_back(number.text());
                    // No number twice, with or without its extension.
                    EXPECT_TRUE(numbers.insert(numberKey(number.text())).second)
                        << displayName(person) << " " << number.text();
                }
                for (const PersonItem& mail : person.mails) values.push_back(mail.text());
                // Every address and web page once, whichever book labelled it how.
                std::set<std::string> places;
                for (const auto* items : {&person.addresses, &person.websites})
                    for (const PersonItem& item : *items) {
                        values.push_back(item.text());
                        EXPECT_TRUE(places.insert(item.text()).second)
                            << displayName(person) << " " << item.text();
                    }
                std::sort(values.begin(), values.end());
                for (const std::string& value : values) text += value + ",";
                people.push_back(text);
            },
            true);
        std::sort(people.begin(), people.end());
        mergedPeople.insert(people);
        ++orders;
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(orders, 24);
    expectOneVariant(groupings);
    expectOneVariant(mergedPeople);
    const std::vector<std::string>& people = *mergedPeople.begin();
    auto has = [&people](const std::string& part) { return anyHolds(people, part); };
    // The form most entries write, else the phone's own; the real birthday over Outlook's
    // empty one; the number with its extension, once.
    EXPECT_TRUE(has("渡邉誠||"));
    EXPECT_TRUE(has("峯岸徹||"));
    EXPECT_TRUE(has("三浦晴香|1989-05-05|"));
    EXPECT_TRUE(has("中嶋聡|1980-01-01|") && has("丸の内1-1") && has("nakajima.example.jp"));
    EXPECT_TRUE(has("山中修||03-5555-0001,123,")) << [&] {
        std::string all;
        for (const std::string& p : people) all += p + "\n";
        return all;
    }();
    EXPECT_TRUE(has("森本健太|1995-03-03|"));  // the friend, apart from the phone's 森本
    EXPECT_TRUE(has("岡浩||"));
    EXPECT_TRUE(has("岡博|1990-07-07|"));
    for (const std::string& person : people) EXPECT_EQ(person.find("00/0/0"), std::string::npos);
}

// What a search found, group by group, in words that compare.
std::vector<std::string> described(const std::vector<DuplicateGroup>& groups) {
    std::vector<std::string> lines;
    for (const DuplicateGroup& group : groups) {
        std::string line = std::string(group.sure() ? "same" : "asked") + "|" + group.reason + "|" +
                           group.askedReason + "|" +
                           (group.nameFrom ? std::to_string(*group.nameFrom) : "") + "|";
        for (const DuplicateEntry& entry : group.entries)
            line += (entry.asked ? "?" : "") + std::to_string(entry.id) + ",";
        lines.push_back(line);
    }
    return lines;
}

TEST(FourBooks, KeysHeldInMemoryFindAndMergeAsStoredKeysDo) {
    TempFolder folder;
    const std::vector<Book>& books = kBooks;
    // Namesakes of the phone's people, in a file whose import is cancelled half-way: none of
    // them is in the store, and none of their keys may be either.
    std::string cancelled;
    for (int i = 0; i < 600; ++i)
        cancelled += utf8ToCp932("BEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:岡;浩\r\nTEL;CELL:0901100" +
                                 std::to_string(1000 + i) + "\r\nX-GNO:0\r\nEND:VCARD\r\n");
    std::string cancelledPath = folder.write("cancelled.vcf", cancelled);
    std::vector<int> order = {0, 1, 2, 3};
    for (int round = 0; round < 3; ++round) {
        Store stored = Store::inMemory();
        Store held = Store::inMemory();
        held.holdKeysInMemory();
        for (size_t b = 0; b < order.size(); ++b)
            for (Store* store : {&stored, &held}) {
                const Book& book = books[order[b]];
                importFile(*store, folder.write(book.name, book.bytes), book.kind);
                if (b == 1) {
                    EXPECT_THROW(
                        importFile(*store, cancelledPath, FileKind::PhoneCards,
                                   [](const std::string&, long cards) { return cards < 300; }),
                        ImportCancelled);
                }
            }
        std::vector<DuplicateGroup> sure = findDuplicates(held, true);
        EXPECT_EQ(described(sure), described(findDuplicates(stored, true)));
        std::vector<DuplicateGroup> shown = findDuplicates(held);
        EXPECT_EQ(described(shown), described(findDuplicates(stored)));
        // Those merged unasked are the sure groups the dialog shows, found without reading
        // what the keys tell.
        std::erase_if(shown, [](const DuplicateGroup& group) { return !group.sure(); });
        for (DuplicateGroup& group : shown) {
            std::erase_if(group.entries, [](const DuplicateEntry& entry) { return entry.asked; });
            group.askedReason = group.reason = "";
        }
        EXPECT_EQ(described(sure), described(shown));
        EXPECT_FALSE(sure.empty());
        // Found by the keys held, none made from the entries; the cancelled file's gone with it.
        Connection connection = held.open();
        Statement keyed = connection.prepare("select count(*) from entry_keys;");
        ASSERT_TRUE(keyed.step());
        EXPECT_EQ(keyed.integer(0), 0);
        // A merge changes the entries: the keys held for them are let go, and those of the
        // merged entries are made anew.
        mergeDuplicates(held, sure);
        mergeDuplicates(stored, findDuplicates(stored, true));
        EXPECT_EQ(storedRows(held), storedRows(stored));
        // Nothing of an entry merged away stays behind it.
        for (Store* store : {&stored, &held}) {
            Connection merged = store->open();
            for (const char* table : {"entry_extras", "entry_keys"}) {
                Statement left =
                    merged.prepare(std::string("select count(*) from ") + table +
                                   " where entry_id not in (select id from radio_v401sh);");
                ASSERT_TRUE(left.step());
                EXPECT_EQ(left.integer(0), 0) << table;
            }
        }
        EXPECT_EQ(described(findDuplicates(held)), described(findDuplicates(stored)));
        std::next_permutation(order.begin(), order.end());
        std::rotate(order.begin(), order.begin() + 1, order.end());
    }
}

}  // namespace
}  // namespace tsunagi
