#include "platform/install_layout.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/text_file.h"

namespace tsunagi {

namespace {

constexpr const char* kStoreFile = "/database/keitai.mdb";

bool writable(const std::string& path) { return access(path.c_str(), W_OK) == 0; }

std::string homeDataFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/') return std::string(data) + "/tsunagi";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/tsunagi";
}

}  // namespace

ProgramFiles programFiles(const std::string& executableFolder) {
    if (fileExists(executableFolder + kStoreFile))
        return {executableFolder, executableFolder + "/tsunagi-xlsread",
                executableFolder + "/tsunagi-sync", false};
    std::string prefix = executableFolder + "/..";
    return {prefix + "/share/tsunagi", prefix + "/libexec/tsunagi/tsunagi-xlsread",
            prefix + "/libexec/tsunagi/tsunagi-sync", true};
}

std::string syncStateFolder() { return homeDataFolder() + "/carddav"; }

std::string userDataFolder(const ProgramFiles& files) {
    const std::string& shippedFolder = files.shipped;
    std::string shippedStore = shippedFolder + kStoreFile;
    // SQLite writes its journal beside the store, so the folder must be writable too.
    if (!files.installed && writable(shippedStore) && writable(shippedFolder + "/database")) {
        std::error_code ignored;
        std::filesystem::create_directories(shippedFolder + "/backup", ignored);
        return shippedFolder;
    }
    std::string folder = homeDataFolder();
    std::error_code error;
    std::filesystem::create_directories(folder + "/database", error);
    if (!error) std::filesystem::create_directories(folder + "/backup", error);
    if (error)
        throw TsunagiError(folder, 0,
                           "データのフォルダを作れません（" + systemReason(error.value()) + "）。");
    if (!fileExists(folder + kStoreFile)) {
        // A copy of the shipped store, in place only once it is whole.
        std::string bytes = readFileBytes(shippedStore);
        AtomicFile store(folder + kStoreFile);
        store.writeBytes(bytes);
        store.commit();
    }
    return folder;
}

}  // namespace tsunagi
