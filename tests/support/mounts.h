#pragma once

#include <sched.h>
#include <sys/mount.h>

#include <filesystem>
#include <string>

namespace tsunagi {

// A small tmpfs of our own, in a mount namespace of this test process, where that is allowed
// (root on Linux); the empty string where it is not.
inline std::string mountTmpfs(const std::string& where, const std::string& options) {
    static const bool privateMounts =
        unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    std::filesystem::create_directories(where);
    if (!privateMounts || mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) != 0)
        return "";
    return where;
}

}  // namespace tsunagi
