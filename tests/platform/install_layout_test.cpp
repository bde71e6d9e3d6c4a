#include "platform/install_layout.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/temp_folder.h"

namespace tsunagi {
namespace {

TEST(InstallLayout, TheBuildsFolderAndTheInstalledTree) {
    TempFolder folder;
    folder.write("app/database/keitai.mdb", "store");
    ProgramFiles build = programFiles(folder.file("app"));
    EXPECT_EQ(build.shipped, folder.file("app"));
    EXPECT_EQ(build.helper, folder.file("app/tsunagi-xlsread"));
    EXPECT_FALSE(build.installed);
    // The store stays beside a program that may write there, with its backup folder.
    EXPECT_EQ(userDataFolder(build), folder.file("app"));
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("app/backup")));

    folder.write("usr/share/tsunagi/database/keitai.mdb", "shipped store");
    std::filesystem::create_directories(folder.file("usr/bin"));
    ProgramFiles installed = programFiles(folder.file("usr/bin"));
    EXPECT_TRUE(installed.installed);
    EXPECT_EQ(std::filesystem::weakly_canonical(installed.shipped),
              folder.file("usr/share/tsunagi"));
    EXPECT_EQ(std::filesystem::weakly_canonical(installed.helper),
              folder.file("usr/libexec/tsunagi/tsunagi-xlsread"));

    // Installed, the store is this user's: made from the shipped one on the first start, and
    // kept as it is on the next.
    std::string data = folder.file("home/data");
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    EXPECT_EQ(userDataFolder(installed), data + "/tsunagi");
    EXPECT_EQ(readBytes(data + "/tsunagi/database/keitai.mdb"), "shipped store");
    EXPECT_TRUE(std::filesystem::is_directory(data + "/tsunagi/backup"));
    folder.write("home/data/tsunagi/database/keitai.mdb", "the user's own");
    EXPECT_EQ(userDataFolder(installed), data + "/tsunagi");
    EXPECT_EQ(readBytes(data + "/tsunagi/database/keitai.mdb"), "the user's own");
    EXPECT_EQ(readBytes(folder.file("usr/share/tsunagi/database/keitai.mdb")), "shipped store");
    unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace tsunagi
