#include "import/open_command.h"

#include "import/csv_import.h"
#include "import/excel_import.h"
#include "import/vcf_import.h"
#include "platform/file_request.h"
#include "platform/text.h"

namespace tsunagi {

ImportKind importKindFor(const std::string& name) {
    if (contains(name, ".vcf") || contains(name, ".VCF")) return ImportKind::Vcf;
    if (contains(name, ".csv") || contains(name, ".CSV")) return ImportKind::Csv;
    if (contains(name, ".xls") || contains(name, ".XLS")) return ImportKind::Xls;
    return ImportKind::Unknown;
}

long importFile(const Store& store, const std::string& path, ImportKind kind,
                const ImportProgress& progress, ImportReport* report) {
    switch (kind) {
        case ImportKind::Vcf:
            return importVcfFile(store, path, progress, report);
        case ImportKind::Csv:
            return ImportCsvBook(store, path, progress);
        case ImportKind::Xls:
            return ImportExcelBook(store, path, progress);
        case ImportKind::Unknown:
            break;
    }
    throw TsunagiError(path, 0, "読み込めるファイルの種類ではありません（.vcf、.csv、.xls）。");
}

long runOpenCommand(const CommandContext& context, const ImportProgress& progress) {
    std::optional<std::string> chosen =
        context.ui.chooseFileToOpen(fileRequest(context, "ファイルを開く", kOpenFilterText));
    if (!chosen) return 0;

    ImportKind kind = importKindFor(*chosen);
    if (kind == ImportKind::Unknown) return 0;
    if (kind == ImportKind::Xls && trimBlanks(context.xlsFilterPart).empty()) return 0;
    try {
        ImportReport report;
        long added = importFile(context.store, *chosen, kind, progress, &report);
        if (std::string note = report.note(); !note.empty())
            context.ui.showMessage(*chosen + "\n" + note);
        return added;
    } catch (const ImportCancelled&) {
        context.ui.showMessage(
            *chosen + "\n読み込みを中止しました。このファイルのデータは追加していません。");
    } catch (const std::exception& error) {
        // Ours, and also running out of memory on a hostile file: the store is as it was.
        context.ui.showMessage(
            "読み込みに失敗しました。このファイルのデータは追加していません。\n" +
            describeFailure(error));
    }
    return 0;
}

}  // namespace tsunagi
