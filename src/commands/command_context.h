#pragma once

// What the open and save commands need from the program around them.

#include <map>
#include <string>
#include <vector>

#include "commands/user_interface.h"
#include "import/csv_import.h"
#include "store/store.h"

namespace tsunagi {

struct CommandContext {
    const Store& store;
    UserInterface& ui;
    std::string programFolder;           // the shipped files: the workbook template, the help
    std::string backupFolder;            // where dialogs start when no memory card is found
    bool workbooksOffered = false;       // whether the dialogs offer workbooks
    std::vector<std::string> cardRoots;  // where memory cards are looked for
    // The folder a file dialog was last answered in during this run; kept by the program, set
    // by the commands. Empty before the first.
    std::string* lastFolder = nullptr;
    std::optional<FileKind>* lastSaveKind = nullptr;  // the save filter chosen last in this run
    // The columns the user assigned in this run, by the file's headings (joined with tabs), to
    // be offered again for a file with the same headings.
    std::map<std::string, CsvAssignment>* columnChoices = nullptr;
};

}  // namespace tsunagi
