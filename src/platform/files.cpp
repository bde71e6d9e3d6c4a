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
    int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return;
    }
    fd_ = fd;
}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) close(fd_);
}

std::string defaultLockPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = runtime && *runtime ? runtime : "/tmp";
    return folder + "/tsunagi-" + std::to_string(getuid()) + ".lock";
}

}  // namespace tsunagi
