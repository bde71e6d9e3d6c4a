#include "export/save_command.h"

#include "export/excel_writer.h"
#include "export/writers.h"
#include "platform/error.h"
#include "platform/file_request.h"
#include "platform/text.h"

namespace tsunagi {

ExportKind exportKindFor(const std::string& path) {
    if (contains(path, ".csv") || contains(path, ".CSV")) return ExportKind::Csv;
    if (contains(path, ".vcf") || contains(path, ".VCF")) return ExportKind::Vcf;
    if (contains(path, ".xls") || contains(path, ".XLS")) return ExportKind::Xls;
    if (contains(path, ".html") || contains(path, ".HTML")) return ExportKind::Html;
    return ExportKind::Unknown;
}

std::string proposedSaveName(const std::tm& now) {
    char text[16];
    std::strftime(text, sizeof text, "%Y%m%d", &now);
    return text;
}

std::string exportToFile(const Store& store, const std::string& programFolder,
                         const std::string& path, ExportKind kind) {
    if (kind == ExportKind::Xls) {
        WriteExcelBook(store, programFolder, path);
        return "";
    }
    Cp932File file(path);
    switch (kind) {
        case ExportKind::Csv:
            writeCsvBook(store, file);
            break;
        case ExportKind::Vcf:
            writeVcfFile(store, file);
            break;
        case ExportKind::Html:
            WriteHtmlList(store, file);
            break;
        default:
            throw TsunagiError(
                path, 0, "書き出せるファイルの種類ではありません（.csv、.vcf、.xls、.html）。");
    }
    file.commit();
    return describeReplacements(file.replacements());
}

void runSaveCommand(const CommandContext& context) {
    FileRequest request = fileRequest(context, "ファイルへ保存", kSaveFilterText);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    request.proposedName = proposedSaveName(local);
    std::optional<std::string> chosen = context.ui.chooseFileToSave(request);
    if (!chosen) return;

    ExportKind kind = exportKindFor(*chosen);
    if (kind == ExportKind::Unknown) return;
    if (kind == ExportKind::Xls && trimBlanks(context.xlsFilterPart).empty()) return;
    try {
        std::string note = exportToFile(context.store, context.programFolder, *chosen, kind);
        if (!note.empty()) context.ui.showMessage(*chosen + "\n" + note);
    } catch (const TsunagiError& error) {
        context.ui.showMessage("保存に失敗しました。\n" + std::string(error.what()));
    }
}

}  // namespace tsunagi
