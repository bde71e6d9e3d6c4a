#include "platform/file_request.h"

#include "platform/card_folder.h"

namespace tsunagi {

std::vector<FileFilter> fileFilters(const std::string& text) {
    std::vector<FileFilter> filters = filtersFromText(text);
    // The workbook engine reads and writes both kinds of workbook.
    for (FileFilter& filter : filters)
        if (filter.name == "XLS")
            filter.extensions.insert(filter.extensions.end(), {"xlsx", "XLSX"});
    return filters;
}

std::string dialogStartFolder(const CommandContext& context) {
    std::string card = FindCardFolder(context.cardRoots);
    if (!card.empty()) return card;
    if (!context.backupFolder.empty()) return context.backupFolder;
    return context.programFolder + "/backup/";
}

FileRequest fileRequest(const CommandContext& context, const std::string& title,
                        const std::string& filterText) {
    FileRequest request;
    request.title = title;
    request.startFolder = dialogStartFolder(context);
    request.filters = fileFilters(filterText + context.xlsFilterPart);
    return request;
}

}  // namespace tsunagi
