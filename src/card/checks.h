#pragma once

// The number and mail-address checks of the input form, which the card writer uses too.

#include <optional>
#include <string>
#include <string_view>

namespace tsunagi {

// True when every character is an ASCII digit, false at the first other one, and no answer
// at all for an empty text (callers only ask whether it is true).
std::optional<bool> IsAllDigits(std::string_view value);

// A number as typed with a Japanese input method, in ASCII: full-width digits, "＋", "（",
// "）", "．" and blanks as their ASCII forms; "－", "‐", "‑", "–", "—", "−" as "-", and "ー" or
// "ｰ" as "-" where it stands between digits (elsewhere it stays, and the number is no number).
std::string asciiNumber(std::string_view number);

// A number as the phone dials it (after asciiNumber): digits alone, after hyphens, blanks, dots and
// parentheses are removed; a leading "+81" becomes the "0" of a number dialled within Japan ("+81
// (0)3" keeps its one 0) and any other leading "+" becomes "010", the international prefix dialled
// from Japan. Nothing when other characters are left or the number has 24 digits or more.
std::optional<std::string> phoneDigits(std::string_view number);
// The same digits of any length.
std::optional<std::string> dialledDigits(std::string_view number);

// A number and its extension apart: "03-1234-5678;ext=456" (a tel: URI), "03-1234-5678 内線123",
// "… ext. 456", "… x456", "03-1234-5678,456" (a pause, as phones write it). The extension is
// empty when there is none.
struct NumberParts {
    std::string_view main;
    std::string_view extension;
};
NumberParts splitExtension(std::string_view number);

// One number whatever its form: "+81 90-1234-5678", "090 1234 5678" and "０９０１２３４５６７８"
// have one key, the digits the phone dials (its extension left off). A number the phone cannot
// dial is its text without blanks.
std::string numberKey(std::string_view number);
// What a plain number holds beside its digits: hyphens, brackets, dots and blanks, which its
// key leaves out.
inline bool isNumberSeparator(char c) {
    return c == '-' || c == ' ' || c == '(' || c == ')' || c == '.';
}

// Letters, digits, "_", "." or "-", then "@", a dotless part, ".", and at the very end two
// ASCII letters; upper and lower case alike.
bool IsMailAddress(std::string_view address);

}  // namespace tsunagi
