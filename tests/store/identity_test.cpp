// Every entry's lasting UID: the same through an edit, a merge and a vCard 3.0 file read back.

#include "store/identity.h"

#include <gtest/gtest.h>

#include <set>

#include "commands/save_command.h"
#include "import/vcf_import.h"
#include "merge/duplicates.h"
#include "platform/codec.h"
#include "store/entries.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

// The UIDs of a vCard 3.0 file, in card order.
std::vector<std::string> uidsOf(const std::string& text) {
    std::vector<std::string> uids;
    for (size_t at = text.find("\r\nUID:"); at != std::string::npos;
         at = text.find("\r\nUID:", at + 1))
        uids.push_back(text.substr(at + 6, text.find("\r\n", at + 6) - at - 6));
    return uids;
}

std::vector<std::string> exportedUids(const Store& store, TempFolder& folder) {
    std::string path = folder.file("out.vcf");
    EXPECT_EQ(exportToFile(store, folder.path(), path, FileKind::Vcard3), "");
    std::string text = readBytes(path);
    EXPECT_EQ(text.find("X-TSUNAGI-MERGED-UID"), std::string::npos);  // the store's alone
    return uidsOf(text);
}

TEST(Identity, UidsAreVersionFourUuidsNeverGivenTwice) {
    std::set<std::string> seen;
    for (std::int64_t id = 1; id <= 2000; ++id) {
        std::string uid = entryUid("0123456789abcdef0123456789abcdef", id);
        ASSERT_TRUE(isUuidUrn(uid)) << uid;
        EXPECT_EQ(uid[9 + 14], '4');                                          // the version
        EXPECT_NE(std::string("89ab").find(uid[9 + 19]), std::string::npos);  // the variant
        EXPECT_TRUE(seen.insert(uid).second);
    }
    EXPECT_NE(entryUid("0123456789abcdef0123456789abcdef", 1),
              entryUid("f123456789abcdef0123456789abcdef", 1));
    EXPECT_NE(randomUid(), randomUid());
    EXPECT_EQ(uuidOf("URN:UUID:0A1B2C3D-0000-4000-8000-00000000000F"),
              "0a1b2c3d-0000-4000-8000-00000000000f");
    EXPECT_EQ(uuidOf("0a1b2c3d-0000-4000-8000-00000000000f"), "");
    EXPECT_EQ(uuidOf("urn:uuid:0a1b2c3d-0000-4000-8000-00000000000"), "");

    // Two stores have seeds of their own; one store keeps its seed.
    Store a = Store::inMemory(), b = Store::inMemory();
    Connection ca = a.open(), cb = b.open();
    std::string seed = identitySeed(ca);
    EXPECT_EQ(seed.size(), 32u);
    EXPECT_EQ(identitySeed(ca), seed);
    EXPECT_NE(identitySeed(cb), seed);
}

TEST(Identity, AnEditAMergeAndAFileReadBackKeepThePersonsUid) {
    TempFolder folder;
    Store store = Store::inMemory();
    std::int64_t phone = 0, own = 0;
    {
        Connection connection = store.open();
        EntryInserter inserter(connection);
        phone = inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎",
                                 "TEL;CELL:090-1111-2222<>", "END:VCARD"});
        own = inserter.insert(
            {"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:佐藤;花子", "END:VCARD"});
        // The same person from the PC's book, with a mail and a UID of its own.
        std::vector<std::string> lines = {"BEGIN:VCARD", "VERSION:2.1",
                                          "N;CHARSET=SHIFT_JIS:山田;太郎",
                                          "EMAIL;INTERNET:taro@example.jp<>", "END:VCARD"};
        std::vector<std::string> extras = {"UID:urn:uuid:11111111-2222-4333-8444-555555555555"};
        inserter.insert(std::span<const std::string>(lines), extras);
        writeExtras(connection, own, {"UID:hanako-1"});
    }
    std::vector<std::string> first = exportedUids(store, folder);
    ASSERT_EQ(first.size(), 3u);
    EXPECT_TRUE(isUuidUrn(first[0]));
    EXPECT_EQ(first[1], "hanako-1");
    EXPECT_EQ(first[2], "urn:uuid:11111111-2222-4333-8444-555555555555");

    // An edit changes the card, not the person.
    {
        Connection connection = store.open();
        ASSERT_TRUE(updateEntry(connection, phone,
                                {"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎",
                                 "TEL;CELL:090-9999-2222<>", "END:VCARD"}));
    }
    EXPECT_EQ(exportedUids(store, folder), first);

    // Merged, the person keeps the UID of the entry that gives the name and remembers the
    // other's; the phone's own entry gives it here, though the PC's card brought a UID.
    std::vector<DuplicateGroup> groups = findDuplicates(store, true);
    ASSERT_EQ(groups.size(), 1u);
    groups[0].nameFrom = phone;
    mergeDuplicates(store, groups);
    EXPECT_EQ(exportedUids(store, folder), (std::vector<std::string>{first[0], first[1]}));
    {
        Connection connection = store.open();
        std::vector<std::string> extras = readExtras(connection, phone);
        EXPECT_NE(std::find(extras.begin(), extras.end(), "X-TSUNAGI-MERGED-UID:" + first[2]),
                  extras.end());
    }
    // The line is ours alone: a save that holds less does not name it as left out.
    EXPECT_EQ(exportToFile(store, folder.path(), folder.file("phone.vcf"), FileKind::PhoneCards),
              "");
    // Named by the PC's entry, the merged person is the PC's card.
    Store other = Store::inMemory();
    {
        Connection connection = store.open(), to = other.open();
        EntryInserter inserter(to);
        std::vector<std::string> lines = {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;太郎",
                                          "EMAIL;INTERNET:taro@example.jp<>", "END:VCARD"};
        inserter.insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;太郎", "TEL;CELL:090-1111-2222<>",
                         "END:VCARD"});
        std::vector<std::string> extras = {"UID:pc-card"};
        std::int64_t second = inserter.insert(std::span<const std::string>(lines), extras);
        std::vector<DuplicateGroup> again = findDuplicates(other, true);
        ASSERT_EQ(again.size(), 1u);
        again[0].nameFrom = second;
        mergeDuplicates(other, again);
        EXPECT_EQ(exportedUids(other, folder), std::vector<std::string>{"pc-card"});
    }

    // vCard 3.0 read back keeps every UID.
    std::string path = folder.file("back.vcf");
    ASSERT_EQ(exportToFile(store, folder.path(), path, FileKind::Vcard3), "");
    Store back = Store::inMemory();
    ASSERT_EQ(importVcfFile(back, path), 2);
    EXPECT_EQ(exportedUids(back, folder), (std::vector<std::string>{first[0], first[1]}));
}

}  // namespace
}  // namespace tsunagi
