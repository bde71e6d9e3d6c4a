#include "commands/open_command.h"

#include "commands/file_request.h"
#include "import/csv_import.h"
#include "import/excel_import.h"
#include "import/vcf_import.h"
#include "platform/error.h"

namespace tsunagi {

long importFile(const Store& store, const std::string& path, FileKind kind,
                const ImportProgress& progress, ImportReport* report,
                const KeepCompleteCards& keepComplete) {
    switch (kind) {
        case FileKind::PhoneCards:
            return importVcfFile(store, path, progress, report, keepComplete);
        case FileKind::AddressBook:
            return ImportCsvBook(store, path, progress, report);
        case FileKind::Workbook:
            return ImportExcelBook(store, path, progress);
        default:
            break;
    }
    throw TsunagiError(path, 0, "読み込めるファイルの種類ではありません（.vcf、.csv、.xls）。");
}

long openFiles(const CommandContext& context, const std::vector<std::string>& paths,
               const ImportProgress& progress, bool sayUnknown) {
    std::vector<std::string> messages;
    long added = 0;
    for (const std::string& path : paths) {
        std::optional<FileKind> kind = openKindForName(path);
        if (!kind || (kind == FileKind::Workbook && !context.workbooksOffered)) {
            if (sayUnknown)
                messages.push_back(path +
                                   "\n読み込めるファイルの種類ではありません"
                                   "（.vcf、.csv、.xls）。");
            continue;
        }
        rememberFolderOf(context, path);
        try {
            ImportReport report;
            // An address book whose headings say nothing of who is in it: the user says what
            // its columns hold before anything is stored.
            std::optional<CsvAssignment> assignment;
            if (kind == FileKind::AddressBook) {
                CsvColumnsPreview preview = previewCsvColumns(path);
                if (preview.needsChoice) {
                    std::string headings;
                    for (const std::string& heading : preview.headings) headings += heading + '\t';
                    // A file of the same headings is offered the choice made before.
                    if (context.columnChoices)
                        if (auto earlier = context.columnChoices->find(headings);
                            earlier != context.columnChoices->end())
                            for (size_t p = 0;
                                 p < preview.guesses.size() && p < earlier->second.size(); ++p)
                                preview.guesses[p] = earlier->second[p].field;
                    assignment = context.ui.chooseColumns(path, preview);
                    if (assignment && context.columnChoices)
                        (*context.columnChoices)[headings] = *assignment;
                    // What the user left as guessed stays as the headings read it (a label's
                    // column with its number, a reading's part): only the changes apply.
                    // Without headings every column is as the user chose it.
                    if (assignment && !assignment->firstRowIsData) {
                        CsvAssignment changed;
                        for (size_t p = 0; p < assignment->size(); ++p)
                            if (p >= preview.read.size() ||
                                (*assignment)[p].field != preview.read[p])
                                changed.push_back((*assignment)[p]);
                        assignment = std::move(changed);
                    }
                    if (!assignment) {
                        messages.push_back(path +
                                           "\n列の指定を取りやめたため、読み込んでいません。");
                        continue;
                    }
                }
            }
            if (assignment)
                added += ImportCsvBook(context.store, path, progress, &report, &*assignment);
            else
                added += importFile(context.store, path, *kind, progress, &report, [&](long whole) {
                    return context.ui.ask(path + "\n最後のデータが途中で切れています。完全な " +
                                              std::to_string(whole) + " 件だけ読み込みますか？",
                                          "読み込む", "読み込まない");
                });
            if (std::string note = report.note(); !note.empty())
                messages.push_back(path + "\n" + note);
        } catch (const ImportCancelled&) {
            messages.push_back(
                path + "\n読み込みを中止しました。このファイルのデータは追加していません。");
            break;  // a cancel stops the files after it too
        } catch (const std::exception& error) {
            // Ours, and also running out of memory on a hostile file: the store is as it was.
            messages.push_back(
                "読み込みに失敗しました。このファイルのデータは追加していません。\n" +
                describeFailure(error));
        }
    }
    if (!messages.empty()) {
        std::string text;
        for (const std::string& message : messages) text += (text.empty() ? "" : "\n\n") + message;
        context.ui.showMessage(text);
    }
    return added;
}

long runOpenCommand(const CommandContext& context, const ImportProgress& progress) {
    std::vector<std::string> chosen = context.ui.chooseFilesToOpen(
        fileRequest(context, "ファイルを開く", openFilters(context.workbooksOffered)));
    // A name the dialog let through that asks for no kind is passed over, as it always was.
    return openFiles(context, chosen, progress, false);
}

}  // namespace tsunagi
