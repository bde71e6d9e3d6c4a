#pragma once

// The file dialogs of the open and save commands: where they start and what they offer.

#include <string>
#include <vector>

#include "commands/command_context.h"
#include "commands/user_interface.h"

namespace tsunagi {

// The dialog's filters for these kinds, in their order.
std::vector<FileFilter> fileFilters(const std::vector<FileKind>& kinds);
// The open dialog's: every kind it takes first, then each kind.
std::vector<FileFilter> openFilters(bool workbooks);

// The folder the file dialogs start in: the card folder, else the folder last used in this
// run, else the program's backup/.
std::string dialogStartFolder(const CommandContext& context);

// A file dialog of the open and save commands: its title, start folder and filters.
FileRequest fileRequest(const CommandContext& context, const std::string& title,
                        std::vector<FileFilter> filters);

// Remembers the folder of a chosen file for the next dialog.
void rememberFolderOf(const CommandContext& context, const std::string& path);

}  // namespace tsunagi
