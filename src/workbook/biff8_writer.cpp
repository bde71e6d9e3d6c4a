// An Excel 97-2003 workbook (BIFF8) with one worksheet: the records Excel needs and no more,
// one function per group of records.

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/error.h"
#include "workbook/biff8_records.h"

namespace tsunagi::biff8 {

namespace {

enum : std::uint16_t {
    kBof = 0x0809,
    kEof = 0x000A,
    kCodepage = 0x0042,
    kWindow1 = 0x003D,
    kFont = 0x0031,
    kXf = 0x00E0,
    kStyle = 0x0293,
    kPalette = 0x0092,
    kBoundSheet = 0x0085,
    kSst = 0x00FC,
    kContinue = 0x003C,
    kExtSst = 0x00FF,
    kColInfo = 0x007D,
    kDimensions = 0x0200,
    kLabelSst = 0x00FD,
    kBlank = 0x0201,
    kMulBlank = 0x00BE,
    kWindow2 = 0x023E,
};

constexpr size_t kMaxRecordData = 8224;
constexpr std::uint16_t kTextFormat = 49;  // the built-in "@" format

// Excel's default palette, slots 8 to 63.
constexpr std::array<std::uint32_t, 56> kDefaultPalette = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

class Bytes {
  public:
    void u8(std::uint8_t v) { data.push_back(static_cast<char>(v)); }
    void u16(std::uint16_t v) {
        u8(v & 0xFF);
        u8(v >> 8);
    }
    void u32(std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void append(const std::string& bytes) { data += bytes; }
    std::string data;
};

// UTF-8 to UTF-16 code units; the workbook's texts are all written as UTF-16.
std::u16string utf16(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = text[i];
        char32_t cp;
        size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else {
            cp = c & 0x07;
            len = 4;
        }
        for (size_t k = 1; k < len && i + k < text.size(); ++k)
            cp = (cp << 6) | (text[i + k] & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

// A short string with an 8-bit length, as fonts and sheet names take it.
void shortString(Bytes& out, const std::string& text) {
    std::u16string units = utf16(text);
    out.u8(static_cast<std::uint8_t>(units.size()));
    out.u8(0x01);
    for (char16_t unit : units) out.u16(unit);
}

// A record: its type, the length of its data, and the data.
std::string record(std::uint16_t type, const std::string& data) {
    Bytes out;
    out.u16(type);
    out.u16(static_cast<std::uint16_t>(data.size()));
    out.append(data);
    return out.data;
}

std::string xfRecord(bool style, bool textFormat, bool border, int colourSlot) {
    Bytes xf;
    xf.u16(0);                             // font 0
    xf.u16(textFormat ? kTextFormat : 0);  // number format
    xf.u16(style ? 0xFFF5 : 0x0001);       // locked; style XFs have no parent
    xf.u8(0x20);                           // general, bottom aligned
    xf.u8(0);                              // no rotation
    xf.u8(0);                              // no indent
    xf.u8(style ? 0x00 : 0xFC);            // a cell XF states all its attributes
    std::uint32_t lines = 0;
    std::uint32_t colours = 0;
    if (border) {
        lines = 0x1111 | (8u << 16) | (8u << 23);  // thin left, right, top, bottom; black
        colours = 8u | (8u << 7);
    }
    std::uint16_t pattern = 0x40 | (0x41 << 7);  // system colours, no fill
    if (colourSlot >= 0) {
        colours |= 1u << 26;  // solid
        pattern = static_cast<std::uint16_t>((kFirstCustomColour + colourSlot) | (0x40 << 7));
    }
    xf.u32(lines);
    xf.u32(colours);
    xf.u16(pattern);
    return xf.data;
}

}  // namespace

int Formats::colourSlot(Rgb colour) {
    auto found = std::find(colours.begin(), colours.end(), colour);
    if (found != colours.end()) return static_cast<int>(found - colours.begin());
    if (colours.size() >= 56 - (kFirstCustomColour - 8))
        throw TsunagiError("ブックに使える色の数を超えました。");
    colours.push_back(colour);
    return static_cast<int>(colours.size() - 1);
}

int Formats::xfFor(const SheetCell& cell) {
    std::pair<bool, int> key{cell.border, cell.filled ? colourSlot(cell.fill) : -1};
    auto found = xf.find(key);
    if (found != xf.end()) return found->second;
    int index = kFirstCellXf + static_cast<int>(xf.size());
    xf.emplace(key, index);
    return index;
}

void appendSharedStringRecords(std::string& out, const std::vector<std::string_view>& strings,
                               size_t total, size_t start) {
    // Records are written straight into `out`, each length filled in once the record is full:
    // the table is as large as all the texts, and gathering it apart would hold it twice.
    auto u16 = [&out](std::uint16_t v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>(v >> 8);
    };
    auto u32 = [&](std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v & 0xFFFF));
        u16(static_cast<std::uint16_t>(v >> 16));
    };
    const size_t base = out.size();
    size_t recordAt = 0;  // where the open record's header is in `out`
    auto open = [&](std::uint16_t type) {
        recordAt = out.size();
        u16(type);
        u16(0);
    };
    auto dataSize = [&] { return out.size() - recordAt - 4; };
    auto close = [&] {
        std::uint16_t length = static_cast<std::uint16_t>(dataSize());
        out[recordAt + 2] = static_cast<char>(length & 0xFF);
        out[recordAt + 3] = static_cast<char>(length >> 8);
    };

    open(kSst);
    u32(static_cast<std::uint32_t>(total));
    u32(static_cast<std::uint32_t>(strings.size()));
    size_t perBucket = std::max<size_t>(8, (strings.size() + 127) / 128);
    std::vector<std::pair<size_t, size_t>> buckets;  // record's stream offset, offset in its data
    for (size_t s = 0; s < strings.size(); ++s) {
        std::u16string units = utf16(strings[s]);
        // The string's header and its first character stay together.
        if (dataSize() + 5 > kMaxRecordData) {
            close();
            open(kContinue);
        }
        if (s % perBucket == 0) buckets.emplace_back(start + (recordAt - base), dataSize());
        u16(static_cast<std::uint16_t>(units.size()));
        out += '\x01';
        for (char16_t unit : units) {
            if (dataSize() + 2 > kMaxRecordData) {
                close();
                open(kContinue);
                out += '\x01';  // a continued string repeats its flags
            }
            u16(unit);
        }
    }
    close();

    open(kExtSst);
    u16(static_cast<std::uint16_t>(perBucket));
    for (const auto& [recordStart, offset] : buckets) {
        u32(static_cast<std::uint32_t>(recordStart + 4 + offset));
        u16(static_cast<std::uint16_t>(4 + offset));
        u16(0);
    }
    close();
}

std::string sharedStringRecords(const std::vector<std::string_view>& strings, size_t total,
                                size_t start) {
    std::string out;
    appendSharedStringRecords(out, strings, total, start);
    return out;
}

std::string bofRecord(std::uint16_t kind) {
    Bytes bof;
    bof.u16(0x0600);  // BIFF8
    bof.u16(kind);
    bof.u16(0x0DBB);  // build and year of the writing program, as Excel 97 gives them
    bof.u16(0x07CC);
    bof.u32(0);
    bof.u32(0x06);  // the lowest version that can read the file: BIFF8
    return record(kBof, bof.data);
}

std::string eofRecord() { return record(kEof, ""); }

std::string globalsHead() {
    std::string out = record(kCodepage, std::string("\xB0\x04", 2));  // 1200: UTF-16
    Bytes window1;
    for (std::uint16_t v : {0, 0, 0x3A5C, 0x23BE, 0x0038, 0, 0, 1, 0x0258}) window1.u16(v);
    out += record(kWindow1, window1.data);
    // Four fonts: BIFF8 readers expect font 4 to be missing, so fonts 0 to 3 are all written.
    for (int f = 0; f < 4; ++f) {
        Bytes font;
        font.u16(220);  // 11 points
        font.u16(0);
        font.u16(0x7FFF);  // automatic colour
        font.u16(400);     // normal weight
        font.u16(0);
        font.u8(0);
        font.u8(0);
        font.u8(0x80);  // Shift_JIS character set
        font.u8(0);
        shortString(font, "ＭＳ Ｐゴシック");
        out += record(kFont, font.data);
    }
    return out;
}

std::string formatRecords(const Formats& formats, bool textFormat) {
    std::string out;
    for (int s = 0; s < 15; ++s) out += record(kXf, xfRecord(true, false, false, -1));
    out += record(kXf, xfRecord(false, textFormat, false, -1));
    std::vector<std::pair<int, std::pair<bool, int>>> cellXfs;
    for (const auto& [key, index] : formats.xf) cellXfs.push_back({index, key});
    std::sort(cellXfs.begin(), cellXfs.end());
    for (const auto& [index, key] : cellXfs)
        out += record(kXf, xfRecord(false, textFormat, key.first, key.second));
    Bytes style;
    style.u16(0x8000);  // built-in Normal style, XF 0
    style.u8(0);
    style.u8(0xFF);
    return out + record(kStyle, style.data);
}

std::string paletteRecord(const std::vector<Rgb>& colours) {
    Bytes palette;
    palette.u16(56);
    for (size_t i = 0; i < kDefaultPalette.size(); ++i) {
        std::uint32_t colour = kDefaultPalette[i];
        size_t custom = i + 8 - kFirstCustomColour;
        if (i + 8 >= kFirstCustomColour && custom < colours.size()) {
            const Rgb& rgb = colours[custom];
            colour = (rgb.red << 16) | (rgb.green << 8) | rgb.blue;
        }
        palette.u8((colour >> 16) & 0xFF);
        palette.u8((colour >> 8) & 0xFF);
        palette.u8(colour & 0xFF);
        palette.u8(0);
    }
    return record(kPalette, palette.data);
}

std::string boundSheetRecord(std::uint32_t sheetStart) {
    Bytes boundSheet;
    boundSheet.u32(sheetStart);
    boundSheet.u8(0);  // visible
    boundSheet.u8(0);  // a worksheet
    shortString(boundSheet, "Sheet1");
    return record(kBoundSheet, boundSheet.data);
}

std::string columnRecords(const std::vector<double>& widths) {
    std::string out;
    for (size_t c = 0; c < widths.size(); ++c) {
        Bytes col;
        col.u16(static_cast<std::uint16_t>(c));
        col.u16(static_cast<std::uint16_t>(c));
        col.u16(static_cast<std::uint16_t>(widths[c] * 256));
        col.u16(15);  // the default cell XF
        col.u16(0);
        col.u16(0);
        out += record(kColInfo, col.data);
    }
    return out;
}

std::string dimensionsRecord(int rows, int lastColumn) {
    Bytes dimensions;
    dimensions.u32(0);
    dimensions.u32(static_cast<std::uint32_t>(rows));
    dimensions.u16(0);
    dimensions.u16(static_cast<std::uint16_t>(lastColumn));
    dimensions.u16(0);
    return record(kDimensions, dimensions.data);
}

std::string rowRecords(int row, const SheetRow& cells, Formats& formats,
                       const StringIndex& stringIndex) {
    std::string out;
    std::uint16_t rw = static_cast<std::uint16_t>(row - 1);
    const std::vector<SheetCell>& cell = cells.cells;
    for (size_t c = 0; c < cell.size();) {
        if (cell[c].textSize > 0) {
            Bytes label;
            label.u16(rw);
            label.u16(static_cast<std::uint16_t>(c));
            label.u16(static_cast<std::uint16_t>(formats.xfFor(cell[c])));
            label.u32(stringIndex.at(cells.text(cell[c])));
            out += record(kLabelSst, label.data);
            ++c;
            continue;
        }
        if (!cell[c].border && !cell[c].filled) {
            ++c;
            continue;
        }
        // A run of formatted empty cells goes into one MULBLANK.
        size_t end = c;
        while (end < cell.size() && cell[end].textSize == 0 &&
               (cell[end].border || cell[end].filled))
            ++end;
        Bytes blank;
        blank.u16(rw);
        blank.u16(static_cast<std::uint16_t>(c));
        for (size_t k = c; k < end; ++k)
            blank.u16(static_cast<std::uint16_t>(formats.xfFor(cell[k])));
        if (end - c == 1) {
            out += record(kBlank, blank.data);
        } else {
            blank.u16(static_cast<std::uint16_t>(end - 1));
            out += record(kMulBlank, blank.data);
        }
        c = end;
    }
    return out;
}

std::string window2Record() {
    Bytes window2;
    for (std::uint16_t v : {0x06B6, 0, 0, 0x40, 0, 0, 0, 0, 0}) window2.u16(v);
    return record(kWindow2, window2.data);
}

}  // namespace tsunagi::biff8

namespace tsunagi {

std::string biff8WorkbookStream(const Sheet& sheet) {
    using namespace biff8;
    if (sheet.rows() > 65536) throw TsunagiError("ブックの行数が多すぎます（65536 行まで）。");

    // Shared strings and the formats of every cell, gathered first.
    // Views of the sheet's own texts: no second copy of every string.
    std::vector<std::string_view> strings;
    StringIndex stringIndex;
    size_t stringCount = 0;
    Formats formats;
    int lastColumn = 0;
    for (int r = 1; r <= sheet.rows(); ++r) {
        const SheetRow& row = sheet.row(r);
        lastColumn = std::max(lastColumn, static_cast<int>(row.cells.size()));
        for (const SheetCell& cell : row.cells) {
            formats.xfFor(cell);
            if (cell.textSize == 0) continue;
            ++stringCount;
            std::string_view text = row.text(cell);
            if (stringIndex.emplace(text, static_cast<std::uint32_t>(strings.size())).second)
                strings.push_back(text);
        }
    }
    if (lastColumn > 256) throw TsunagiError("ブックの列数が多すぎます（256 列まで）。");

    // Room for the whole stream at once, counted generously (room never written is never
    // memory): each string at most two bytes a character and its header, every CONTINUE's
    // header, and a cell at most a LABELSST's 14 bytes. Grown by doubling instead, the stream
    // would briefly be held twice.
    size_t textBytes = 0;
    for (std::string_view text : strings) textBytes += text.size();
    std::string stream;
    stream.reserve(size_t(4096) + 2 * textBytes + 3 * strings.size() + textBytes / 1024 * 8 +
                   static_cast<size_t>(sheet.rows()) * (20 + static_cast<size_t>(lastColumn) * 14));

    // The globals: the sheet's start goes into BOUNDSHEET once the globals' length is known.
    stream += bofRecord(kGlobalsBof);
    stream += globalsHead();
    stream += formatRecords(formats, sheet.textFormat);
    stream += paletteRecord(formats.colours);
    size_t boundSheetAt = stream.size();
    stream += boundSheetRecord(0);
    appendSharedStringRecords(stream, strings, stringCount, stream.size());
    stream += eofRecord();
    std::uint32_t sheetStart = static_cast<std::uint32_t>(stream.size());
    stream.replace(boundSheetAt, boundSheetRecord(sheetStart).size(), boundSheetRecord(sheetStart));

    stream += bofRecord(kWorksheetBof);
    stream += columnRecords(sheet.columnWidths);
    stream += dimensionsRecord(sheet.rows(), lastColumn);
    for (int r = 1; r <= sheet.rows(); ++r)
        stream += rowRecords(r, sheet.row(r), formats, stringIndex);
    stream += window2Record();
    stream += eofRecord();
    return stream;
}

}  // namespace tsunagi
