#pragma once

// The content lines of vCards that other programs write (vCard 2.1, RFC 2425/2426 for 3.0,
// RFC 6350 for 4.0): a line taken apart into its name, parameters and value, and the value's
// encodings undone.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tsunagi {

struct VcardParameter {
    std::string name;   // upper case; a bare 2.1 parameter ("HOME") is a TYPE
    std::string value;  // as written, quotes removed
};

struct VcardLine {
    std::string name;   // upper case, without its group ("item1.")
    std::string group;  // "item1", as written; empty when none
    std::vector<VcardParameter> parameters;
    std::string value;  // the value's bytes as written, folds and soft line breaks removed
    long lineNumber = 0;

    // The value of the first parameter `name` (in upper case), if any; valid while the line is.
    std::optional<std::string_view> parameter(std::string_view name) const;
    // Whether a TYPE parameter holds `type`, compared without regard to case; TYPE values may
    // list several types ("type=CELL,VOICE").
    bool hasType(std::string_view type) const;
    bool quotedPrintable() const;
    bool base64() const;
};

// Takes a logical line apart; false when it has no ":" and so is no content line. `out` keeps
// the memory of its strings from the line it held before.
// A control character: below 0x20, or DEL.
bool isControl(char c);
// A control character that no parameter's value may hold: any but a tab and a line break.
bool isStrayControl(char c);

bool parseVcardLine(std::string_view line, VcardLine& out);

// Appends ";NAME=value": the value in double quotes where it holds a ":" or a ";", its line
// breaks as blanks, a double quote as a single one and other control characters left out, so
// that the line reads back with the same parameters; nothing where the value is then empty. The
// name is written without control characters, quotes, colons and semicolons; nothing where it
// is then empty.
// `name` stands for the parameter's own name where given (";TYPE=" lists).
void appendParameter(std::string& out, std::string_view name, std::string_view value);
// Whether appendParameter writes `name` as `as`.
bool writtenAs(std::string_view name, std::string_view as);

// Undoes quoted-printable: "=E5=B1=B1" gives the three bytes, "=" at a line's end joins it
// to the next.
std::string decodeQuotedPrintable(std::string_view text);

// A compound value split at its unescaped `separator` into `components` (which keeps the memory
// of the strings it held), each component unescaped as RFC 6350 says ("\\," "\\;" "\\\\" and
// "\\n").
void splitComponents(std::string_view value, char separator, std::vector<std::string>& components);

// Text as a vCard 3.0 value: backslash, comma and semicolon escaped, line breaks as "\\n".
std::string escapeText(std::string_view text);
// The same, appended to `out`.
void appendEscapedText(std::string& out, std::string_view text);

// A compound value (N, ADR, ORG…) with its escaped line breaks ("\\n") as line breaks and every
// other escape as it stands, so that its parts stay apart: "Smith\\nJr;John" as "Smith", a line
// break, "Jr;John".
std::string compoundLineBreaksUnescaped(std::string_view value);
// And back: its line breaks (CR LF, CR or LF) escaped, as a line holds them.
std::string compoundLineBreaksEscaped(std::string_view value);

// A text value unescaped: "\\," "\\;" "\\\\" become the character, "\\n" a line break. The
// value itself when it holds no escape, else a view of `scratch`, which holds the result.
std::string_view unescapeText(std::string_view value, std::string& scratch);

}  // namespace tsunagi
