#include "platform/card_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/files.h"

namespace tsunagi {

std::vector<std::string> defaultCardRoots() {
    std::string user;
    if (const char* name = std::getenv("USER"); name && *name)
        user = name;
    else if (const passwd* entry = getpwuid(getuid()))
        user = entry->pw_name;
    std::vector<std::string> roots;
    if (!user.empty()) {
        roots.push_back("/media/" + user);
        roots.push_back("/run/media/" + user);
    }
    roots.push_back("/media");
    roots.push_back("/mnt");
    return roots;
}

std::string FindCardFolder(const std::vector<std::string>& roots) {
    for (const std::string& root : roots) {
        for (const std::string& volume : subfolders(root)) {
            std::string folder = root + "/" + volume + "/" + kCardBackupFolder;
            if (folderExists(folder)) return folder;
        }
    }
    return "";
}

}  // namespace tsunagi
