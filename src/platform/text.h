#pragma once

// Small helpers for UTF-8 text as the program counts it: one character is one Unicode code
// point, which is what the phone and the original Windows program counted for CP932 text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tsunagi {

// Every piece between the separators, empty pieces included ("a<>" gives "a" and "").
std::vector<std::string> splitAll(std::string_view text, std::string_view separator);

// Piece `index` of splitAll, or "" when there is no such piece.
std::string pieceAt(std::string_view text, std::string_view separator, size_t index);

inline bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// Removes ASCII blanks at both ends (not tabs, not ideographic spaces).
std::string trimBlanks(std::string_view text);
// Whether the text holds nothing but blanks, tabs and line breaks (or nothing at all).
bool holdsOnlyBlanks(std::string_view text);

// Nothing beyond ASCII.
bool isAscii(std::string_view text);

size_t characterCount(std::string_view text);

// The first `count` characters of the text, never cutting a character in two.
std::string leftCharacters(std::string_view text, size_t count);

// Removes every occurrence of `part`.
std::string removeAll(std::string_view text, std::string_view part);
// `text` with its line breaks as line feeds alone ("\r\n" and "\r" as "\n").
std::string lineFeedsOnly(std::string text);

// Names for a message: the first `shown` joined with "、", then "ほか N 件" for the rest of
// `total` entries (all the names, when it is fewer); an empty name is said as "（名前なし）".
std::string namedEntries(const std::vector<std::string>& names, size_t shown = 5, size_t total = 0);

// Compared with ASCII letters in any case, as vCard names and parameters are. Inline: lines are
// told apart by them a million at a time.
inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x == y) continue;
        // Apart only by the bit of case, and letters.
        auto lower = static_cast<unsigned char>(x | 0x20);
        if ((x ^ y) != 0x20 || lower < 'a' || lower > 'z') return false;
    }
    return true;
}
inline bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}
// The text with its ASCII letters in upper or lower case; other characters as they are.
std::string upperAscii(std::string_view text);
std::string lowerAscii(std::string_view text);

// Bytes as base64, as RFC 4648 spells it (with "=" padding, no line breaks).
std::string base64Encode(std::string_view bytes);
// Base64 back to bytes, blanks and line breaks between the digits passed over; nothing when
// anything else stands there, or the digits end where no byte does.
std::optional<std::string> base64Decode(std::string_view digits);
// Whether `c` may stand among base64 digits as a card writes them: a digit, the padding, or a
// blank or line break between them.
bool isBase64Character(char c);

}  // namespace tsunagi
