#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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

TEST(Files, ALockAnotherUserMadeIsNeverTrusted) {
    TempFolder folder;
    std::string lock = folder.file("other.lock");
    { std::ofstream made(lock); }
    if (getuid() != 0 || chown(lock.c_str(), 4242, 4242) != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    // Held by nobody of ours: neither start waits for the other.
    SingleInstanceLock first(lock), second(lock);
    EXPECT_TRUE(first.acquired());
    EXPECT_TRUE(second.acquired());
    // Where there is no private folder for it, no lock holds anyone back.
    EXPECT_TRUE(SingleInstanceLock("").acquired());
    // A link where the lock should be is not followed.
    std::string link = folder.file("link.lock");
    ASSERT_EQ(symlink(folder.file("elsewhere").c_str(), link.c_str()), 0);
    EXPECT_TRUE(SingleInstanceLock(link).acquired());
    EXPECT_FALSE(std::filesystem::exists(folder.file("elsewhere")));
}

TEST(Files, TheLockLivesInAFolderOfTheUsersOwn) {
    TempFolder folder;
    std::string cache = folder.file("cache");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string saved = runtime ? runtime : "";
    // A runtime folder that anyone may write is not used; the cache's is made private.
    setenv("XDG_RUNTIME_DIR", "/tmp", 1);
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    EXPECT_EQ(defaultLockPath(), cache + "/tsunagi/tsunagi-" + std::to_string(getuid()) + ".lock");
    struct stat status {};
    ASSERT_EQ(stat((cache + "/tsunagi").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    // Opened to others by hand, it is closed again.
    chmod((cache + "/tsunagi").c_str(), 0777);
    EXPECT_EQ(privateFolder(), cache + "/tsunagi");
    ASSERT_EQ(stat((cache + "/tsunagi").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    unsetenv("XDG_CACHE_HOME");
    if (runtime)
        setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace tsunagi
