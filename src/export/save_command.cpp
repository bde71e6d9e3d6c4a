#include "export/save_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "export/excel_writer.h"
#include "export/writers.h"
#include "platform/error.h"
#include "platform/file_request.h"
#include "platform/signal_cleanup.h"
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

ExportKind exportKindForChoice(std::string& path, const std::string& filter) {
    struct FilterKind {
        const char* filter;
        const char* extension;
        ExportKind kind;
    };
    static const FilterKind kFilters[] = {
        {"vCard 3.0 スマートフォン用", ".vcf", ExportKind::Vcard3},
        {"Google 連絡先 CSV", ".csv", ExportKind::GoogleCsv},
        {"HTML", ".html", ExportKind::Html},
        {"CSV", ".csv", ExportKind::Csv},
        {"VCF", ".vcf", ExportKind::Vcf},
        {"XLS", ".xls", ExportKind::Xls},
    };
    const FilterKind* selected = nullptr;
    for (const FilterKind& candidate : kFilters)
        if (filter == candidate.filter) selected = &candidate;
    ExportKind byName = exportKindFor(path);
    if (byName == ExportKind::Unknown && selected) {
        path += selected->extension;
        byName = exportKindFor(path);
    }
    if (selected &&
        (selected->kind == ExportKind::Vcard3 || selected->kind == ExportKind::GoogleCsv))
        return selected->kind;
    return byName;
}

std::string exportToFile(const Store& store, const std::string& programFolder,
                         const std::string& path, ExportKind kind) {
    if (kind == ExportKind::Xls) {
        WriteExcelBook(store, programFolder, path);
        return "";
    }
    if (kind == ExportKind::Vcard3 || kind == ExportKind::GoogleCsv) {
        Utf8File file(path);
        if (kind == ExportKind::Vcard3)
            writeVcard3(store, file);
        else
            writeGoogleCsv(store, file);
        file.commit();
        return "";
    }
    Cp932File file(path);
    long numbersLeftOut = 0;
    switch (kind) {
        case ExportKind::Csv:
            writeCsvBook(store, file);
            break;
        case ExportKind::Vcf:
            numbersLeftOut = writeVcfFile(store, file);
            break;
        case ExportKind::Html:
            WriteHtmlList(store, file);
            break;
        default:
            throw TsunagiError(
                path, 0, "書き出せるファイルの種類ではありません（.csv、.vcf、.xls、.html）。");
    }
    file.commit();
    std::string note = describeReplacements(file.replacements());
    if (numbersLeftOut > 0) {
        if (!note.empty()) note += "\n";
        note += "電話番号 " + std::to_string(numbersLeftOut) +
                " 件は、電話機で使えない形（数字以外の文字がある、または 24 桁以上）のため"
                "書き出していません。";
    }
    return note;
}

namespace {

// A file of our own beside `target`, with its extension, since the writers go by the name.
std::string stagingFileBeside(const std::string& target) {
    size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? "./" : target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    std::string pattern = folder + ".tsunagi-XXXXXX" + extension;
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = mkstemps(buffer.data(), static_cast<int>(extension.size()));
    if (fd < 0)
        throw TsunagiError(target, 0, "ファイルを作成できません（" + systemReason(errno) + "）。");
    close(fd);
    removeOnSignal(buffer.data());
    return buffer.data();
}

// Where a save of `path` lands: through a link, the file it points to.
std::string landingPath(const std::string& path) {
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        std::string landing = resolved;
        std::free(resolved);
        struct stat existing;
        if (stat(landing.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode))
            throw TsunagiError(landing, 0, "ファイルではないため、ここには保存できません。");
        return landing;
    }
    return path;
}

}  // namespace

std::vector<std::string> exportToFiles(const Store& store, const std::string& programFolder,
                                       const std::vector<ExportTarget>& targets) {
    std::vector<std::string> landings, stages, notes;
    auto removeStages = [&] {
        for (const std::string& stage : stages) {
            unlink(stage.c_str());
            forgetOnSignal(stage);
        }
    };
    try {
        for (const ExportTarget& target : targets) {
            landings.push_back(landingPath(target.path));
            stages.push_back(stagingFileBeside(landings.back()));
            try {
                notes.push_back(exportToFile(store, programFolder, stages.back(), target.kind));
            } catch (const TsunagiError& error) {
                // Name the file the user asked for, not the staging file.
                throw TsunagiError(target.path, error.line(), error.reason());
            }
        }
        for (size_t i = 0; i < targets.size(); ++i) {
            if (std::rename(stages[i].c_str(), landings[i].c_str()) != 0)
                throw TsunagiError(targets[i].path, 0,
                                   "ファイルを置き換えられません（" + systemReason(errno) + "）。");
            forgetOnSignal(stages[i]);
        }
    } catch (...) {
        removeStages();
        throw;
    }
    return notes;
}

bool runSaveCommand(const CommandContext& context) {
    FileRequest request = fileRequest(context, "ファイルへ保存", kSaveFilterText);
    request.filters = fileFilters(kSaveFilterText + context.xlsFilterPart + kSmartphoneFilterText);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    request.proposedName = proposedSaveName(local);
    std::optional<SaveChoice> chosen = context.ui.chooseFileToSave(request);
    if (!chosen) return false;

    std::string path = chosen->path;
    ExportKind kind = exportKindForChoice(path, chosen->filter);
    if (kind == ExportKind::Unknown) return false;
    if (kind == ExportKind::Xls && trimBlanks(context.xlsFilterPart).empty()) return false;
    try {
        std::string note = exportToFile(context.store, context.programFolder, path, kind);
        if (!note.empty()) context.ui.showMessage(path + "\n" + note);
        return true;
    } catch (const std::exception& error) {
        context.ui.showMessage("保存に失敗しました。\n" + describeFailure(error));
    }
    return false;
}

}  // namespace tsunagi
