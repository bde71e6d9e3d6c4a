#pragma once

// A store of entries of every shape the writers meet, exported to a temporary folder.

#include <gtest/gtest.h>

#include <string>

#include "commands/save_command.h"
#include "store/entries.h"
#include "support/temp_folder.h"

namespace tsunagi {

inline const std::string kGolden = std::string(TSUNAGI_FIXTURES) + "/export/golden/";

// Entries of every shape the writers meet; golden/make_golden.py spells out what they give.
inline void addEntries(const Store& store) {
    Connection connection = store.open();
    EntryInserter inserter(connection);
    inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎;;;",
                     "X-JPG-OWNER:0",
                     "TEL;VOICE;HOME:03-1234-5678<>TEL;CELL:09012345678<>TEL;VOICE:0311112222<>"
                     "TEL;VOICE;WORK:0455556666",
                     "EMAIL;INTERNET:taro@example.jp<>EMAIL;CELL:taro@docomo.ne.jp", "X-GNO:1",
                     "X-CLASS:PRIVATE", "X-JPG-MDNO:17", "END:VCARD"});
    inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:Smith, \"J\"",
                     "X-JPG-OWNER:0", "<>TEL;VOICE:0312<>", "EMAIL;X400:odd@x.jp<>", "X-GNO:0",
                     "X-JPG-MDNO:", "END:VCARD"});
    inserter.insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:<b>&Co</b>",
                     "TEL;CELL:123456789012345678901234<>TEL;CELL:12345678901234567890123<>"
                     "TEL;VOICE;HOME:03-ABC<>",
                     "EMAIL;CELL:x@y.jp<>", "END:VCARD"});
    inserter.insert({"BEGIN:VCARD", "NOTE:first\r\nsecond", "X-JPG-MDNO:99", "END:VCARD"});
}

// A store of entries of every shape, exported to a temporary folder.
class ExportFixture : public ::testing::Test {
  protected:
    std::string exportAs(const std::string& name, const std::string& note = "") {
        std::string path = folder.file(name);
        EXPECT_EQ(exportToFile(store, folder.path(), path, *saveKindForName(path)), note);
        return readBytes(path);
    }
    TempFolder folder;
    Store store = Store::inMemory();
};

}  // namespace tsunagi
