#pragma once

// A small reader of our own for what the workbook tests look at beyond cell values: it opens
// the compound file by its FAT and directory, takes the Workbook stream and lists its records.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tsunagi::test {

inline std::uint32_t le32(const std::string& s, size_t at) {
    return std::uint8_t(s.at(at)) | std::uint8_t(s.at(at + 1)) << 8 |
           std::uint8_t(s.at(at + 2)) << 16 | std::uint32_t(std::uint8_t(s.at(at + 3))) << 24;
}
inline std::uint16_t le16(const std::string& s, size_t at) {
    return std::uint16_t(std::uint8_t(s.at(at)) | std::uint8_t(s.at(at + 1)) << 8);
}

inline std::string workbookStream(const std::string& file) {
    if (file.compare(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") != 0)
        throw std::runtime_error("no compound file");
    auto sector = [&](std::uint32_t s) { return file.substr(512 + size_t(s) * 512, 512); };
    std::vector<std::uint32_t> fatSectors;
    std::uint32_t fatCount = le32(file, 44);
    for (std::uint32_t i = 0; i < 109 && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(le32(file, 76 + 4 * i));
    for (std::uint32_t d = le32(file, 68); d != 0xFFFFFFFE && fatSectors.size() < fatCount;) {
        std::string difat = sector(d);
        for (int i = 0; i < 127 && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(le32(difat, 4 * i));
        d = le32(difat, 508);
    }
    std::vector<std::uint32_t> fat;
    for (std::uint32_t s : fatSectors) {
        std::string bytes = sector(s);
        for (int i = 0; i < 128; ++i) fat.push_back(le32(bytes, 4 * i));
    }
    auto chain = [&](std::uint32_t start) {
        std::string out;
        for (std::uint32_t s = start; s != 0xFFFFFFFE; s = fat.at(s)) out += sector(s);
        return out;
    };
    std::string directory = chain(le32(file, 48));
    for (size_t e = 0; e + 128 <= directory.size(); e += 128) {
        std::u16string name;
        for (size_t i = 0; i + 2 < le16(directory, e + 64); i += 2)
            name.push_back(le16(directory, e + i));
        if (name == u"Workbook")
            return chain(le32(directory, e + 116)).substr(0, le32(directory, e + 120));
    }
    throw std::runtime_error("no Workbook stream");
}

struct Record {
    std::uint16_t type;
    std::string data;
};

inline std::vector<Record> records(const std::string& stream) {
    std::vector<Record> out;
    for (size_t at = 0; at + 4 <= stream.size();) {
        std::uint16_t type = le16(stream, at), size = le16(stream, at + 2);
        if (type == 0 && size == 0) break;  // padding after the last EOF
        out.push_back({type, stream.substr(at + 4, size)});
        at += 4 + size;
    }
    return out;
}

}  // namespace tsunagi::test
