#include "platform/desktop_open.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_folder.h"

namespace tsunagi {
namespace {

std::string opener(TempFolder& folder, const std::string& name, const std::string& body) {
    std::string path = folder.write(name, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
    return path;
}

TEST(DesktopOpen, TheOpenersExitStatusIsSeen) {
    TempFolder folder;
    // xdg-open exits 3 when it finds no program for the file.
    EXPECT_FALSE(openWithDesktopProgram(opener(folder, "no-handler", "exit 3"), "help.html"));
    EXPECT_TRUE(openWithDesktopProgram(opener(folder, "opens", "exit 0"), "help.html"));
    // A browser started in the foreground keeps the opener running: that is success.
    EXPECT_TRUE(openWithDesktopProgram(opener(folder, "browser", "sleep 5"), "help.html", 200));
    EXPECT_FALSE(openWithDesktopProgram(folder.file("not-installed"), "help.html"));
    // The target reaches the opener as one argument.
    std::string seen = folder.file("seen");
    EXPECT_TRUE(openWithDesktopProgram(opener(folder, "records", "printf %s \"$1\" > " + seen),
                                       "/a b/help.html"));
    EXPECT_EQ(readBytes(seen), "/a b/help.html");
}

}  // namespace
}  // namespace tsunagi
