#include "commands/file_request.h"

#include "card/memory_card_folder.h"

namespace tsunagi {

std::vector<FileFilter> openFilters(bool workbooks) {
    std::vector<FileFilter> filters = fileFilters(openDialogKinds(workbooks));
    // Every kind at once comes first, so that several files of different kinds can be chosen.
    FileFilter all{"対応するすべてのファイル", {}, std::nullopt};
    for (const FileFilter& filter : filters)
        all.extensions.insert(all.extensions.end(), filter.extensions.begin(),
                              filter.extensions.end());
    filters.insert(filters.begin(), all);
    return filters;
}

std::vector<FileFilter> fileFilters(const std::vector<FileKind>& kinds) {
    std::vector<FileFilter> filters;
    for (FileKind kind : kinds) {
        const FileKindInfo& info = fileKindInfo(kind);
        filters.push_back({info.filterName, info.extensions, kind});
    }
    return filters;
}

std::string dialogStartFolder(const CommandContext& context) {
    std::string card = FindCardFolder(context.cardRoots);
    if (!card.empty()) return card;
    if (context.lastFolder && !context.lastFolder->empty()) return *context.lastFolder;
    if (!context.backupFolder.empty()) return context.backupFolder;
    return context.programFolder + "/backup/";
}

FileRequest fileRequest(const CommandContext& context, const std::string& title,
                        std::vector<FileFilter> filters) {
    FileRequest request;
    request.title = title;
    request.startFolder = dialogStartFolder(context);
    request.filters = std::move(filters);
    return request;
}

void rememberFolderOf(const CommandContext& context, const std::string& path) {
    if (!context.lastFolder) return;
    size_t slash = path.rfind('/');
    if (slash != std::string::npos) *context.lastFolder = path.substr(0, slash + 1);
}

}  // namespace tsunagi
