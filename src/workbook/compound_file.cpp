// The compound file (OLE2, version 3, 512-byte sectors) that carries a workbook stream:
// a header, the stream's sectors, one directory sector, the FAT and, for large files, the
// DIFAT sectors that list the FAT beyond the header's 109 places.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "workbook/sheet.h"

namespace tsunagi {

namespace {

constexpr std::uint32_t kSector = 512;
constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kMiniStreamCutoff = 4096;

void put16(std::string& out, size_t at, std::uint16_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>(v >> 8);
}
void put32(std::string& out, size_t at, std::uint32_t v) {
    put16(out, at, v & 0xFFFF);
    put16(out, at + 2, v >> 16);
}

std::string directoryEntry(const std::u16string& name, std::uint8_t type, std::uint32_t child,
                           std::uint32_t start, std::uint32_t size) {
    std::string entry(128, '\0');
    for (size_t i = 0; i < name.size(); ++i) put16(entry, 2 * i, name[i]);
    put16(entry, 64, static_cast<std::uint16_t>(name.empty() ? 0 : 2 * (name.size() + 1)));
    entry[66] = static_cast<char>(type);
    entry[67] = 1;  // black
    put32(entry, 68, kNoStream);
    put32(entry, 72, kNoStream);
    put32(entry, 76, child);
    put32(entry, 116, start);
    put32(entry, 120, size);
    return entry;
}

}  // namespace

std::string compoundFile(std::string workbookStream) {
    // Streams below the cutoff would belong in the mini stream; padding keeps ours out of it.
    size_t paddedSize = std::max<size_t>(workbookStream.size(), kMiniStreamCutoff);
    std::uint32_t streamSize = static_cast<std::uint32_t>(paddedSize);
    std::uint32_t streamSectors = static_cast<std::uint32_t>((paddedSize + kSector - 1) / kSector);

    // Find how many FAT and DIFAT sectors the file needs; each may need more of the other.
    std::uint32_t fatSectors = 1, difatSectors = 0;
    for (;;) {
        std::uint32_t total = streamSectors + 1 + fatSectors + difatSectors;
        std::uint32_t neededFat = (total + 127) / 128;
        std::uint32_t neededDifat = neededFat > 109 ? (neededFat - 109 + 126) / 127 : 0;
        if (neededFat == fatSectors && neededDifat == difatSectors) break;
        fatSectors = neededFat;
        difatSectors = neededDifat;
    }
    std::uint32_t directorySector = streamSectors;
    std::uint32_t firstFat = directorySector + 1;
    std::uint32_t firstDifat = firstFat + fatSectors;

    std::vector<std::uint32_t> fat(static_cast<size_t>(fatSectors) * 128, kFree);
    for (std::uint32_t s = 0; s < streamSectors; ++s)
        fat[s] = s + 1 < streamSectors ? s + 1 : kEndOfChain;
    fat[directorySector] = kEndOfChain;
    for (std::uint32_t s = 0; s < fatSectors; ++s) fat[firstFat + s] = kFatSector;
    for (std::uint32_t s = 0; s < difatSectors; ++s) fat[firstDifat + s] = kDifatSector;

    std::string file(kSector, '\0');
    const char signature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    file.replace(0, 8, signature, 8);
    put16(file, 24, 0x003E);
    put16(file, 26, 0x0003);
    put16(file, 28, 0xFFFE);
    put16(file, 30, 9);
    put16(file, 32, 6);
    put32(file, 44, fatSectors);
    put32(file, 48, directorySector);
    put32(file, 56, kMiniStreamCutoff);
    put32(file, 60, kEndOfChain);  // no mini FAT
    put32(file, 64, 0);
    put32(file, 68, difatSectors ? firstDifat : kEndOfChain);
    put32(file, 72, difatSectors);
    for (std::uint32_t i = 0; i < 109; ++i)
        put32(file, 76 + 4 * i, i < fatSectors ? firstFat + i : kFree);

    // The header goes in front of the stream in its own buffer: a workbook stream of many
    // megabytes is never held twice.
    size_t streamBytes = workbookStream.size();
    workbookStream.reserve(kSector * (1 + size_t(streamSectors) + 1 + fatSectors + difatSectors));
    workbookStream.insert(0, file);
    workbookStream.append(static_cast<size_t>(streamSectors) * kSector - streamBytes, '\0');
    file = std::move(workbookStream);

    std::string directory = directoryEntry(u"Root Entry", 5, 1, kEndOfChain, 0) +
                            directoryEntry(u"Workbook", 2, kNoStream, 0, streamSize);
    for (int i = 0; i < 2; ++i) directory += directoryEntry(u"", 0, kNoStream, 0, 0);
    file += directory;

    std::string fatBytes(fat.size() * 4, '\0');
    for (size_t i = 0; i < fat.size(); ++i) put32(fatBytes, 4 * i, fat[i]);
    file += fatBytes;

    for (std::uint32_t d = 0; d < difatSectors; ++d) {
        std::string sector(kSector, '\0');
        for (std::uint32_t i = 0; i < 127; ++i) {
            std::uint32_t index = 109 + d * 127 + i;
            put32(sector, 4 * i, index < fatSectors ? firstFat + index : kFree);
        }
        put32(sector, 508, d + 1 < difatSectors ? firstDifat + d + 1 : kEndOfChain);
        file += sector;
    }
    return file;
}

}  // namespace tsunagi
