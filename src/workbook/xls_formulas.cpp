#include "workbook/xls_formulas.h"

#include <cstring>
#include <vector>

#include "platform/codec.h"
#include "workbook/sheet_readers.h"

namespace tsunagi {

namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;

std::uint32_t le32(std::string_view s, size_t at) {
    if (at + 4 > s.size()) return kEndOfChain;
    return std::uint32_t(std::uint8_t(s[at])) | std::uint32_t(std::uint8_t(s[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(s[at + 2])) << 16 |
           std::uint32_t(std::uint8_t(s[at + 3])) << 24;
}

std::uint16_t le16(std::string_view s, size_t at) {
    if (at + 2 > s.size()) return 0;
    return std::uint16_t(std::uint8_t(s[at]) | std::uint8_t(s[at + 1]) << 8);
}

// A chain of sectors through a FAT, read whole; the chain may not be longer than the FAT.
std::string chain(std::uint32_t start, const std::vector<std::uint32_t>& fat,
                  const std::function<std::string_view(std::uint32_t)>& sector) {
    std::string out;
    for (std::uint32_t s = start, steps = 0; s != kEndOfChain && s < fat.size(); s = fat[s]) {
        if (++steps > fat.size()) return "";
        std::string_view bytes = sector(s);
        if (bytes.empty()) return "";
        out.append(bytes);
    }
    return out;
}

std::string utf16Text(std::string_view units) {
    std::string utf8;
    convertToUtf8(units, "UTF-16LE", utf8);
    return utf8;
}

std::string errorText(std::uint8_t code) {
    switch (code) {
        case 0x00:
            return "#NULL!";
        case 0x07:
            return "#DIV/0!";
        case 0x0F:
            return "#VALUE!";
        case 0x17:
            return "#REF!";
        case 0x1D:
            return "#NAME?";
        case 0x24:
            return "#NUM!";
        case 0x2A:
            return "#N/A";
        default:
            return "#ERROR!";
    }
}

}  // namespace

std::string workbookStreamOf(std::string_view file) {
    if (file.size() < 512 ||
        file.substr(0, 8) != std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return "";
    std::uint16_t shift = le16(file, 30);
    if (shift != 9 && shift != 12) return "";
    size_t size = size_t(1) << shift;
    auto sector = [&](std::uint32_t s) -> std::string_view {
        size_t at = size + size_t(s) * size;
        if (at + size > file.size() || at < size) return {};
        return file.substr(at, size);
    };
    size_t sectors = file.size() / size;
    // The FAT's sectors: 109 in the header, the rest in the DIFAT chain.
    std::vector<std::uint32_t> fatSectors;
    std::uint32_t fatCount = le32(file, 44);
    if (fatCount > sectors) return "";
    for (std::uint32_t i = 0; i < 109 && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(le32(file, 76 + 4 * i));
    size_t perSector = size / 4;
    for (std::uint32_t d = le32(file, 68), steps = 0;
         d != kEndOfChain && fatSectors.size() < fatCount && ++steps <= sectors;) {
        std::string_view difat = sector(d);
        if (difat.empty()) return "";
        for (size_t i = 0; i + 1 < perSector && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(le32(difat, 4 * i));
        d = le32(difat, size - 4);
    }
    std::vector<std::uint32_t> fat;
    for (std::uint32_t s : fatSectors) {
        std::string_view bytes = sector(s);
        if (bytes.empty()) return "";
        for (size_t i = 0; i < perSector; ++i) fat.push_back(le32(bytes, 4 * i));
    }
    std::string directory = chain(le32(file, 48), fat, sector);
    std::uint32_t miniCutoff = le32(file, 56);
    std::string miniStream;
    std::vector<std::uint32_t> miniFat;
    for (size_t e = 0; e + 128 <= directory.size(); e += 128) {
        std::string_view entry = std::string_view(directory).substr(e, 128);
        std::uint16_t nameBytes = le16(entry, 64);
        if (nameBytes < 2 || nameBytes > 64) continue;
        std::string name = utf16Text(entry.substr(0, nameBytes - 2));
        std::uint32_t start = le32(entry, 116), length = le32(entry, 120);
        if (entry[66] == 5) {  // the root entry holds the mini stream
            miniStream = chain(start, fat, sector);
            std::string miniFatBytes = chain(le32(file, 60), fat, sector);
            for (size_t i = 0; i + 4 <= miniFatBytes.size(); i += 4)
                miniFat.push_back(le32(miniFatBytes, i));
            continue;
        }
        if (name != "Workbook" && name != "Book") continue;
        std::string stream;
        if (length < miniCutoff) {
            stream = chain(start, miniFat, [&](std::uint32_t s) -> std::string_view {
                size_t at = size_t(s) * 64;
                if (at + 64 > miniStream.size()) return {};
                return std::string_view(miniStream).substr(at, 64);
            });
        } else {
            stream = chain(start, fat, sector);
        }
        if (stream.size() < length) return "";
        stream.resize(length);
        return stream;
    }
    return "";
}

void forEachFormulaResult(
    std::string_view stream,
    const std::function<void(std::uint32_t, std::uint32_t, const std::string&)>& cell) {
    // The first sheet begins where the first BOUNDSHEET says.
    size_t sheetStart = 0;
    for (size_t at = 0; at + 4 <= stream.size();) {
        std::uint16_t type = le16(stream, at), length = le16(stream, at + 2);
        if (type == 0x0085 && length >= 4) {
            sheetStart = le32(stream, at + 4);
            break;
        }
        at += 4 + length;
    }
    if (sheetStart == 0 || sheetStart >= stream.size()) return;
    bool awaitingString = false;
    std::uint32_t stringRow = 0, stringColumn = 0;
    for (size_t at = sheetStart; at + 4 <= stream.size();) {
        std::uint16_t type = le16(stream, at), length = le16(stream, at + 2);
        if (at + 4 + length > stream.size()) return;
        std::string_view data = stream.substr(at + 4, length);
        at += 4 + length;
        if (type == 0x000A) return;  // the sheet's EOF
        if (type == 0x0006 && length >= 20) {
            std::uint32_t row = le16(data, 0) + 1u, column = le16(data, 2) + 1u;
            std::string_view result = data.substr(6, 8);
            awaitingString = false;
            if (le16(result, 6) != 0xFFFF) {
                double value;
                std::memcpy(&value, result.data(), sizeof value);
                cell(row, column, numberText(value));
            } else if (result[0] == 0) {
                awaitingString = true;  // the text follows in a STRING record
                stringRow = row;
                stringColumn = column;
            } else if (result[0] == 1) {
                cell(row, column, result[2] ? "TRUE" : "FALSE");
            } else if (result[0] == 2) {
                cell(row, column, errorText(static_cast<std::uint8_t>(result[2])));
            }
        } else if (type == 0x0207 && awaitingString && length >= 3) {
            awaitingString = false;
            std::uint16_t characters = le16(data, 0);
            bool wide = data[2] & 0x01;
            std::string_view chars = data.substr(3);
            std::string text;
            if (wide) {
                text = utf16Text(chars.substr(0, std::min<size_t>(chars.size(), characters * 2u)));
            } else {
                // Compressed: the low bytes of UTF-16, that is Latin-1.
                convertToUtf8(chars.substr(0, std::min<size_t>(chars.size(), characters)),
                              "ISO-8859-1", text);
            }
            if (!text.empty()) cell(stringRow, stringColumn, text);
        }
    }
}

}  // namespace tsunagi
