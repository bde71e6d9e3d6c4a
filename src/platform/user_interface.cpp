#include "platform/user_interface.h"

#include <algorithm>
#include <cctype>

#include "platform/text.h"

namespace tsunagi {

std::vector<FileFilter> filtersFromText(const std::string& text) {
    std::vector<std::string> parts = splitAll(text, "|");
    std::vector<FileFilter> filters;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string name = trimBlanks(pieceAt(parts[i], "(", 0));
        if (name.empty()) continue;
        std::string pattern = parts[i + 1];
        std::string extension = pattern.substr(std::min(pattern.size(), pattern.find('.') + 1));
        std::string lower = extension, upper = extension;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        filters.push_back({name, {lower, upper}});
    }
    return filters;
}

}  // namespace tsunagi
