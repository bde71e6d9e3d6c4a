#include "merge/duplicates.h"

#include <gtest/gtest.h>

#include "card/card_view.h"
#include "card/checks.h"
#include "commands/open_command.h"
#include "import/vcf_import.h"
#include "platform/codec.h"
#include "platform/error.h"
#include "store/entries.h"
#include "store/identity.h"
#include "support/rows.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

void add(const Store& store, std::vector<std::string> columns) {
    Connection connection = store.open();
    EntryInserter(connection).insert(columns);
}

// The groups of one kind, each by its entries' ids; with `asked`, those asked about alone.
std::vector<std::vector<std::int64_t>> ids(const std::vector<DuplicateGroup>& groups, bool sure,
                                           bool asked = false) {
    std::vector<std::vector<std::int64_t>> out;
    for (const DuplicateGroup& group : groups) {
        if (group.sure() != sure) continue;
        out.emplace_back();
        for (const DuplicateEntry& entry : group.entries)
            if (entry.asked == asked) out.back().push_back(entry.id);
    }
    return out;
}

TEST(Duplicates, NamesEqualOnceNormalisedAndAFileReadTwice) {
    Store store = Store::inMemory();
    add(store,
        {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;太郎", "TEL;CELL:09011112222", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田　太郎", "EMAIL;INTERNET:taro@example.jp",
                "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:ｽｽﾞｷ", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:スズキ", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:John SMITH", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:ｊｏｈｎ smith", "END:VCARD"});
    // Nameless cards read twice from one file: the same but for the memory-dial number.
    add(store, {"BEGIN:VCARD", "TEL;VOICE:0311", "X-JPG-MDNO:7", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "TEL;VOICE:0311", "X-JPG-MDNO:19", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:別人", "END:VCARD"});
    std::vector<DuplicateGroup> groups = findDuplicates(store);
    // One name, a number on one and a mail on the other: nothing conflicts, one person.
    EXPECT_EQ(ids(groups, true), (std::vector<std::vector<std::int64_t>>{{1, 2}, {7, 8}}));
    // One name and neither a number nor a mail to tell: possibly one person, asked.
    EXPECT_EQ(ids(groups, false), (std::vector<std::vector<std::int64_t>>{{3, 4}, {5, 6}}));
    EXPECT_EQ(groups.back().kind, DuplicateKind::Possible);
}

TEST(Duplicates, ACardKeptTwiceIsCompletedByTheMailsOfItsName) {
    Store store = Store::inMemory();
    // The phone's numbers twice, and the PC's mails of the same name: one person of three.
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;太郎", "TEL;CELL:09011112222",
                "X-JPG-MDNO:1", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;太郎", "TEL;CELL:09011112222",
                "X-JPG-MDNO:2", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;太郎", "EMAIL;INTERNET:taro@example.jp",
                "END:VCARD"});
    // A card with both kept twice beside a namesake of another number: the two alone.
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:鈴木;花子", "TEL;CELL:09033334444",
                "EMAIL;INTERNET:hanako@example.jp", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:鈴木;花子", "TEL;CELL:09033334444",
                "EMAIL;INTERNET:hanako@example.jp", "END:VCARD"});
    add(store,
        {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:鈴木;花子", "TEL;CELL:09055556666", "END:VCARD"});
    const std::vector<std::vector<std::int64_t>> same{{1, 2, 3}, {4, 5}};
    EXPECT_EQ(ids(findDuplicates(store, true), true), same);
    std::vector<DuplicateGroup> groups = findDuplicates(store);
    EXPECT_EQ(ids(groups, true), same);
    EXPECT_EQ(ids(groups, true, true), (std::vector<std::vector<std::int64_t>>{{}, {6}}));
}

TEST(Duplicates, AFamilySharingAHomeNumberIsOnlyPossiblyTheSame) {
    Store store = Store::inMemory();
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;太郎", "TEL;VOICE;HOME:03-1234-5678",
                "END:VCARD"});
    add(store,
        {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;花子", "TEL;VOICE;HOME:0312345678", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;花子", "EMAIL;INTERNET:H@example.jp",
                "END:VCARD"});
    add(store,
        {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:佐藤", "EMAIL;INTERNET:h@EXAMPLE.jp", "END:VCARD"});
    std::vector<DuplicateGroup> groups = findDuplicates(store);
    // Hanako's two entries, a number on one and a mail on the other, are one person; the
    // family's number and the shared mail link the others only as possibly her: asked about in
    // her group, each entry in one group.
    EXPECT_EQ(ids(groups, true), (std::vector<std::vector<std::int64_t>>{{2, 3}}));
    EXPECT_EQ(ids(groups, true, true), (std::vector<std::vector<std::int64_t>>{{1, 4}}));
    EXPECT_TRUE(ids(groups, false).empty());
    EXPECT_EQ(groups[0].askedReason, "同じ電話番号 03-1234-5678");
    // Merged as found, the entries asked about stay apart.
    MergeResult merged = mergeDuplicates(store, groups);
    EXPECT_EQ(merged.entriesBefore, 2);
    EXPECT_EQ(storedRows(store).size(), 3u);
}

TEST(Duplicates, ANamesakeIsAskedAboutInThePersonsGroupAndWhatItSharesIsSaidTruly) {
    Store store = Store::inMemory();
    add(store,
        {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:小野;亜希", "TEL;CELL:090-2222-3333", "END:VCARD"});
    add(store,
        {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:小野;亜希", "TEL;CELL:09022223333", "END:VCARD"});
    add(store,
        {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:小野;亜希", "TEL;CELL:09099998888", "END:VCARD"});
    std::vector<DuplicateGroup> groups = findDuplicates(store);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(ids(groups, true), (std::vector<std::vector<std::int64_t>>{{1, 2}}));
    EXPECT_EQ(ids(groups, true, true), (std::vector<std::vector<std::int64_t>>{{3}}));
    EXPECT_EQ(groups[0].reason, "同じ電話番号 09022223333");
    EXPECT_EQ(groups[0].askedReason, "同じ名前で、番号もメールも別");
    EXPECT_EQ(bestNamedEntry(groups[0]) < 2, true);  // the name mark never on one asked about
}

TEST(Duplicates, MergingBuildsOnTheBestNameAndAddsWhatItLacks) {
    Store store = Store::inMemory();
    add(store,
        {"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎",
         "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾔﾏﾀﾞ;ﾀﾛｳ", "TEL;CELL:090-1111-2222<>TEL;VOICE;HOME:03",
         "NOTE:kept", "X-GNO:1", "X-JPG-MDNO:12", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田 太郎", "X-JPG-OWNER:0",
                "TEL;CELL:09011112222<>TEL;VOICE;WORK:045<>", "EMAIL;INTERNET:Taro@Example.jp<>",
                "X-GNO:4", "X-JPG-MDNO:3", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;太郎", "TEL;VOICE:0120<>TEL;CELL:080",
                "EMAIL;INTERNET:taro@example.jp<>EMAIL;CELL:t@docomo.ne.jp", "END:VCARD"});
    std::vector<DuplicateGroup> groups = findDuplicates(store);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].mergedNumbers, 5u);
    EXPECT_EQ(groups[0].mergedMails, 2u);
    EXPECT_TRUE(groups[0].beyondTheForm());
    MergeResult result = mergeDuplicates(store, groups);
    EXPECT_EQ(describeMerge(result), "3 件のデータを 1 件にまとめました。");
    EXPECT_EQ(storedRows(store),
              (Rows{{"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎",
                     "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾔﾏﾀﾞ;ﾀﾛｳ",
                     // The others' in the order of their names: family and given apart first.
                     "TEL;CELL:090-1111-2222<>TEL;VOICE;HOME:03<>TEL;VOICE:0120<>TEL;CELL:080<>"
                     "TEL;VOICE;WORK:045",
                     "EMAIL;INTERNET:taro@example.jp<>EMAIL;CELL:t@docomo.ne.jp<>", "NOTE:kept",
                     "X-GNO:1", "X-JPG-MDNO:3", "END:VCARD"}}));
}

TEST(Duplicates, AFailingMergeLeavesTheStoreAsItWas) {
    Store store = Store::inMemory();
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:A", "TEL;CELL:1", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:A", "TEL;CELL:2", "END:VCARD"});
    // A card of 80 lines that would need an 81st for the mail of its twin.
    std::vector<std::string> full = {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:B"};
    while (full.size() < 79) full.push_back("X-LINE:" + std::to_string(full.size()));
    full.push_back("END:VCARD");
    add(store, full);
    add(store,
        {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:B", "EMAIL;INTERNET:b@example.jp", "END:VCARD"});
    Rows before = storedRows(store);
    std::vector<DuplicateGroup> groups = findDuplicates(store);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_THROW(mergeDuplicates(store, groups), TsunagiError);
    EXPECT_EQ(storedRows(store), before);
}

TEST(Duplicates, AFileOpenedTwiceComesBackToItsOneSet) {
    TempFolder folder;
    Store store = Store::inMemory();
    std::string cards =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:A\r\nTEL;CELL:090\r\nX-JPG-MDNO:1\r\n"
        "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:B\r\nX-JPG-MDNO:2\r\n"
        "END:VCARD\r\n";
    std::string path = folder.write("cards.vcf", cards);
    importVcfFile(store, path);
    Rows once = storedRows(store);
    importVcfFile(store, path);
    mergeDuplicates(store, findDuplicates(store));
    EXPECT_EQ(storedRows(store), once);
    EXPECT_TRUE(findDuplicates(store).empty());
    // A third time, the kept entries are found again by what they hold, and a copy whose
    // memory-dial numbers come first gives them its numbers.
    std::string earlier = cards;
    earlier.replace(earlier.find("X-JPG-MDNO:2"), 12, "X-JPG-MDNO:0");
    importVcfFile(store, path);
    importVcfFile(store, folder.write("earlier.vcf", earlier));
    std::vector<DuplicateGroup> groups = findDuplicates(store, true);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].entries.size(), 3u);
    mergeDuplicates(store, groups);
    Rows merged = storedRows(store);
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(merged[0], once[0]);
    std::vector<std::string> second = once[1];
    std::replace(second.begin(), second.end(), std::string("X-JPG-MDNO:2"),
                 std::string("X-JPG-MDNO:0"));
    EXPECT_EQ(merged[1], second);
}

// Every entry's lines and what it keeps beyond them, in id order.
std::vector<std::vector<std::string>> rowsWithExtras(const Store& store) {
    std::vector<std::vector<std::string>> rows;
    Connection connection = store.open();
    forEachEntry(connection, [&](const EntryRow& row) {
        rows.emplace_back();
        for (const auto& column : row.columns)
            if (column) rows.back().push_back(*column);
        for (const std::string& extra : row.extras) rows.back().push_back("+" + extra);
    });
    return rows;
}

TEST(Duplicates, ACardStoredTwiceIsMergedUnreadOnlyWhereAMergeOfItReadWouldChangeNothing) {
    // Two cards a merge of two copies leaves as they are (their copies one block of the store),
    // and cards it changes: a memory-dial number
    // of a leading zero, a number known with and without its extension, an empty note before a
    // filled one, a group of 0 before another, a memory-dial number inside another line.
    auto card = [](const std::string& name, const std::string& lines) {
        return "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:" + name +
               "\r\nX-JPG-OWNER:0\r\n" + lines + "END:VCARD\r\n";
    };
    std::string book =
        card("山田;太郎",
             "TEL;CELL:09011110001\r\nEMAIL;INTERNET:taro@example.jp\r\nX-GNO:1\r\n"
             "X-JPG-MDNO:5\r\n") +
        card("小林;明", "TEL;CELL:09011110008\r\nX-GNO:2\r\nX-JPG-MDNO:6\r\n") +
        card("佐藤;花子", "TEL;CELL:09011110002\r\nX-GNO:0\r\nX-JPG-MDNO:07\r\n") +
        card("鈴木;一郎",
             "TEL;WORK:0311110003\r\nTEL;WORK:0311110003,12\r\nX-GNO:0\r\nX-JPG-MDNO:8\r\n") +
        card("高橋;次郎",
             "TEL;CELL:09011110004\r\nNOTE;CHARSET=SHIFT_JIS:\r\nNOTE;CHARSET=SHIFT_JIS:メモ\r\n"
             "X-GNO:0\r\nX-JPG-MDNO:9\r\n") +
        card("田中;優子", "TEL;CELL:09011110005\r\nX-GNO:0\r\nX-GNO:3\r\nX-JPG-MDNO:10\r\n") +
        card("中村;健", "TEL;CELL:09011110006\r\nX-FOO;X-JPG-MDNO:4\r\nX-GNO:0\r\n");
    // The second copy of the last card says more: not the same card twice.
    std::string last = card("伊藤;誠", "TEL;CELL:09011110007\r\nX-GNO:0\r\nX-JPG-MDNO:11\r\n");
    std::string more = last;
    more.insert(more.find("X-GNO"), "NOTE;CHARSET=SHIFT_JIS:同窓会\r\n");
    TempFolder folder;
    std::string path = folder.write("phone.vcf", utf8ToCp932(book + last));
    // A card of the second book alone comes straight after the copies of the first two.
    std::string second = book;
    size_t third = second.find("BEGIN", second.find("BEGIN", second.find("BEGIN") + 1) + 1);
    second.insert(third, card("木村;新", "TEL;CELL:09011110009\r\nX-GNO:0\r\nX-JPG-MDNO:12\r\n"));
    std::string again = folder.write("again.vcf", utf8ToCp932(second + more));
    // The same books in a store that holds its keys in memory, whose prints tell one card stored
    // twice, and in one that stores them, where every group is read.
    Store held = Store::inMemory(), stored = Store::inMemory();
    held.holdKeysInMemory();
    Rows once;
    for (Store* store : {&held, &stored}) {
        Connection connection = store->open();
        setIdentitySeed(connection, "0123456789abcdef0123456789abcdef");
        importVcfFile(*store, path);
        once = storedRows(*store);
        importVcfFile(*store, again);
    }
    std::vector<DuplicateGroup> unread = findDuplicates(held, true),
                                read = findDuplicates(stored, true);
    ASSERT_EQ(unread.size(), 8u);
    ASSERT_EQ(read.size(), 8u);
    std::vector<bool> twins;
    for (const DuplicateGroup& group : unread) twins.push_back(group.twins);
    EXPECT_EQ(twins, (std::vector<bool>{true, true, false, false, false, false, false, false}));
    for (const DuplicateGroup& group : read) EXPECT_FALSE(group.twins);
    MergeResult unreadResult = mergeDuplicates(held, unread);
    mergeDuplicates(stored, read);
    EXPECT_EQ(unreadResult.entriesBefore, 16);
    EXPECT_EQ(unreadResult.entriesAfter, 8);
    EXPECT_EQ(rowsWithExtras(held), rowsWithExtras(stored));
    // The first two cards are as they came, the others each changed by the merge.
    Rows merged = storedRows(held);
    ASSERT_EQ(merged.size(), once.size() + 1);
    for (size_t card = 0; card < once.size(); ++card)
        EXPECT_EQ(merged[card] == once[card], card < 2) << card;
}

// A Google Contacts row and the phone's own card of the same person, each as it is read.
const char* kGoogleRow =
    "First Name,Last Name,Phonetic First Name,Phonetic Last Name,Organization Name,Birthday,"
    "Notes,E-mail 1 - Label,E-mail 1 - Value,Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,"
    "Phone 2 - Value\r\n"
    "太郎,山田,,,つなぎ商事,1980-05-05,Google's note,Work,taro@tsunagi.example,Mobile,"
    "+81 90-1234-5678,Work Fax,+81 3-5555-0000\r\n";
const char* kPhoneCard =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:\x8e\x52\x93\x63;\x91\xbe\x98\x59\r\n"
    "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:\xd4\xcf\xc0\xde;\xc0\xdb\xb3\r\nX-JPG-OWNER:0\r\n"
    "TEL;CELL:09012345678\r\nTEL;VOICE;HOME:0311112222\r\nEMAIL;CELL:taro@docomo.ne.jp\r\n"
    "X-GNO:2\r\nX-JPG-MDNO:5\r\nEND:VCARD\r\n";

EntryRow mergedFrom(bool googleFirst) {
    TempFolder folder;
    Store store = Store::inMemory();
    std::string google = folder.write("google.csv", kGoogleRow);
    std::string phone = folder.write("phone.vcf", kPhoneCard);
    if (googleFirst) {
        importFile(store, google, FileKind::AddressBook);
        importVcfFile(store, phone);
    } else {
        importVcfFile(store, phone);
        importFile(store, google, FileKind::AddressBook);
    }
    std::vector<DuplicateGroup> groups = findDuplicates(store);
    EXPECT_EQ(groups.size(), 1u);
    EXPECT_TRUE(!groups.empty() && groups[0].sure());
    MergeResult result = mergeDuplicates(store, groups);
    EXPECT_EQ(result.entriesBefore, 2);
    EXPECT_EQ(result.entriesAfter, 1);
    Connection connection = store.open();
    std::optional<EntryRow> row = readEntry(connection, groups.at(0).entries.front().id);
    EXPECT_EQ(countEntries(connection), 1);
    return row.value_or(EntryRow{});
}

TEST(Duplicates, AGoogleBookAndThePhoneBackupMergeToOneEntryEitherWay) {
    for (bool googleFirst : {true, false}) {
        EntryRow row = mergedFrom(googleFirst);
        CardView card = readCard(row);
        // The phone's reading and group fill the Google entry; Google's company, birthday and
        // note fill the phone's.
        EXPECT_EQ(card.name.value_or(""), "山田;太郎") << googleFirst;
        EXPECT_EQ(card.reading.value_or(""), "ﾔﾏﾀﾞ;ﾀﾛｳ") << googleFirst;
        std::vector<std::string> numbers;
        for (const NumberPiece& number : card.numbers) numbers.push_back(numberKey(number.value));
        std::sort(numbers.begin(), numbers.end());
        // +81 90-1234-5678 and 09012345678 are one number.
        EXPECT_EQ(numbers, (std::vector<std::string>{"0311112222", "0355550000", "09012345678"}))
            << googleFirst;
        EXPECT_EQ(card.mails.size(), 2u) << googleFirst;
        bool group = false, company = false, birthday = false, fax = false;
        for (const std::optional<std::string>& column : row.columns)
            if (column && *column == "X-GNO:2") group = true;
        for (const std::string& extra : row.extras) {
            company = company || extra == "ORG:つなぎ商事";
            birthday = birthday || extra == "BDAY:1980-05-05";
            fax = fax || extra == "TEL;TYPE=WORK,FAX:+81 3-5555-0000";
        }
        EXPECT_TRUE(group && company && birthday && fax) << googleFirst;
    }
}

TEST(Duplicates, AFamilySharingItsHomeNumberStaysApart) {
    Store store = Store::inMemory();
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;太郎", "TEL;VOICE;HOME:03-1111-2222",
                "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;花子", "TEL;VOICE;HOME:+81 3 1111 2222",
                "END:VCARD"});
    std::vector<DuplicateGroup> groups = findDuplicates(store);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_FALSE(groups[0].sure());  // shown as possibly the same, unchecked
}

TEST(Duplicates, AnOfficesMainNumberTiesNobodyYetNamesakesOnItStillShareIt) {
    Store store = Store::inMemory();
    for (const char* name : {"岡;一", "林;二", "森;三", "原;四", "谷;五", "東;六", "西;七"})
        add(store, {"BEGIN:VCARD", std::string("N;CHARSET=SHIFT_JIS:") + name,
                    "TEL;VOICE;WORK:03-5555-0000", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:田中;一郎", "TEL;VOICE;WORK:03-5555-0000",
                "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:田中　一郎", "TEL;VOICE;WORK:0355550000",
                "TEL;CELL:09012345678", "END:VCARD"});
    // One of the staff on the main number alone, and a reading of him with his mobile.
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:岡;一", "EMAIL;INTERNET:hajime@example.jp",
                "END:VCARD"});
    for (bool sureOnly : {false, true}) {
        std::vector<DuplicateGroup> groups = findDuplicates(store, sureOnly);
        // The two 田中 share the number, however many others do, and are merged without a
        // question as the dialog shows them; the staff are no group of it, and 岡's number and
        // mail cannot conflict.
        EXPECT_EQ(ids(groups, true), (std::vector<std::vector<std::int64_t>>{{1, 10}, {8, 9}}))
            << sureOnly;
        EXPECT_TRUE(ids(groups, false).empty()) << sureOnly;
        ASSERT_EQ(groups.size(), 2u);
        if (!sureOnly) {
            EXPECT_EQ(groups[1].reason, "同じ電話番号 0355550000");
        }
    }
}

TEST(Duplicates, EntriesFarApartInTheStoreAreFoundAsNeighboursAre) {
    Store store = Store::inMemory();
    add(store,
        {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;太郎", "TEL;CELL:09011112222", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:別人", "TEL;CELL:09033334444", "END:VCARD"});
    // Many entries stored and deleted in between: the next ids are far from the first.
    store.open().execute("update sqlite_sequence set seq = 1000000 where name = 'radio_v401sh';");
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田　太郎", "EMAIL;INTERNET:taro@example.jp",
                "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:別人", "TEL;CELL:090-3333-4444", "END:VCARD"});
    for (bool sureOnly : {false, true})
        EXPECT_EQ(ids(findDuplicates(store, sureOnly), true),
                  (std::vector<std::vector<std::int64_t>>{{1, 1000001}, {2, 1000002}}))
            << sureOnly;
}

TEST(Duplicates, ManyGroupsMergedTogetherComeOutAsEachMergedAlone) {
    // More groups than one batch of the merge's pipe holds, each with a note, a second number
    // and a birthday on one side, so that every group has something to unite and to name.
    auto fill = [](const Store& store) {
        Connection connection = store.open();
        EntryInserter inserter(connection);
        for (int person = 0; person < 150; ++person) {
            std::string name = "N;CHARSET=SHIFT_JIS:山田;" + std::to_string(person);
            std::string mail = "EMAIL;INTERNET:p" + std::to_string(person) + "@example.jp";
            std::vector<std::string> lines = {"BEGIN:VCARD",
                                              name,
                                              "TEL;CELL:090" + std::to_string(person),
                                              mail,
                                              "NOTE:first " + std::to_string(person),
                                              "END:VCARD"};
            std::vector<std::string> extras = {"BDAY:1980-01-01"};
            inserter.insert(std::span<const std::string>(lines), extras);
        }
        for (int person = 0; person < 150; ++person) {
            std::vector<std::string> lines = {
                "BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田 " + std::to_string(person),
                "TEL;VOICE;HOME:03" + std::to_string(person),
                "EMAIL;INTERNET:P" + std::to_string(person) + "@EXAMPLE.JP", "END:VCARD"};
            std::vector<std::string> extras = {"NOTE:second", "BDAY:1990-02-02"};
            inserter.insert(std::span<const std::string>(lines), extras);
        }
    };
    Store together = Store::inMemory(), alone = Store::inMemory();
    fill(together);
    fill(alone);
    for (const Store* store : {&together, &alone}) {
        Connection connection = store->open();
        setIdentitySeed(connection, "00112233445566778899aabbccddeeff");
    }
    std::vector<DuplicateGroup> groups = findDuplicates(together);
    ASSERT_EQ(groups.size(), 150u);
    MergeResult all = mergeDuplicates(together, groups);
    EXPECT_EQ(all.entriesBefore, 300);
    EXPECT_EQ(all.entriesAfter, 150);
    ASSERT_EQ(all.notKept.size(), 150u);  // each second birthday named, in the groups' order
    EXPECT_EQ(all.notKept.front(), "山田 0: 誕生日 1990-02-02");
    std::vector<std::string> notKept;
    for (const DuplicateGroup& group : findDuplicates(alone)) {
        MergeResult one = mergeDuplicates(alone, {group});
        notKept.insert(notKept.end(), one.notKept.begin(), one.notKept.end());
    }
    EXPECT_EQ(notKept, all.notKept);
    EXPECT_EQ(storedRows(together), storedRows(alone));
    Connection a = together.open(), b = alone.open();
    for (std::int64_t id = 1; id <= 150; ++id) EXPECT_EQ(readExtras(a, id), readExtras(b, id));
}

TEST(Duplicates, GroupsThatShareAnEntryAreMergedOneAfterAnother) {
    Store store = Store::inMemory();
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:A", "TEL;CELL:1", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:A", "TEL;CELL:1<>TEL;CELL:2", "END:VCARD"});
    add(store, {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:B", "TEL;CELL:2", "END:VCARD"});
    std::vector<DuplicateGroup> groups = findDuplicates(store);
    // A and A, with B asked about by the shared number: each entry in one group.
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(ids(groups, true, true), (std::vector<std::vector<std::int64_t>>{{3}}));
    // Taken in as a group of its own beside the first, as a caller may.
    DuplicateGroup three = groups[0];
    three.kind = DuplicateKind::Possible;
    for (DuplicateEntry& entry : three.entries) entry.asked = false;
    groups.push_back(three);
    MergeResult result = mergeDuplicates(store, groups);
    // The second group finds 2 merged away into 1, and merges 1 (with both numbers) and 3.
    EXPECT_EQ(result.entriesBefore, 3);
    EXPECT_EQ(result.entriesAfter, 1);
    Rows rows = storedRows(store);
    ASSERT_EQ(rows.size(), 1u);
    // Built on the best name of the three, with both numbers.
    EXPECT_EQ(rows[0], (std::vector<std::string>{"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:B",
                                                 "TEL;CELL:2<>TEL;CELL:1", "END:VCARD"}));
}

}  // namespace
}  // namespace tsunagi
