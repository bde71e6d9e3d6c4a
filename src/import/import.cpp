#include "import/import.h"

namespace tsunagi {

CardWriter::CardWriter(const Store& store, const std::string& file, const ImportProgress& progress)
    : connection_(store.open()),
      transaction_(connection_),
      inserter_(connection_),
      reporter_(progress, file) {}

void CardWriter::add(std::span<const std::string> columns) {
    inserter_.insert(columns);
    reporter_.card();
}

long CardWriter::commit() {
    transaction_.commit();
    return reporter_.cards();
}

void rethrowAt(const TsunagiError& error, const std::string& file, long line) {
    if (dynamic_cast<const ImportCancelled*>(&error)) throw ImportCancelled(file);
    throw error.inFile(file, line);
}

}  // namespace tsunagi
