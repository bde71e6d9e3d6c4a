#include "import/open_command.h"

#include "import/card_folder.h"
#include "import/csv_import.h"
#include "import/excel_import.h"
#include "import/vcf_import.h"
#include "platform/text.h"

namespace tsunagi {

ImportKind importKindFor(const std::string& name) {
    if (contains(name, ".vcf") || contains(name, ".VCF")) return ImportKind::Vcf;
    if (contains(name, ".csv") || contains(name, ".CSV")) return ImportKind::Csv;
    if (contains(name, ".xls") || contains(name, ".XLS")) return ImportKind::Xls;
    return ImportKind::Unknown;
}

long importFile(const Store& store, const std::string& path, ImportKind kind,
                const ImportProgress& progress) {
    switch (kind) {
        case ImportKind::Vcf:
            return importVcfFile(store, path, progress);
        case ImportKind::Csv:
            return ImportCsvBook(store, path, progress);
        case ImportKind::Xls:
            return ImportExcelBook(store, path, progress);
        case ImportKind::Unknown:
            break;
    }
    throw TsunagiError(path, 0, "読み込めるファイルの種類ではありません（.vcf、.csv、.xls）。");
}

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

void runOpenCommand(const CommandContext& context, const ImportProgress& progress) {
    std::optional<std::string> chosen =
        context.ui.chooseFileToOpen(fileRequest(context, "ファイルを開く", kOpenFilterText));
    if (!chosen) return;

    ImportKind kind = importKindFor(*chosen);
    if (kind == ImportKind::Unknown) return;
    if (kind == ImportKind::Xls && trimBlanks(context.xlsFilterPart).empty()) return;
    try {
        importFile(context.store, *chosen, kind, progress);
    } catch (const ImportCancelled&) {
        // The user stopped it; the store is as it was, and that needs no message.
    } catch (const TsunagiError& error) {
        context.ui.showMessage(
            "読み込みに失敗しました。このファイルのデータは追加していません。\n" +
            std::string(error.what()));
    }
}

}  // namespace tsunagi
