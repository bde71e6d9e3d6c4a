#pragma once

// "ファイルを開く": asks for a file, starting on the memory card when one is there, and adds
// what the file holds to the store.

#include <string>

#include "commands/command_context.h"
#include "commands/file_kinds.h"
#include "import/import.h"
#include "import/vcf_import.h"
#include "store/store.h"

namespace tsunagi {

// Imports one file of the given kind (one that opens: the phone's cards, an address book or a
// workbook), all or nothing; the number of cards added. What there is to say about the file
// beyond that goes into `report`.
long importFile(const Store& store, const std::string& path, FileKind kind,
                const ImportProgress& progress = {}, ImportReport* report = nullptr,
                const KeepCompleteCards& keepComplete = {});

// Imports each file in turn, each all or nothing, and says in one message at the end what
// there is to say (failures name their file and line, and leave the store as it was). A file
// that ends inside its last card asks whether the whole cards before it are kept. With
// `sayUnknown`, a file of no kind the program opens is named too. Returns the cards added.
long openFiles(const CommandContext& context, const std::vector<std::string>& paths,
               const ImportProgress& progress = {}, bool sayUnknown = true);

// The whole command: the open dialog, where several files may be chosen, then openFiles.
// Returns the number of cards added (0 when nothing was).
long runOpenCommand(const CommandContext& context, const ImportProgress& progress = {});

}  // namespace tsunagi
