#pragma once

// What the open and save commands need from the program around them.

#include <string>
#include <vector>

#include "platform/user_interface.h"

namespace tsunagi {

class Store;

struct CommandContext {
    const Store& store;
    UserInterface& ui;
    std::string programFolder;           // the shipped files: the workbook template, the help
    std::string backupFolder;            // where dialogs start when no memory card is found
    std::string xlsFilterPart;           // empty when workbooks are not offered
    std::vector<std::string> cardRoots;  // where memory cards are looked for
};

}  // namespace tsunagi
