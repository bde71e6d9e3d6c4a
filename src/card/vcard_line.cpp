#include "card/vcard_line.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/text.h"

namespace tsunagi {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The words of vCard 2.1 that stand bare for an ENCODING rather than a TYPE.
bool isEncodingWord(std::string_view word) {
    return equalsIgnoringCase(word, "QUOTED-PRINTABLE") || equalsIgnoringCase(word, "BASE64") ||
           equalsIgnoringCase(word, "8BIT") || equalsIgnoringCase(word, "7BIT");
}

}  // namespace

std::optional<std::string_view> VcardLine::parameter(std::string_view wanted) const {
    for (const VcardParameter& p : parameters)
        if (p.name == wanted) return std::string_view(p.value);
    return std::nullopt;
}

bool VcardLine::hasType(std::string_view type) const {
    for (const VcardParameter& p : parameters) {
        if (p.name != "TYPE") continue;
        std::string_view list = p.value;
        while (!list.empty()) {
            size_t comma = list.find(',');
            if (equalsIgnoringCase(list.substr(0, comma), type)) return true;
            if (comma == std::string_view::npos) break;
            list.remove_prefix(comma + 1);
        }
    }
    return false;
}

bool VcardLine::quotedPrintable() const {
    auto encoding = parameter("ENCODING");
    return encoding && equalsIgnoringCase(*encoding, "QUOTED-PRINTABLE");
}

bool VcardLine::base64() const {
    auto encoding = parameter("ENCODING");
    return encoding &&
           (equalsIgnoringCase(*encoding, "BASE64") || equalsIgnoringCase(*encoding, "B"));
}

namespace {

void assignUpper(std::string& out, std::string_view text) {
    out.assign(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

// Where `stop` first stands outside double quotes in `text` (its size where nowhere). Without
// quotes that is simply its first place.
size_t firstOutsideQuotes(std::string_view text, char stop, bool quotes) {
    if (!quotes) return std::min(text.find(stop), text.size());
    size_t at = 0;
    for (bool quoted = false; at < text.size() && (quoted || text[at] != stop); ++at)
        if (text[at] == '"') quoted = !quoted;
    return at;
}

}  // namespace

bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

bool isStrayControl(char c) { return isControl(c) && c != '\t' && c != '\r' && c != '\n'; }

bool parseVcardLine(std::string_view line, VcardLine& out) {
    // The value begins after the first colon outside a quoted parameter value.
    bool quotes = line.substr(0, line.find(':')).find('"') != std::string_view::npos;
    size_t colon = firstOutsideQuotes(line, ':', quotes);
    if (colon == line.size()) return false;
    std::string_view head = line.substr(0, colon);
    out.value.assign(line.substr(colon + 1));

    size_t semicolon = std::min(head.find(';'), head.size());
    std::string_view name = head.substr(0, semicolon);
    out.group.clear();
    if (size_t dot = name.find('.'); dot != std::string_view::npos) {
        out.group.assign(name.substr(0, dot));
        name.remove_prefix(dot + 1);
    }
    assignUpper(out.name, name);

    // The parameters are written over those of the line before, so that their strings are
    // reused.
    size_t count = 0;
    std::string_view rest = head.substr(semicolon);
    while (!rest.empty()) {
        rest.remove_prefix(1);  // the ";"
        size_t end = firstOutsideQuotes(rest, ';', quotes);
        std::string_view parameter = rest.substr(0, end);
        rest.remove_prefix(end);
        if (parameter.empty()) continue;
        if (count == out.parameters.size()) out.parameters.emplace_back();
        VcardParameter& p = out.parameters[count++];
        size_t equals = parameter.find('=');
        if (equals == std::string_view::npos) {
            p.name = isEncodingWord(parameter) ? "ENCODING" : "TYPE";
            p.value.assign(parameter);
        } else {
            assignUpper(p.name, parameter.substr(0, equals));
            p.value.assign(parameter.substr(equals + 1));
            // A quote is no part of a name either: "TYPE\"" is the TYPE it is written as.
            if (quotes) {
                std::erase(p.value, '"');
                std::erase(p.name, '"');
            }
        }
        // No parameter may hold a control character but a tab in its value, nor any in its
        // name: one is read as it is written, left out ("CEL\0L" is a mobile number's type).
        if (std::any_of(parameter.begin(), parameter.end(), isControl)) {
            std::erase_if(p.value, isStrayControl);
            std::erase_if(p.name, isControl);
        }
    }
    out.parameters.resize(count);
    return true;
}

std::string decodeQuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            out += text[i];
            continue;
        }
        int high = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        int low = i + 2 < text.size() ? hexDigit(text[i + 2]) : -1;
        if (high >= 0 && low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else if (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n')) {
            // A soft line break.
            ++i;
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (i + 1 == text.size()) {
            // A soft break at the very end: nothing follows.
        } else {
            out += '=';  // not an escape at all: kept as written
        }
    }
    return out;
}

void splitComponents(std::string_view value, char separator, std::vector<std::string>& components) {
    size_t count = 0;
    auto nextComponent = [&]() -> std::string& {
        if (count == components.size()) components.emplace_back();
        std::string& component = components[count++];
        component.clear();
        return component;
    };
    std::string* component = &nextComponent();
    for (;;) {
        // Runs without an escape or a separator are taken whole.
        size_t stop = 0;
        while (stop < value.size() && value[stop] != '\\' && value[stop] != separator) ++stop;
        if (stop == value.size()) stop = std::string_view::npos;
        component->append(value.substr(0, stop));
        if (stop == std::string_view::npos) break;
        if (value[stop] == separator) {
            component = &nextComponent();
            value.remove_prefix(stop + 1);
        } else if (stop + 1 < value.size()) {
            char next = value[stop + 1];
            *component += (next == 'n' || next == 'N') ? '\n' : next;
            value.remove_prefix(stop + 2);
        } else {
            *component += '\\';  // a lone backslash at the end stays
            break;
        }
    }
    components.resize(count);
}

std::string_view unescapeText(std::string_view value, std::string& scratch) {
    if (value.find('\\') == std::string_view::npos) return value;
    scratch.clear();
    while (!value.empty()) {
        size_t stop = value.find('\\');
        scratch.append(value.substr(0, stop));
        if (stop == std::string_view::npos) break;
        if (stop + 1 < value.size()) {
            char next = value[stop + 1];
            scratch += (next == 'n' || next == 'N') ? '\n' : next;
            value.remove_prefix(stop + 2);
        } else {
            scratch += '\\';
            break;
        }
    }
    return scratch;
}

std::string escapeText(std::string_view text) {
    std::string out;
    appendEscapedText(out, text);
    return out;
}

std::string compoundLineBreaksUnescaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            char next = value[++i];
            if (next == 'n' || next == 'N')
                out += '\n';
            else
                out.append(1, '\\').append(1, next);
        } else {
            out += value[i];
        }
    }
    return out;
}

std::string compoundLineBreaksEscaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' || value[i] == '\n') {
            if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
            out += "\\n";
        } else {
            out += value[i];
        }
    }
    return out;
}

void appendEscapedText(std::string& out, std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' || c == ',' || c == ';') {
            out += '\\';
            out += c;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\\n";
        } else {
            out += c;
        }
    }
}

namespace {

// Whether a parameter's name is written with `c`: a name holds no control character, and no
// quote, colon or semicolon, which would end it or the line's head where it stands.
bool keptInName(char c) { return !isControl(c) && c != '"' && c != ':' && c != ';'; }

}  // namespace

bool writtenAs(std::string_view name, std::string_view as) {
    size_t at = 0;
    for (char c : name)
        if (keptInName(c) && (at == as.size() || as[at++] != c)) return false;
    return at == as.size();
}

void appendParameter(std::string& out, std::string_view name, std::string_view value) {
    const size_t start = out.size();
    out.append(";");
    // One of nothing that is written names nothing.
    for (char c : name)
        if (keptInName(c)) out += c;
    if (out.size() == start + 1) {
        out.resize(start);
        return;
    }
    const size_t named = out.size() - start - 1;
    out.append("=");
    // One look at each character: most values hold none of these.
    static constexpr auto kMarks = [] {
        std::array<unsigned char, 256> marks{};
        marks[':'] = marks[';'] = 1;  // to be quoted
        // To be rewritten: a line break as a blank, a quote as an apostrophe; any other
        // control character, which no parameter may hold, left out.
        for (int c = 0; c < 0x20; ++c)
            if (c != '\t') marks[c] = 2;
        marks[0x7f] = marks['"'] = 2;
        return marks;
    }();
    unsigned char seen = 0;
    for (char c : value) seen |= kMarks[static_cast<unsigned char>(c)];
    bool quoted = seen & 1, rewritten = seen & 2;
    if (quoted) out += '"';
    if (!rewritten)
        out.append(value);
    else
        for (char c : value) {
            if (c == '\r' || c == '\n')
                out += ' ';
            else if (c == '"')
                out += '\'';
            else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f)
                out += c;
        }
    if (quoted) out += '"';
    // A value of nothing (or of control characters alone) says nothing, and reads back as none.
    if (out.size() == start + named + 2) out.resize(start);
}

}  // namespace tsunagi
