#pragma once

// The few facts about the file system that the program asks for.

#include <string>
#include <vector>

namespace tsunagi {

// The folder of the running executable, without a trailing separator.
std::string programFolder();

bool folderExists(const std::string& path);

// A whole file's bytes; throws TsunagiError naming the file when it cannot be read.
std::string readFileBytes(const std::string& path);
bool fileExists(const std::string& path);

// The names in a folder that are folders themselves, sorted by name; empty when unreadable.
std::vector<std::string> subfolders(const std::string& path);

// Holds a lock for as long as it lives, so that a second start of the program can tell that
// one already runs. The lock goes with the process, also when it is killed.
class SingleInstanceLock {
  public:
    explicit SingleInstanceLock(const std::string& lockPath);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // True while this program holds the lock, and also where the lock is another user's (or
    // there is no private place for one): nothing then says that another of ours runs.
    bool acquired() const { return fd_ >= 0 || untrusted_; }

  private:
    int fd_ = -1;
    bool untrusted_ = false;
};

// A folder only this user may enter: $XDG_RUNTIME_DIR when it is so, else one made with mode
// 0700 under the user's cache; "" when there is none.
std::string privateFolder();
// Where this user's lock for the program lives, in the private folder ("" when there is none).
std::string defaultLockPath();

}  // namespace tsunagi
