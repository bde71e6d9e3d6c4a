#pragma once

// "データの保存": asks for a file name, starting on the memory card when one is there, and
// writes every entry to it in the kind its name asks for.

#include <ctime>
#include <string>
#include <vector>

#include "platform/command_context.h"
#include "store/store.h"

namespace tsunagi {

enum class ExportKind { Unknown, Csv, Vcf, Xls, Html, Vcard3, GoogleCsv };

// The kind a path asks for: it contains ".csv"/".CSV", ".vcf"/".VCF", ".xls"/".XLS" or
// ".html"/".HTML" anywhere, tested in that order, case-sensitively.
ExportKind exportKindFor(const std::string& path);

// Today's date as eight digits, yyyymmdd.
std::string proposedSaveName(const std::tm& now);

inline constexpr const char* kSaveFilterText =
    "HTML (*.HTML)|*.html|CSV (*.CSV)|*.csv|VCF (*.VCF)|*.vcf";
// After the others (the workbook's included): the exports for today's phones and services,
// chosen by their filter whatever the name.
inline constexpr const char* kSmartphoneFilterText =
    "|vCard 3.0 スマートフォン用 (*.vcf)|*.vcf|Google 連絡先 CSV (*.csv)|*.csv";

// The kind a save dialog's answer asks for: the smartphone filters by themselves, else the
// name's kind; a name of no kind gets the selected filter's extension first, as save dialogs
// do. Unknown when neither says anything.
ExportKind exportKindForChoice(std::string& path, const std::string& filter);

// Writes the whole store to `path`, replacing it only when everything was written. Returns
// what the user should hear about characters that CP932 could not hold ("" when none).
std::string exportToFile(const Store& store, const std::string& programFolder,
                         const std::string& path, ExportKind kind);

// Writes the whole store to every path, each in the kind its name asks for, and replaces them
// only when every one was written: a failure leaves all of them as they were. Returns the
// notes of exportToFile, one per path.
struct ExportTarget {
    std::string path;
    ExportKind kind;
};
std::vector<std::string> exportToFiles(const Store& store, const std::string& programFolder,
                                       const std::vector<ExportTarget>& targets);

// The whole command; failures are shown to the user and leave earlier files untouched. True
// when a file was written.
bool runSaveCommand(const CommandContext& context);

}  // namespace tsunagi
