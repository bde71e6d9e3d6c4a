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

std::optional<std::string> phoneDigits(std::string_view number) {
    size_t start = number.find_first_not_of(" \t");
    if (start == std::string_view::npos) return std::nullopt;
    number.remove_prefix(start);
    bool international = !number.empty() && number.front() == '+';
    if (international) number.remove_prefix(1);
    std::string digits;
    for (char c : number) {
        if (c >= '0' && c <= '9')
            digits += c;
        else if (c != '-' && c != ' ' && c != '.' && c != '(' && c != ')' && c != '\t')
            return std::nullopt;
    }
    if (international) {
        if (digits.compare(0, 2, "81") == 0) {
            digits.erase(0, 2);
            if (digits.empty() || digits.front() != '0') digits.insert(0, "0");
        } else {
            digits.insert(0, "010");
        }
    }
    if (digits.empty() || digits.size() >= 24) return std::nullopt;
    return digits;
}

bool IsMailAddress(std::string_view address) {
    // \w is ASCII only here, as in the script engine the pattern was written for.
    static const std::regex pattern(R"(^([\w\.\-]+)@([\w_\-]+)\.([\w_\.\-]*)[a-z][a-z]$)",
                                    std::regex::ECMAScript | std::regex::icase);
    return std::regex_match(address.begin(), address.end(), pattern);
}

}  // namespace tsunagi
