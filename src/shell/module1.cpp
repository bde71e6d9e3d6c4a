#include "shell/module1.h"

namespace tsunagi {

bool workbookEngineBuiltIn() { return true; }

std::string decideXlsFilterPart(const std::function<bool()>& engineBuiltIn) {
    return engineBuiltIn() ? kXlsFilterText : "";
}

}  // namespace tsunagi
