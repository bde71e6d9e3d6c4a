#include "commands/open_command.h"

#include "commands/file_request.h"
#include "import/csv_import.h"
#include "import/excel_import.h"
#include "import/vcf_import.h"
#include "platform/error.h"

namespace tsunagi {

long importFile(const Store& store, const std::string& path, FileKind kind,
                const ImportProgress& progress, ImportReport* report) {
    switch (kind) {
        case FileKind::PhoneCards:
            return importVcfFile(store, path, progress, report);
        case FileKind::AddressBook:
            return ImportCsvBook(store, path, progress, report);
        case FileKind::Workbook:
            return ImportExcelBook(store, path, progress);
        default:
            break;
    }
    throw TsunagiError(path, 0, "読み込めるファイルの種類ではありません（.vcf、.csv、.xls）。");
}

long runOpenCommand(const CommandContext& context, const ImportProgress& progress) {
    std::optional<std::string> chosen = context.ui.chooseFileToOpen(
        fileRequest(context, "ファイルを開く", openDialogKinds(context.workbooksOffered)));
    if (!chosen) return 0;

    std::optional<FileKind> kind = openKindForName(*chosen);
    if (!kind) return 0;
    if (kind == FileKind::Workbook && !context.workbooksOffered) return 0;
    try {
        ImportReport report;
        long added = importFile(context.store, *chosen, *kind, progress, &report);
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
