#include "card/checks.h"

#include <regex>
#include <string>

namespace tsunagi {

std::optional<bool> IsAllDigits(std::string_view value) {
    if (value.empty()) return std::nullopt;
    for (char c : value)
        if (c < '0' || c > '9') return false;
    return true;
}

bool IsMailAddress(std::string_view address) {
    // \w is ASCII only here, as in the script engine the pattern was written for.
    static const std::regex pattern(R"(^([\w\.\-]+)@([\w_\-]+)\.([\w_\.\-]*)[a-z][a-z]$)",
                                    std::regex::ECMAScript | std::regex::icase);
    return std::regex_match(address.begin(), address.end(), pattern);
}

}  // namespace tsunagi
