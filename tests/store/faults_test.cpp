// The store and the files around it failing while the program runs: every failure is a
// TsunagiError that names the file, and the store stays as it was.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "import/vcf_import.h"
#include "platform/error.h"
#include "store/entries.h"
#include "store/entry_list.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

std::string cards(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:n" + std::to_string(i) +
                "\r\nNOTE:" + std::string(200, 'x') + "\r\nEND:VCARD\r\n";
    return text;
}

class StoreFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        Store::createFile(path);
        importVcfFile(store, folder.write("two.vcf", cards(2)));
    }
    TempFolder folder;
    std::string path = folder.file("keitai.mdb");
    Store store{connectionStringFor(path)};
};

TEST_F(StoreFaults, DeletedWhileRunning) {
    std::filesystem::remove(path);
    for (auto operation : std::vector<std::function<void()>>{
             [&] { readEntryList(store); }, [&] { clearStore(store); },
             [&] { importVcfFile(store, folder.write("more.vcf", cards(1))); }}) {
        try {
            operation();
            ADD_FAILURE() << "a deleted store was used";
        } catch (const TsunagiError& error) {
            EXPECT_EQ(error.file(), path);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(path)) << "the store must never be created by the program";
}

TEST_F(StoreFaults, ReplacedByGarbage) {
    folder.write("keitai.mdb", std::string(8192, '\x5a'));
    try {
        readEntryList(store);
        FAIL();
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.file(), path);
        EXPECT_NE(error.reason().find("データベースのファイルではない"), std::string::npos)
            << error.reason();
    }
}

TEST_F(StoreFaults, WritesFailingHalfWayKeepNothingOfTheImport) {
    std::string big = folder.write("big.vcf", cards(3000));
    // Writes past a small size fail, as on a full disk.
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = std::filesystem::file_size(path) + 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(importVcfFile(store, big), TsunagiError);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(readEntryList(store).size(), 2u);
}

TEST_F(StoreFaults, ReadOnlyStoreFile) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
    chmod(path.c_str(), 0444);
    EXPECT_THROW(importVcfFile(store, folder.write("more.vcf", cards(1))), TsunagiError);
    chmod(path.c_str(), 0644);
    EXPECT_EQ(readEntryList(store).size(), 2u);
}

TEST_F(StoreFaults, ImportFilesThatCannotBeRead) {
    // A folder opens but cannot be read; a file cut short inside its last card is refused
    // whole, at the line where that card began.
    std::string notAFile = folder.file("folder.vcf");
    std::filesystem::create_directories(notAFile);
    try {
        importVcfFile(store, notAFile);
        FAIL();
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.file(), notAFile);
    }
    std::string text = cards(3);
    std::string cut = folder.write("cut.vcf", text.substr(0, text.size() - 40));
    try {
        importVcfFile(store, cut);
        FAIL() << "a file cut short inside a card was kept";
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.file(), cut);
        EXPECT_EQ(error.line(), 11);
    }
    EXPECT_EQ(readEntryList(store).size(), 2u);
}

}  // namespace
}  // namespace tsunagi
