#include "commands/file_request.h"

#include "card/memory_card_folder.h"

namespace tsunagi {

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
    if (!context.backupFolder.empty()) return context.backupFolder;
    return context.programFolder + "/backup/";
}

FileRequest fileRequest(const CommandContext& context, const std::string& title,
                        const std::vector<FileKind>& kinds) {
    FileRequest request;
    request.title = title;
    request.startFolder = dialogStartFolder(context);
    request.filters = fileFilters(kinds);
    return request;
}

}  // namespace tsunagi
