#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/error.h"

namespace tsunagi {

std::string programFolder() {
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return ".";
    std::string path(buffer.data(), n);
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TsunagiError(path, 0, "ファイルを開けません（" + systemReason(errno) + "）。");
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) throw TsunagiError(path, 0, "ファイルを読めません。");
    return bytes.str();
}

bool folderExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool fileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::vector<std::string> subfolders(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (!dir) return names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (folderExists(path + "/" + name)) names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

SingleInstanceLock::SingleInstanceLock(const std::string& lockPath) {
    // No private place for a lock: nothing can say that another of ours runs.
    if (lockPath.empty()) {
        untrusted_ = true;
        return;
    }
    int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        untrusted_ = errno == ELOOP;  // a link where the lock should be is no lock of ours
        return;
    }
    // A lock that another user made says nothing of ours: it is never waited on.
    struct stat status {};
    if (fstat(fd, &status) != 0 || status.st_uid != getuid() || !S_ISREG(status.st_mode)) {
        close(fd);
        untrusted_ = true;
        return;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return;
    }
    fd_ = fd;
}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) close(fd_);
}

bool isPrivateFolder(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == getuid() && (status.st_mode & 077) == 0;
}

std::string privateFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && isPrivateFolder(runtime)) return runtime;
    // Without a runtime folder of our own (su, some remote sessions): a folder under this
    // user's cache that only this user may enter, never a name in /tmp that anyone can take.
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    std::string base = cache && *cache ? cache : home && *home ? std::string(home) + "/.cache" : "";
    if (base.empty()) return "";
    mkdir(base.c_str(), 0700);
    std::string folder = base + "/tsunagi";
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return "";
    if (!isPrivateFolder(folder)) {
        // Ours but open to others (made by hand): closed; anyone else's: not used.
        struct stat status {};
        if (lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
            status.st_uid != getuid() || chmod(folder.c_str(), 0700) != 0)
            return "";
    }
    return folder;
}

std::string defaultLockPath() {
    std::string folder = privateFolder();
    if (folder.empty()) return "";
    return folder + "/tsunagi-" + std::to_string(getuid()) + ".lock";
}

}  // namespace tsunagi
