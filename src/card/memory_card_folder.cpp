#include "card/memory_card_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/files.h"
#include "platform/text.h"

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

namespace {

// The subfolders of `path` called `name` in any case, in name order.
std::vector<std::string> foldersNamed(const std::string& path, std::string_view name) {
    std::vector<std::string> found;
    for (const std::string& folder : subfolders(path))
        if (equalsIgnoringCase(folder, name)) found.push_back(path + "/" + folder);
    return found;
}

std::string cardFolderOn(const std::string& volume) {
    std::string exact = volume + "/" + kCardBackupFolder;
    if (folderExists(exact)) return exact;
    for (const std::string& privateFolder : foldersNamed(volume, "PRIVATE"))
        for (const std::string& phone : foldersNamed(privateFolder, "SDJPHONE"))
            for (const std::string& utility : subfolders(phone))
                for (const std::string& dial : subfolders(phone + "/" + utility)) {
                    std::vector<std::string> backups =
                        foldersNamed(phone + "/" + utility + "/" + dial, "DIAL.BCK");
                    if (!backups.empty()) return backups.front() + "/";
                }
    return "";
}

}  // namespace

std::string FindCardFolder(const std::vector<std::string>& roots) {
    for (const std::string& root : roots) {
        if (std::string folder = cardFolderOn(root); !folder.empty()) return folder;
        for (const std::string& volume : subfolders(root))
            if (std::string folder = cardFolderOn(root + "/" + volume); !folder.empty())
                return folder;
    }
    return "";
}

}  // namespace tsunagi
