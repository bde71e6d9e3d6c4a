#pragma once

// What the open and save commands need from the program around them.

#include <string>
#include <vector>

#include "commands/user_interface.h"
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
};

}  // namespace tsunagi
