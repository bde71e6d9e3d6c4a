#include "card/checks.h"

#include <regex>
#include <string>

#include "card/unicode.h"
#include "platform/text.h"

namespace tsunagi {

std::optional<bool> IsAllDigits(std::string_view value) {
    if (value.empty()) return std::nullopt;
    for (char c : value)
        if (c < '0' || c > '9') return false;
    return true;
}

namespace {

bool isDigitAt(const std::string& ascii) {
    return !ascii.empty() && ascii.back() >= '0' && ascii.back() <= '9';
}

}  // namespace

std::string asciiNumber(std::string_view number) {
    // Every character it folds is beyond ASCII.
    if (isAscii(number)) return std::string(number);
    std::string ascii;
    ascii.reserve(number.size());
    for (size_t i = 0; i < number.size();) {
        auto [point, length] = codePointAt(number, i);
        char replacement = 0;
        if (point >= U'０' && point <= U'９')
            replacement = static_cast<char>('0' + (point - U'０'));
        else if (point == U'－' || point == U'‐' || point == U'‑' || point == U'–' ||
                 point == U'—' || point == U'−')
            replacement = '-';
        else if (point == U'＋')
            replacement = '+';
        else if (point == U'（')
            replacement = '(';
        else if (point == U'）')
            replacement = ')';
        else if (point == U'．')
            replacement = '.';
        else if (point == U'　')
            replacement = ' ';
        else if (point == U'ー' || point == U'ｰ') {
            // The long-vowel mark stands for a hyphen only between digits.
            auto [following, unused] = i + length < number.size()
                                           ? codePointAt(number, i + length)
                                           : std::pair<char32_t, size_t>{0, 0};
            (void)unused;
            bool digitAfter = (following >= '0' && following <= '9') ||
                              (following >= U'０' && following <= U'９');
            if (isDigitAt(ascii) && digitAfter) replacement = '-';
        }
        if (replacement)
            ascii += replacement;
        else
            ascii.append(number.substr(i, length));
        i += length;
    }
    return ascii;
}

std::optional<std::string> phoneDigits(std::string_view typed) {
    std::optional<std::string> digits = dialledDigits(typed);
    if (!digits || digits->size() >= 24) return std::nullopt;
    return digits;
}

std::optional<std::string> dialledDigits(std::string_view typed) {
    std::string folded;
    std::string_view number = typed;
    if (!isAscii(typed)) {
        folded = asciiNumber(typed);
        number = folded;
    }
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
    if (digits.empty()) return std::nullopt;
    return digits;
}

NumberParts splitExtension(std::string_view number) {
    // Every mark holds one of these, or is beyond ASCII.
    bool marked = false;
    for (char c : number)
        marked = marked || c == ',' || c == ';' || c == 'x' || c == 'X' || c == 'e' || c == 'E' ||
                 static_cast<unsigned char>(c) >= 0x80;
    if (!marked) return {number, {}};
    std::string lower = lowerAscii(number);
    size_t at = std::string::npos, skip = 0;
    // A dial string's pause (",") and wait (";"), as phones write an extension, count when
    // digits follow them alone.
    for (std::string_view mark : {";ext=", "内線", " ext.", " ext", " x", ",", ";"}) {
        size_t found = lower.find(mark);
        if (found != std::string::npos && found > 0 && found < at) {
            at = found;
            skip = mark.size();
        }
    }
    if (at == std::string::npos) return {number, {}};
    std::string_view extension = number.substr(at + skip);
    bool pause = skip == 1;
    while (!extension.empty() &&
           (extension.front() == ' ' || extension.front() == '.' ||
            (pause && (extension.front() == ',' || extension.front() == ';'))))
        extension.remove_prefix(1);
    // " x" and a pause only count when digits follow them alone.
    if (skip == 2 && (extension.empty() || !dialledDigits(extension))) return {number, {}};
    if (pause && extension.find_first_not_of("0123456789") != std::string_view::npos)
        return {number, {}};
    if (extension.empty()) return {number, {}};
    std::string_view main = number.substr(0, at);
    while (!main.empty() && main.back() == ' ') main.remove_suffix(1);
    return {main, extension};
}

std::string numberKey(std::string_view number) {
    // Most numbers are digits, with hyphens, brackets or blanks at most: their digits.
    std::string digits;
    bool plain = true;
    for (char c : number) {
        if (c >= '0' && c <= '9')
            digits += c;
        else if (!isNumberSeparator(c))
            plain = false;
    }
    if (plain && !digits.empty()) return digits;
    NumberParts parts = splitExtension(number);
    if (std::optional<std::string> digits = dialledDigits(parts.main)) return *digits;
    std::string key = asciiNumber(number);
    std::erase(key, ' ');
    return key;
}

bool IsMailAddress(std::string_view address) {
    // \w is ASCII only here, as in the script engine the pattern was written for.
    static const std::regex pattern(R"(^([\w\.\-]+)@([\w_\-]+)\.([\w_\.\-]*)[a-z][a-z]$)",
                                    std::regex::ECMAScript | std::regex::icase);
    return std::regex_match(address.begin(), address.end(), pattern);
}

}  // namespace tsunagi
