#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tsunagi {

std::vector<std::string> splitAll(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
    }
}

std::string pieceAt(std::string_view text, std::string_view separator, size_t index) {
    size_t start = 0;
    for (size_t i = 0; i < index; ++i) {
        size_t at = text.find(separator, start);
        if (at == std::string_view::npos) return {};
        start = at + separator.size();
    }
    size_t end = text.find(separator, start);
    return std::string(text.substr(start, end == std::string_view::npos ? end : end - start));
}

std::string trimBlanks(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

bool holdsOnlyBlanks(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

static bool isContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

// Eight bytes at a time: a line of ASCII is most of the phone's lines.
bool isAscii(std::string_view bytes) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    const char* at = bytes.data();
    const char* end = at + bytes.size();
    std::uint64_t seen = 0;
    for (; end - at >= 8; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, at, 8);
        seen |= word;
    }
    for (; at < end; ++at) seen |= static_cast<unsigned char>(*at);
    return (seen & kHighBits) == 0;
}

size_t characterCount(std::string_view text) {
    size_t count = 0;
    for (unsigned char c : text)
        if (!isContinuationByte(c)) ++count;
    return count;
}

std::string leftCharacters(std::string_view text, size_t count) {
    size_t seen = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (isContinuationByte(static_cast<unsigned char>(text[i]))) continue;
        if (seen == count) return std::string(text.substr(0, i));
        ++seen;
    }
    return std::string(text);
}

std::string lineFeedsOnly(std::string text) {
    if (text.find('\r') == std::string::npos) return text;
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i] == '\r' ? '\n' : text[i];
    }
    return out;
}

std::string removeAll(std::string_view text, std::string_view part) {
    std::string out;
    out.reserve(text.size());
    size_t start = 0;
    for (;;) {
        size_t at = text.find(part, start);
        if (at == std::string_view::npos) break;
        out.append(text.substr(start, at - start));
        start = at + part.size();
    }
    out.append(text.substr(start));
    return out;
}

namespace {
char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upperAscii(c);
    return out;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

std::string namedEntries(const std::vector<std::string>& names, size_t shown, size_t total) {
    std::string text;
    size_t said = std::min(names.size(), shown);
    for (size_t i = 0; i < said; ++i)
        text += (i ? "、" : "") + (names[i].empty() ? std::string("（名前なし）") : names[i]);
    total = std::max(total, names.size());
    if (total > said) text += " ほか " + std::to_string(total - said) + " 件";
    return text;
}

std::string base64Encode(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) value |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(value >> 18) & 63];
        out += kDigits[(value >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(value >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[value & 63] : '=';
    }
    return out;
}

bool isBase64Character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/' || c == '=' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::optional<std::string> base64Decode(std::string_view digits) {
    std::string out;
    unsigned value = 0;
    int bits = 0;
    size_t padding = 0;
    for (char c : digits) {
        int digit = c >= 'A' && c <= 'Z'   ? c - 'A'
                    : c >= 'a' && c <= 'z' ? c - 'a' + 26
                    : c >= '0' && c <= '9' ? c - '0' + 52
                    : c == '+'             ? 62
                    : c == '/'             ? 63
                                           : -1;
        if (digit < 0) {
            if (c == '=') {
                ++padding;
            } else if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
                return std::nullopt;
            }
            continue;
        }
        if (padding > 0) return std::nullopt;  // digits after the padding
        value = (value << 6) | static_cast<unsigned>(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    // What is left over is at most the 4 or 2 bits of a last group the padding closes.
    if (bits >= 6 || padding > 2) return std::nullopt;
    return out;
}

}  // namespace tsunagi
