// The exports for today's phones against goldens spelled out from RFC 2426 and Google's own
// headings (golden/make_smartphone_golden.py), and read back by our own import.

#include <gtest/gtest.h>

#include "commands/open_command.h"
#include "commands/save_command.h"
#include "import/vcf_import.h"
#include "store/entries.h"
#include "support/rows.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

const std::string kGolden = std::string(TSUNAGI_FIXTURES) + "/export/golden/";
const std::string kLong =
    "寿限無寿限無五劫の擦り切れ海砂利水魚の水行末雲来末風来末食う寝る処に住む処";

void addPeople(const Store& store) {
    Connection connection = store.open();
    EntryInserter inserter(connection);
    inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎",
                     "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾔﾏﾀﾞ;ﾀﾛｳ", "X-JPG-OWNER:0",
                     "TEL;VOICE;HOME:03-1234-5678<>TEL;CELL:090-1111-2222<>TEL;VOICE;WORK:045-555-"
                     "6666<>TEL;VOICE:0311112222",
                     "EMAIL;INTERNET:taro@example.jp<>EMAIL;CELL:taro@docomo.ne.jp",
                     "NOTE:first\r\nsecond", "X-GNO:0", "X-JPG-MDNO:1", "END:VCARD"});
    inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:Smith;John",
                     "EMAIL;INTERNET:john@example.com<>", "NOTE:a,b;c\\d", "END:VCARD"});
    inserter.insert(
        {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:ｽｽﾞｷ;ｲﾁﾛｳ", "TEL;CELL:080-3333-4444<>", "END:VCARD"});
    inserter.insert(
        {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:" + kLong, "TEL;VOICE:0120-123-456", "END:VCARD"});
}

TEST(SmartphoneGoldens, VcardThreeAndGoogleCsvForEveryShape) {
    TempFolder folder;
    Store store = Store::inMemory();
    addPeople(store);
    std::string vcf = folder.file("phone.vcf"), google = folder.file("google.csv");
    EXPECT_EQ(exportToFile(store, folder.path(), vcf, FileKind::Vcard3), "");
    EXPECT_EQ(exportToFile(store, folder.path(), google, FileKind::GoogleCsv), "");
    EXPECT_EQ(readBytes(vcf), readBytes(kGolden + "smartphone.vcf"));
    EXPECT_EQ(readBytes(google), readBytes(kGolden + "google.csv"));
}

TEST(SmartphoneGoldens, OurOwnImportReadsBothBack) {
    TempFolder folder;
    Store store = Store::inMemory();
    addPeople(store);
    std::string vcf = folder.file("phone.vcf"), google = folder.file("google.csv");
    exportToFiles(store, folder.path(), {{vcf, FileKind::Vcard3}, {google, FileKind::GoogleCsv}});
    Store fromVcard = Store::inMemory(), fromCsv = Store::inMemory();
    ASSERT_EQ(importVcfFile(fromVcard, vcf), 4);
    Rows rows = storedRows(fromVcard);
    EXPECT_EQ(rows[0][2], "N;CHARSET=SHIFT_JIS:山田;太郎");
    EXPECT_EQ(rows[0][3], "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ヤマダ;タロウ");
    EXPECT_EQ(rows[0][5],
              "TEL;VOICE;HOME:03-1234-5678<>TEL;CELL:090-1111-2222<>TEL;VOICE;WORK:045-555-6666<>"
              "TEL;VOICE:0311112222<>");
    EXPECT_EQ(rows[0][6], "EMAIL;INTERNET:taro@example.jp<>EMAIL;CELL:taro@docomo.ne.jp<>");
    EXPECT_EQ(rows[1][2], "N;CHARSET=SHIFT_JIS:Smith;John");
    EXPECT_EQ(rows[2][2], "N;CHARSET=SHIFT_JIS:スズキ;イチロウ");
    EXPECT_EQ(rows[3][2], "N;CHARSET=SHIFT_JIS:" + kLong);  // whole, as it was typed
    ImportReport report;
    EXPECT_EQ(importFile(fromCsv, google, FileKind::AddressBook, {}, &report), 4);
    EXPECT_EQ(storedRows(fromCsv)[0][5], rows[0][5]);
    EXPECT_EQ(storedRows(fromCsv)[0][3], rows[0][3]);
}

}  // namespace
}  // namespace tsunagi
