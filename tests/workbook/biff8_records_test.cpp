// The BIFF8 record groups, byte for byte, against the record layouts of the Excel 97-2003
// binary file format: each expected record is written out by hand from its layout.

#include "workbook/biff8_records.h"

#include <gtest/gtest.h>

namespace tsunagi::biff8 {
namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

// "Sheet1" as a BIFF8 short string: 8-bit length, flags 1 (UTF-16), then the code units.
const std::string kSheet1 = bytes({6, 1, 'S', 0, 'h', 0, 'e', 0, 'e', 0, 't', 0, '1', 0});

TEST(Biff8Records, BofBoundSheetDimensionsAndEof) {
    // BOF: vers 0x0600 (BIFF8), dt 0x0010 (worksheet), rupBuild, rupYear, bfh, sfo.
    EXPECT_EQ(bofRecord(kWorksheetBof),
              bytes({0x09, 0x08, 16, 0, 0x00, 0x06, 0x10, 0x00, 0xBB, 0x0D,
                     0xCC, 0x07, 0,  0, 0,    0,    6,    0,    0,    0}));
    // BOUNDSHEET: lbPlyPos, hsState visible, dt worksheet, the name.
    EXPECT_EQ(boundSheetRecord(0x00012345),
              bytes({0x85, 0x00, 20, 0, 0x45, 0x23, 0x01, 0x00, 0, 0}) + kSheet1);
    // DIMENSIONS: first row, last row + 1 (32 bits), first column, last column + 1, reserved.
    EXPECT_EQ(dimensionsRecord(3, 19),
              bytes({0x00, 0x02, 14, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 19, 0, 0, 0}));
    EXPECT_EQ(eofRecord(), bytes({0x0A, 0x00, 0, 0}));
}

TEST(Biff8Records, ACellXfWithThinBordersAndASolidFill) {
    Formats formats;
    SheetCell cell;
    cell.border = true;
    cell.filled = true;
    cell.fill = {0x7D, 0x7D, 0x7D};
    ASSERT_EQ(formats.xfFor(cell), kFirstCellXf);
    std::string records = formatRecords(formats, true);
    // 16 XFs of 4 + 20 bytes come before the cell's own.
    std::string xf = records.substr(16 * 24, 24);
    EXPECT_EQ(xf, bytes({0xE0, 0x00, 20,   0,    0x00, 0x00,  // ifnt 0
                         0x31, 0x00,                          // ifmt 49, the "@" format
                         0x01, 0x00,              // locked, a cell XF whose parent is XF 0
                         0x20, 0x00, 0x00,        // general, bottom; no rotation, no indent
                         0xFC,                    // every attribute group stated
                         0x11, 0x11, 0x08, 0x04,  // thin on four sides; left, right colour 8
                         0x08, 0x04, 0x00, 0x04,  // top, bottom colour 8; fls 1 (solid)
                         0x30, 0x20}));           // fore colour 0x30, back colour 0x40
    // STYLE closes the group: built-in Normal on XF 0.
    EXPECT_EQ(records.substr(records.size() - 8), bytes({0x93, 0x02, 4, 0, 0x00, 0x80, 0, 0xFF}));

    // The palette carries the fill in slot 0x30: 56 colours of 4 bytes after the count.
    std::string palette = paletteRecord(formats.colours);
    ASSERT_EQ(palette.size(), 4u + 2 + 56 * 4);
    EXPECT_EQ(palette.substr(0, 6), bytes({0x92, 0x00, 0xE2, 0x00, 56, 0}));
    EXPECT_EQ(palette.substr(6 + (0x30 - 8) * 4, 4), bytes({0x7D, 0x7D, 0x7D, 0}));
    EXPECT_EQ(palette.substr(6, 4), bytes({0, 0, 0, 0}));  // slot 8 stays black
}

TEST(Biff8Records, ARowOfLabelsBlanksAndAMulBlankRun) {
    Formats formats;
    Sheet sheet;
    sheet.setText(2, 1, "a");
    sheet.setBorder(2, 1);
    sheet.setBorder(2, 2);
    sheet.setBorder(2, 3);
    sheet.setFill(2, 3, {1, 2, 3});
    // Column 4 holds nothing and has no format: no record at all.
    sheet.setBorder(2, 5);
    StringIndex strings{{"a", 7}};
    std::string records = rowRecords(2, sheet.row(2), formats, strings);
    EXPECT_EQ(records,
              // LABELSST: rw 1, col 0, ixfe 16, isst 7
              bytes({0xFD, 0x00, 10, 0, 1, 0, 0, 0, 16, 0, 7, 0, 0, 0}) +
                  // MULBLANK: rw 1, colFirst 1, ixfe 16 and 17, colLast 2
                  bytes({0xBE, 0x00, 10, 0, 1, 0, 1, 0, 16, 0, 17, 0, 2, 0}) +
                  // BLANK: rw 1, col 4, ixfe 16
                  bytes({0x01, 0x02, 6, 0, 1, 0, 4, 0, 16, 0}));
}

TEST(Biff8Records, AStringOverTheRecordLimitContinuesWithItsFlagsRepeated) {
    // SST data holds 8,224 bytes at most: 8 bytes of counts, 3 of string header, then 4,106
    // characters (8,212 bytes); the other 94 go into a CONTINUE that begins with the flags.
    std::string text(4200, 'x');
    std::string records = sharedStringRecords({text}, 3, 100);
    ASSERT_EQ(records.substr(0, 4), bytes({0xFC, 0x00, 0x1F, 0x20}));  // 8223 bytes of data
    EXPECT_EQ(records.substr(4, 11), bytes({3, 0, 0, 0, 1, 0, 0, 0, 0x68, 0x10, 0x01}));
    size_t next = 4 + 8223;
    EXPECT_EQ(records.substr(next, 5), bytes({0x3C, 0x00, 189, 0, 0x01}));
    next += 4 + 189;
    // EXTSST: 8 strings a bucket; the bucket's string at stream offset 100 + 4 + 8, 12 bytes
    // into its record.
    EXPECT_EQ(records.substr(next), bytes({0xFF, 0x00, 10, 0, 8, 0, 112, 0, 0, 0, 12, 0, 0, 0}));
}

}  // namespace
}  // namespace tsunagi::biff8
