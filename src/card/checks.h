#pragma once

// The number and mail-address checks of the input form, which the card writer uses too.

#include <optional>
#include <string_view>

namespace tsunagi {

// True when every character is an ASCII digit, false at the first other one, and no answer
// at all for an empty text (callers only ask whether it is true).
std::optional<bool> IsAllDigits(std::string_view value);

// Letters, digits, "_", "." or "-", then "@", a dotless part, ".", and at the very end two
// ASCII letters; upper and lower case alike.
bool IsMailAddress(std::string_view address);

}  // namespace tsunagi
