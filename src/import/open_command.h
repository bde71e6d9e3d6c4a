#pragma once

// "ファイルを開く": asks for a file, starting on the memory card when one is there, and adds
// what the file holds to the store.

#include <string>

#include "import/import.h"
#include "platform/command_context.h"
#include "store/store.h"

namespace tsunagi {

enum class ImportKind { Unknown, Vcf, Csv, Xls };

// The kind a name asks for: it contains ".vcf"/".VCF", ".csv"/".CSV" or ".xls"/".XLS",
// tested in that order, case-sensitively.
ImportKind importKindFor(const std::string& name);

// Imports one file of the given kind, all or nothing; the number of cards added. What there is
// to say about the file beyond that goes into `report`.
long importFile(const Store& store, const std::string& path, ImportKind kind,
                const ImportProgress& progress = {}, ImportReport* report = nullptr);

inline constexpr const char* kOpenFilterText = "VCF (*.VCF)|*.vcf|CSV (*.CSV)|*.csv";

// The whole command. A failure is shown to the user and leaves the store as it was.
// Returns the number of cards added (0 when nothing was).
long runOpenCommand(const CommandContext& context, const ImportProgress& progress = {});

}  // namespace tsunagi
