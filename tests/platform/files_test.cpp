#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

TEST(Files, OneInstanceAtATime) {
    TempFolder folder;
    std::string lock = folder.file("tsunagi.lock");
    {
        SingleInstanceLock first(lock);
        ASSERT_TRUE(first.acquired());
        SingleInstanceLock second(lock);
        EXPECT_FALSE(second.acquired());
    }
    SingleInstanceLock again(lock);
    EXPECT_TRUE(again.acquired());
}

TEST(Files, FoldersAndTheProgramFolder) {
    TempFolder folder;
    folder.write("b/x.txt", "x");
    folder.write("a/y.txt", "y");
    folder.write("c.txt", "z");
    EXPECT_EQ(subfolders(folder.path()), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(subfolders(folder.file("missing")).empty());
    EXPECT_TRUE(folderExists(folder.file("a")));
    EXPECT_FALSE(folderExists(folder.file("c.txt")));
    EXPECT_TRUE(fileExists(folder.file("c.txt")));
    std::string program = programFolder();
    EXPECT_TRUE(folderExists(program));
    EXPECT_NE(program.back(), '/');
}

}  // namespace
}  // namespace tsunagi
