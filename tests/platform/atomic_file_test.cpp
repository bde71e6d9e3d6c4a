#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "platform/error.h"
#include "platform/text_file.h"
#include "support/temp_folder.h"

namespace tsunagi {
namespace {

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

// A child process that is stopped by `signal` halfway through a save.
void interruptedSave(const std::string& target, int signal, bool named) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFile::useNamedTemporariesOnly(named);
        AtomicFile file(target);
        file.writeBytes(std::string(100000, 'x'));
        raise(signal);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), signal);
}

TEST(AtomicFile, AnInterruptedSaveLeavesNothingBehind) {
    TempFolder folder;
    std::string target = folder.write("list.html", "the earlier file");
    // Unnamed until complete: not even SIGKILL leaves a file.
    for (int signal : {SIGKILL, SIGTERM}) interruptedSave(target, signal, false);
    // Named, where unnamed files cannot be had: removed on the signals that can be caught.
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) interruptedSave(target, signal, true);
    EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{"list.html"}));
    EXPECT_EQ(readBytes(target), "the earlier file");
}

TEST(AtomicFile, BothWaysGiveTheWholeFileAndTheUsualPermissions) {
    TempFolder folder;
    for (bool named : {false, true}) {
        AtomicFile::useNamedTemporariesOnly(named);
        std::string target = folder.file(named ? "named.csv" : "unnamed.csv");
        {
            AtomicFile file(target);
            file.writeBytes("a,b\r\n");
            file.commit();
        }
        EXPECT_EQ(readBytes(target), "a,b\r\n");
        mode_t mask = umask(0);
        umask(mask);
        EXPECT_EQ(std::filesystem::status(target).permissions(),
                  static_cast<std::filesystem::perms>(0666 & ~mask));
        // A library that writes by name reaches the temporary file through handOver().
        {
            AtomicFile file(target);
            std::string path = file.handOver();
            std::FILE* out = std::fopen(path.c_str(), "wb");
            ASSERT_TRUE(out) << path;
            std::fputs("by name", out);
            std::fclose(out);
            file.commit();
        }
        EXPECT_EQ(readBytes(target), "by name");
    }
    AtomicFile::useNamedTemporariesOnly(false);
    EXPECT_EQ(namesIn(folder.path()).size(), 2u);
}

// A file saved over keeps its permissions, whichever way it is written; one the user may not
// write is refused, named, and stays as it was (only where the tests do not run as root, who
// may write anything).
TEST(AtomicFile, AFileSavedOverKeepsItsPermissionsAndAReadOnlyOneIsRefused) {
    TempFolder folder;
    for (bool named : {false, true}) {
        AtomicFile::useNamedTemporariesOnly(named);
        std::string target = folder.write(named ? "shared.csv" : "private.csv", "before");
        auto perms = static_cast<std::filesystem::perms>(named ? 0664 : 0600);
        std::filesystem::permissions(target, perms);
        AtomicFile file(target);
        file.writeBytes("after");
        file.commit();
        EXPECT_EQ(readBytes(target), "after");
        EXPECT_EQ(std::filesystem::status(target).permissions(), perms) << target;
    }
    AtomicFile::useNamedTemporariesOnly(false);
    if (geteuid() == 0) return;
    std::string locked = folder.write("locked.vcf", "the user's own");
    std::filesystem::permissions(locked, static_cast<std::filesystem::perms>(0444));
    try {
        AtomicFile file(locked);
        file.commit();
        ADD_FAILURE() << "a read-only file was saved over";
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.file(), locked);
    }
    EXPECT_EQ(readBytes(locked), "the user's own");
    EXPECT_EQ(std::filesystem::status(locked).permissions(),
              static_cast<std::filesystem::perms>(0444));
}

}  // namespace
}  // namespace tsunagi
