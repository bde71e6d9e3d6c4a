#pragma once

// The file dialogs of the open and save commands: where they start and what they offer.

#include <string>
#include <vector>

#include "platform/command_context.h"
#include "platform/user_interface.h"

namespace tsunagi {

// The dialogs' filters from the Windows filter text; the XLS filter takes .xlsx too.
std::vector<FileFilter> fileFilters(const std::string& text);

// The folder the file dialogs start in: the card folder, else the program's backup/.
std::string dialogStartFolder(const CommandContext& context);

// A file dialog of the open and save commands: its title, start folder and filters.
FileRequest fileRequest(const CommandContext& context, const std::string& title,
                        const std::string& filterText);

}  // namespace tsunagi
