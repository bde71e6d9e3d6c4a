#pragma once

// "データの保存": asks for a file name, starting on the memory card when one is there, and
// writes every entry to it in the kind its name (or, for today's phones, its filter) asks for.

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "commands/command_context.h"
#include "commands/file_kinds.h"
#include "store/store.h"

namespace tsunagi {

// Today's date as eight digits, yyyymmdd.
std::string proposedSaveName(const std::tm& now);

// The kind a save dialog's answer asks for: the filters for today's phones by themselves, else
// the name's kind; a name of no kind gets the selected filter's extension first, as save
// dialogs do. None when neither says anything.
std::optional<FileKind> saveKindForChoice(std::string& path, std::optional<FileKind> filter);

struct ExportTarget {
    std::string path;
    FileKind kind;
};

// Writes the whole store to every target, each into a file of its own beside it, and puts them
// in place only when every one was written: a failure leaves all of them as they were. Returns
// for each target what the user should hear about it (characters that CP932 could not hold,
// numbers the phone cannot dial; "" when nothing).
std::vector<std::string> exportToFiles(const Store& store, const std::string& programFolder,
                                       const std::vector<ExportTarget>& targets);
// The same for one file.
std::string exportToFile(const Store& store, const std::string& programFolder,
                         const std::string& path, FileKind kind);

// The whole command; failures are shown to the user and leave earlier files untouched. True
// when a file was written.
// `leftOut`, when given, says whether the file holds less than the entries do (the save's
// message named what it did not write).
bool runSaveCommand(const CommandContext& context, bool* leftOut = nullptr);

}  // namespace tsunagi
