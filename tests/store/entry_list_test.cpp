#include "store/entry_list.h"

#include <gtest/gtest.h>

#include "store/entries.h"

namespace tsunagi {
namespace {

const std::string kFiller = [] {
    std::string filler;
    for (int i = 0; i < 22; ++i) filler += "\xE3\x80\x80";  // U+3000
    return filler + "<>";
}();

TEST(EntryList, LinesForNamesOfEveryLength) {
    EXPECT_EQ(entryListLine("N;CHARSET=SHIFT_JIS:山田;太郎", 7), "山田;太郎" + kFiller + "7");
    EXPECT_EQ(entryListLine("N;CHARSET=SHIFT_JIS:李", 8), "  李" + kFiller + "8");
    EXPECT_EQ(entryListLine("N;CHARSET=SHIFT_JIS:Smith", 9), "Smith" + kFiller + "9");
    EXPECT_EQ(entryListLine("N;CHARSET=SHIFT_JIS:ｱｲｳｴｵｶｷｸ", 10), "ｱｲｳｴｵ" + kFiller + "10");
    EXPECT_EQ(entryListLine("N;CHARSET=SHIFT_JIS:abc:def", 11), "abc" + kFiller + "11");
    EXPECT_EQ(entryListLine(std::nullopt, 12), "   " + kFiller + "12");
    EXPECT_EQ(entryListLine("N", 13), "   " + kFiller + "13");
    EXPECT_EQ(entryListLine("no colon", 14), "   " + kFiller + "14");
    // A name with a line break shows up to the break, so one entry stays one line.
    EXPECT_EQ(entryListLine("N;CHARSET=SHIFT_JIS:AB\r\nCD", 15), " AB" + kFiller + "15");
    EXPECT_EQ(entryListLine("N;CHARSET=SHIFT_JIS:\nX", 16), "   " + kFiller + "16");
}

TEST(EntryList, IdComesBackFromTheLine) {
    EXPECT_EQ(idFromListLine(entryListLine("N;CHARSET=SHIFT_JIS:李", 12)), 12);
    EXPECT_EQ(idFromListLine("no separator"), std::nullopt);
    // A name that holds "<>" and digits cannot pass for another entry's id.
    EXPECT_EQ(idFromListLine(entryListLine("N;CHARSET=SHIFT_JIS:<>12", 3)), 3);
    EXPECT_EQ(idFromListLine("x<>12.7"), std::nullopt);
    EXPECT_EQ(idFromListLine("x<>"), std::nullopt);
    EXPECT_EQ(idFromListLine("x<>-4"), std::nullopt);
    EXPECT_EQ(countLabel(12), "12ﾃﾞｰﾀ");
    EXPECT_EQ(countLabel(40000), "40000ﾃﾞｰﾀ");
}

TEST(EntryList, StoreInIdOrderAndNullNameAfterANamedRow) {
    Store store = Store::inMemory();
    {
        Connection connection = store.open();
        EntryInserter inserter(connection);
        inserter.insert(
            {"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎", "END:VCARD"});
        inserter.insert({"BEGIN:VCARD", "VERSION:2.1"});
        inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:Smith", "END:VCARD"});
    }
    std::vector<std::string> lines = readEntryList(store);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(0, lines[0].find("\xE3\x80\x80")), "山田;太郎");
    EXPECT_EQ(lines[1].substr(0, 3), "   ");
    EXPECT_LT(*idFromListLine(lines[0]), *idFromListLine(lines[2]));
    clearStore(store);
    EXPECT_TRUE(readEntryList(store).empty());
}

}  // namespace
}  // namespace tsunagi
