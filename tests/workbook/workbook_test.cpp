#include <freexl.h>
#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <cstring>
#include <fstream>
#include <random>

#include "commands/file_kinds.h"
#include "export/workbook_writer.h"
#include "import/excel_import.h"
#include "platform/error.h"
#include "platform/text_file.h"
#include "store/entries.h"
#include "support/rows.h"
#include "support/sheet_files.h"
#include "support/temp_folder.h"
#include "workbook/biff_records.h"
#include "workbook/sheet.h"
#include "workbook/sheet_readers.h"
#include "workbook/workbook_reader.h"

namespace tsunagi {
namespace {

const std::vector<std::string> kHeadings = {"名前", "自宅", "携帯", "会社", "電話", "自宅", "携帯",
                                            "会社", "電話", "自宅", "携帯", "会社", "電話", "PC",
                                            "携帯", "PC",   "携帯", "PC",   "携帯"};

// The program folder a workbook export needs: its template beside the store.
struct ProgramFolder {
    ProgramFolder() { addWorkbookTemplate(folder.path()); }
    TempFolder folder;
};

void addEntries(const Store& store) {
    Connection connection = store.open();
    EntryInserter inserter(connection);
    inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎", "X-JPG-OWNER:0",
                     "TEL;VOICE;HOME:0312<>TEL;CELL:090<>TEL;VOICE:045<>TEL;CELL:080",
                     "EMAIL;INTERNET:a@b.jp<>EMAIL;CELL:c@d.jp", "X-GNO:0", "X-JPG-MDNO:9",
                     "END:VCARD"});
    inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:O'Brien",
                     "<>TEL;VOICE;WORK:0455<>", "EMAIL;X400:x@y.jp<>", "END:VCARD"});
    inserter.insert(
        {"BEGIN:VCARD", "TEL;CELL:070", "END:VCARD"});  // no name: the import stops here
}

// What a workbook of addEntries gives when it is read back.
const Rows kReadBack = {
    {"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎", "X-JPG-OWNER:0",
     "TEL;VOICE;HOME:0312<>TEL;CELL:090<>TEL;VOICE:045<>",
     "EMAIL;INTERNET:a@b.jp<>EMAIL;CELL:c@d.jp<>", "X-GNO:0", "X-JPG-MDNO:2", "END:VCARD"},
    {"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:O'Brien", "X-JPG-OWNER:0",
     "TEL;VOICE;WORK:0455<>", "", "X-GNO:0", "X-JPG-MDNO:3", "END:VCARD"},
};

std::string freexlText(const void* handle, unsigned row, unsigned short column) {
    FreeXL_CellValue value;
    if (freexl_get_cell_value(handle, row, column, &value) != FREEXL_OK) return "<error>";
    if (value.type == FREEXL_CELL_SST_TEXT || value.type == FREEXL_CELL_TEXT)
        return value.value.text_value;
    return "";
}

// The workbook writer over every entry of a store, into `path`, as the save command runs it.
void writeBook(const Store& store, const std::string& programFolder, const std::string& path) {
    Connection connection = store.open();
    AtomicFile file(path);
    WriteExcelBook(storedRows(connection), programFolder + "/database/template.xls",
                   isXlsxName(path) ? BookKind::Xlsx : BookKind::Xls, file);
    file.commit();
}

TEST(Workbook, RoundTripThroughXlsAndXlsx) {
    ProgramFolder program;
    for (const char* name : {"book.xls", "book.xlsx"}) {
        Store store = Store::inMemory();
        addEntries(store);
        std::string path = program.folder.file(name);
        writeBook(store, program.folder.path(), path);
        Store back = Store::inMemory();
        EXPECT_EQ(ImportExcelBook(back, path), 2) << name;
        EXPECT_EQ(storedRows(back), kReadBack) << name;
    }
}

TEST(Workbook, InlineStringsAndControlCharactersComeBack) {
    // libxlsxwriter's constant-memory mode writes every text as an inline string, as openpyxl
    // and Gnumeric do; an escape _xHHHH_ reads as the character it stands for.
    TempFolder folder;
    std::string path = folder.file("inline.xlsx");
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    for (size_t c = 0; c < kHeadings.size(); ++c)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), kHeadings[c].c_str(), nullptr);
    worksheet_write_string(sheet, 1, 0, "山田\x01_x0041_", nullptr);
    worksheet_write_string(sheet, 1, 1, "0312", nullptr);
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
    Store store = Store::inMemory();
    EXPECT_EQ(ImportExcelBook(store, path), 1);
    ASSERT_EQ(storedRows(store).size(), 1u);
    EXPECT_EQ(storedRows(store)[0][2],
              "N;CHARSET=SHIFT_JIS:山田\x01"
              "A");
    EXPECT_EQ(storedRows(store)[0][4], "TEL;VOICE;HOME:0312<>");

    // Our own .xlsx round trip keeps a carriage return, a control character and a typed escape.
    ProgramFolder program;
    Store source = Store::inMemory();
    {
        Connection connection = source.open();
        EntryInserter(connection)
            .insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:A\r\nB\x02_x0041_", "END:VCARD"});
    }
    std::string ours = program.folder.file("ours.xlsx");
    writeBook(source, program.folder.path(), ours);
    Store back = Store::inMemory();
    ASSERT_EQ(ImportExcelBook(back, ours), 1);
    EXPECT_EQ(storedRows(back)[0][2], "N;CHARSET=SHIFT_JIS:A\r\nB\x02_x0041_");
}

TEST(Workbook, AWorkbookThatExpandsHugelyIsRefusedWithoutHoldingIt) {
    // A few kilobytes of .xlsx: one long shared string in thousands of cells, which the helper
    // writes out as some hundred megabytes. The caller keeps only what it may and says so.
    TempFolder folder;
    std::string path = folder.file("huge.xlsx");
    lxw_workbook* book = workbook_new(path.c_str());
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    std::string text(30000, 'x');
    worksheet_write_string(sheet, 0, 0, "名前", nullptr);
    for (lxw_row_t r = 1; r < 3000; ++r) {
        worksheet_write_string(sheet, r, 0, text.c_str(), nullptr);
        // Far outside the 19 columns the import reads: never kept at all.
        worksheet_write_string(sheet, r, 40, text.c_str(), nullptr);
    }
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
    EXPECT_LT(std::filesystem::file_size(path), 1u << 20);
    Store store = Store::inMemory();
    try {
        ImportExcelBook(store, path);
        FAIL() << "a workbook of 90 MB of cells was taken in";
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.file(), path);
        EXPECT_NE(error.reason().find("大きすぎる"), std::string::npos) << error.reason();
    }
    EXPECT_TRUE(storedRows(store).empty());
}

// A FORMULA record with its cached result (the formula itself left empty), and the STRING
// record that carries a text result, as the BIFF8 record layouts give them.
std::string formulaRecord(std::uint16_t row, std::uint16_t column, const std::string& result) {
    std::string data;
    auto u16 = [&data](std::uint16_t v) {
        data += static_cast<char>(v & 0xFF);
        data += static_cast<char>(v >> 8);
    };
    u16(row);
    u16(column);
    u16(15);
    data += result;                // 8 bytes
    u16(0);                        // grbit
    data += std::string(4, '\0');  // chn
    u16(0);                        // cce
    std::string record;
    record += "\x06";
    record += '\0';
    record += static_cast<char>(data.size());
    record += '\0';
    return record + data;
}

TEST(Workbook, FormulaCellsReadAsTheirCachedValues) {
    TempFolder folder;
    Sheet sheet;
    for (int c = 1; c <= 19; ++c) sheet.setText(1, c, kHeadings[c - 1]);
    sheet.setText(2, 1, "山田");
    std::string stream = biff8WorkbookStream(sheet);
    double number = 312345678.0;
    std::string numberResult(8, '\0');
    std::memcpy(numberResult.data(), &number, 8);
    std::string textResult("\0\0\0\0\0\0\xFF\xFF", 8);
    std::string stringRecord =
        std::string("\x07\x02\x09\x00", 4) + std::string("\x06\x00\x00", 3) + "a@b.jp";
    // 佐藤 as UTF-16: a wide STRING record.
    std::string wideRecord = std::string("\x07\x02\x07\x00", 4) + std::string("\x02\x00\x01", 3) +
                             std::string("\x50\x4F\xE4\x85", 4);
    std::string formulas = formulaRecord(1, 1, numberResult) + formulaRecord(1, 13, textResult) +
                           stringRecord + formulaRecord(2, 0, textResult) + wideRecord;
    size_t window2 = stream.rfind(std::string("\x3E\x02\x12\x00", 4));
    ASSERT_NE(window2, std::string::npos);
    stream.insert(window2, formulas);
    std::string path = folder.file("formulas.xls");
    {
        std::ofstream out(path, std::ios::binary);
        out << compoundFile(stream);
    }
    Store store = Store::inMemory();
    EXPECT_EQ(ImportExcelBook(store, path), 2);
    Rows rows = storedRows(store);
    EXPECT_EQ(rows[0][2], "N;CHARSET=SHIFT_JIS:山田");
    EXPECT_EQ(rows[0][4], "TEL;VOICE;HOME:312345678<>");
    EXPECT_EQ(rows[0][5], "EMAIL;INTERNET:a@b.jp<>");
    EXPECT_EQ(rows[1][2], "N;CHARSET=SHIFT_JIS:佐藤");
}

TEST(Workbook, HeadingAndEntryRowCellByCellWithTheirFormats) {
    ProgramFolder program;
    Store store = Store::inMemory();
    addEntries(store);
    std::string path = program.folder.file("book.xls");
    writeBook(store, program.folder.path(), path);

    // Values, through libfreexl.
    const void* handle = nullptr;
    ASSERT_EQ(freexl_open(path.c_str(), &handle), FREEXL_OK);
    ASSERT_EQ(freexl_select_active_worksheet(handle, 0), FREEXL_OK);
    for (unsigned short c = 0; c < 19; ++c) EXPECT_EQ(freexlText(handle, 0, c), kHeadings[c]) << c;
    std::vector<std::string> entry(19);
    entry[0] = "山田;太郎";
    entry[1] = "0312";
    entry[6] = "090";
    entry[12] = "045";
    entry[13] = "a@b.jp";
    entry[16] = "c@d.jp";
    for (unsigned short c = 0; c < 19; ++c) EXPECT_EQ(freexlText(handle, 1, c), entry[c]) << c;
    EXPECT_EQ(freexlText(handle, 2, 7), "0455");  // a blank first piece keeps its group
    EXPECT_EQ(freexlText(handle, 3, 0), "");
    EXPECT_EQ(freexlText(handle, 3, 2), "070");
    freexl_close(handle);

    // Borders and fills, through our own record reader.
    std::vector<test::Record> records = test::records(test::workbookStream(readBytes(path)));
    std::vector<std::uint32_t> palette;
    std::vector<std::string> xfs;
    std::map<std::pair<int, int>, int> cellXf;
    for (const test::Record& record : records) {
        if (record.type == 0x0092)
            for (int i = 0; i < test::le16(record.data, 0); ++i)
                palette.push_back(std::uint8_t(record.data[2 + 4 * i]) << 16 |
                                  std::uint8_t(record.data[3 + 4 * i]) << 8 |
                                  std::uint8_t(record.data[4 + 4 * i]));
        if (record.type == 0x00E0) xfs.push_back(record.data);
        if (record.type == 0x00FD || record.type == 0x0201)
            cellXf[{test::le16(record.data, 0), test::le16(record.data, 2)}] =
                test::le16(record.data, 4);
        if (record.type == 0x00BE) {
            int row = test::le16(record.data, 0), first = test::le16(record.data, 2);
            for (size_t k = 0; 4 + 2 * k + 2 < record.data.size(); ++k)
                cellXf[{row, first + int(k)}] = test::le16(record.data, 4 + 2 * k);
        }
    }
    ASSERT_EQ(palette.size(), 56u);
    const std::uint32_t groupColours[] = {0x7D7D7D, 0x1E64C8, 0x0AE10C,
                                          0x7D7D64, 0x7D7DFF, 0x7D7D3C};
    for (int row : {0, 1, 2, 3}) {
        for (int column = 0; column < 19; ++column) {
            ASSERT_TRUE(cellXf.count({row, column})) << row << "," << column;
            const std::string& xf = xfs.at(cellXf[{row, column}]);
            std::uint32_t lines = test::le32(xf, 10), colours = test::le32(xf, 14);
            EXPECT_EQ(lines & 0xFFFF, 0x1111u) << "thin on all four edges";
            int pattern = colours >> 26;
            if (column == 0) {
                EXPECT_EQ(pattern, 0);
                continue;
            }
            EXPECT_EQ(pattern, 1);
            int icv = test::le16(xf, 18) & 0x7F;
            int group = column <= 12 ? (column - 1) / 4 : 3 + (column - 13) / 2;
            EXPECT_EQ(palette.at(icv - 8), groupColours[group]) << row << "," << column;
        }
    }
}

TEST(Workbook, SharedStringsAcrossContinueRecordsInALargeFile) {
    TempFolder folder;
    Sheet sheet;
    std::string longJapanese;
    for (int i = 0; i < 5000; ++i) longJapanese += "電";
    sheet.setText(1, 1, longJapanese);
    std::mt19937 random(7);
    std::vector<std::string> texts;
    // Enough distinct long strings that the FAT needs more than the header's 109 sectors.
    for (int r = 2; r <= 3002; ++r) {
        std::string text = std::to_string(r) + ":";
        while (text.size() < 1200) text += char('a' + random() % 26);
        texts.push_back(text);
        sheet.setText(r, 2, text);
    }
    std::string path = folder.file("big.xls");
    saveXlsFile(sheet, path);
    EXPECT_GT(std::filesystem::file_size(path), 109u * 128 * 512);
    std::unique_ptr<WorkbookReader> book = WorkbookReader::open(path);
    EXPECT_EQ(book->cellText(1, 1), longJapanese);
    for (int r = 2; r <= 3002; ++r) ASSERT_EQ(book->cellText(r, 2), texts[r - 2]) << r;
}

TEST(Workbook, NumberCellsReadAsTheTextTheyShow) {
    TempFolder folder;
    std::string path = folder.file("numbers.xlsx");
    lxw_workbook* workbook = workbook_new(path.c_str());
    lxw_worksheet* worksheet = workbook_add_worksheet(workbook, nullptr);
    worksheet_write_string(worksheet, 1, 0, "Nakamura", nullptr);
    worksheet_write_number(worksheet, 1, 1, 312345678, nullptr);
    worksheet_write_number(worksheet, 1, 13, 1.5, nullptr);
    ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);
    Store store = Store::inMemory();
    ImportExcelBook(store, path);
    Rows rows = storedRows(store);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][4], "TEL;VOICE;HOME:312345678<>");
    EXPECT_EQ(rows[0][5], "EMAIL;INTERNET:1.5<>");
    EXPECT_EQ(numberText(90123456789.0), "90123456789");
    EXPECT_EQ(numberText(-3), "-3");
}

TEST(Workbook, AnEmptyRowStopsTheImport) {
    TempFolder folder;
    Sheet sheet;
    for (int r = 2; r <= 38; ++r) sheet.setText(r, 1, "名" + std::to_string(r));
    sheet.setText(39, 2, "0312");  // a number but no name
    sheet.setText(40, 1, "never read");
    std::string path = folder.file("gap.xls");
    saveXlsFile(sheet, path);
    Store store = Store::inMemory();
    EXPECT_EQ(ImportExcelBook(store, path), 37);
    EXPECT_EQ(storedRows(store).back()[2], "N;CHARSET=SHIFT_JIS:名38");

    // A sheet with rows whose very first name is missing says so instead of adding nothing.
    Sheet nameless;
    nameless.setText(1, 1, "名前");
    nameless.setText(2, 2, "0312");
    nameless.setText(3, 1, "山田");
    std::string namelessPath = folder.file("nameless.xls");
    saveXlsFile(nameless, namelessPath);
    try {
        ImportExcelBook(store, namelessPath);
        FAIL() << "a sheet with rows imported nothing without a word";
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.line(), 2);
    }
    Sheet headingOnly;
    headingOnly.setText(1, 1, "名前");
    std::string headingPath = folder.file("heading.xls");
    saveXlsFile(headingOnly, headingPath);
    EXPECT_EQ(ImportExcelBook(store, headingPath), 0);
}

TEST(Workbook, DamagedFilesGiveAMessageAndLeaveTheStore) {
    ProgramFolder program;
    Store source = Store::inMemory();
    addEntries(source);
    std::string good = program.folder.file("good.xls");
    std::string goodX = program.folder.file("good.xlsx");
    writeBook(source, program.folder.path(), good);
    writeBook(source, program.folder.path(), goodX);
    std::string bytes = readBytes(good), bytesX = readBytes(goodX);
    std::mt19937 random(11);
    std::string noise(6000, '\0');
    for (char& c : noise) c = char(random());
    std::vector<std::string> damaged = {
        program.folder.write("truncated.xls", bytes.substr(0, bytes.size() / 3)),
        program.folder.write("header-only.xls", bytes.substr(0, 512)),
        program.folder.write("noise.xls", noise),
        program.folder.write("text.xls", "名前,自宅\r\n山田,0312\r\n"),
        program.folder.write("truncated.xlsx", bytesX.substr(0, bytesX.size() / 2)),
        program.folder.write("empty.xls", ""),
    };
    Store store = Store::inMemory();
    ImportExcelBook(store, good);
    Rows before = storedRows(store);
    for (const std::string& path : damaged) {
        try {
            ImportExcelBook(store, path);
            ADD_FAILURE() << path << " was read";
        } catch (const TsunagiError& error) {
            EXPECT_EQ(error.file(), path);
        }
        EXPECT_EQ(storedRows(store), before) << path;
    }
}

TEST(Workbook, TheXlsLibraryRunsApartSoItsCrashesAreMessages) {
    // A damaged workbook that made libfreexl read outside its stack (found by fuzzing).
    Store store = Store::inMemory();
    std::string found =
        std::string(TSUNAGI_FIXTURES) + "/workbook/fixtures/freexl-stack-underflow.xls";
    EXPECT_THROW(ImportExcelBook(store, found), TsunagiError);
    // One of 5 KiB that sent it seeking through the file for seconds: refused as damaged, at
    // the end of the time a book of its size may take.
    std::string looping = std::string(TSUNAGI_FIXTURES) + "/workbook/fixtures/freexl-long-loop.xls";
    try {
        ImportExcelBook(store, looping);
        ADD_FAILURE() << looping << " was read";
    } catch (const TsunagiError& error) {
        EXPECT_EQ(error.file(), looping);
    }

    // Whatever the library does, a reader that dies or hangs is a message, not our end.
    TempFolder folder;
    Sheet sheet;
    sheet.setText(2, 1, "name");
    std::string book = folder.file("book.xls");
    saveXlsFile(sheet, book);
    std::string saved = xlsReaderHelper();
    for (const char* script :
         {"#!/bin/sh\nkill -SEGV $$\n", "#!/bin/sh\nexit 7\n", "#!/bin/sh\n"}) {
        std::string helper = folder.write("helper.sh", script);
        std::filesystem::permissions(helper, std::filesystem::perms::owner_all);
        setXlsReaderHelper(helper);
        try {
            ImportExcelBook(store, book);
            if (std::string(script) != "#!/bin/sh\n") ADD_FAILURE() << script;
        } catch (const TsunagiError& error) {
            EXPECT_EQ(error.file(), book);
        }
    }
    setXlsReaderHelper(folder.file("missing-helper"));
    EXPECT_THROW(ImportExcelBook(store, book), TsunagiError);
    setXlsReaderHelper(saved);
    EXPECT_TRUE(storedRows(store).empty());
    EXPECT_EQ(ImportExcelBook(store, book), 1);
}

TEST(Workbook, AValueTooLongForACellRefusesTheSaveAndNamesTheEntry) {
    ProgramFolder program;
    Store store = Store::inMemory();
    {
        Connection connection = store.open();
        EntryInserter inserter(connection);
        inserter.insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:short", "END:VCARD"});
        // 32,767 characters fit; one more does not (a character outside the BMP counts twice).
        inserter.insert(
            {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:" + std::string(32767, 'a'), "END:VCARD"});
        inserter.insert(
            {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:" + std::string(32766, 'b') + "𠀋", "END:VCARD"});
    }
    for (const char* name : {"long.xls", "long.xlsx"}) {
        std::string path = program.folder.file(name);
        try {
            writeBook(store, program.folder.path(), path);
            ADD_FAILURE() << name << ": a value over a cell's length was written";
        } catch (const TsunagiError& error) {
            EXPECT_NE(error.reason().find("データ 3"), std::string::npos) << error.reason();
        }
        EXPECT_FALSE(std::filesystem::exists(path)) << name;
    }
}

TEST(Workbook, EmptyStoreSavesTheTemplateAndMissingTemplateIsAnError) {
    ProgramFolder program;
    Store store = Store::inMemory();
    std::string path = program.folder.file("empty.xls");
    writeBook(store, program.folder.path(), path);
    EXPECT_EQ(readBytes(path), readBytes(program.folder.file("database/template.xls")));
    std::string pathX = program.folder.file("empty.xlsx");
    writeBook(store, program.folder.path(), pathX);
    EXPECT_EQ(WorkbookReader::open(pathX)->cellText(1, 1), "");
    EXPECT_THROW(writeBook(store, program.folder.file("nowhere"), path), TsunagiError);
}

}  // namespace
}  // namespace tsunagi
