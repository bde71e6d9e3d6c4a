#pragma once

// "ファイルを開く": asks for a file, starting on the memory card when one is there, and adds
// what the file holds to the store.

#include <string>

#include "commands/command_context.h"
#include "commands/file_kinds.h"
#include "import/import.h"
#include "store/store.h"

namespace tsunagi {

// Imports one file of the given kind (one that opens: the phone's cards, an address book or a
// workbook), all or nothing; the number of cards added. What there is to say about the file
// beyond that goes into `report`.
long importFile(const Store& store, const std::string& path, FileKind kind,
                const ImportProgress& progress = {}, ImportReport* report = nullptr);

// The whole command. A failure is shown to the user and leaves the store as it was.
// Returns the number of cards added (0 when nothing was).
long runOpenCommand(const CommandContext& context, const ImportProgress& progress = {});

}  // namespace tsunagi
