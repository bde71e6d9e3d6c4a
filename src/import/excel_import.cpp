#include "import/excel_import.h"

#include "card/dialect.h"
#include "workbook/workbook_reader.h"

namespace tsunagi {

namespace {

constexpr int kLastRow = 60000;

struct SlotTypes {
    int firstColumn;
    const char* codes[4];
    int count;
};

const SlotTypes kNumberSlots[3] = {
    {2, {"VOICE;HOME:", "CELL:", "VOICE;WORK:", "VOICE:"}, 4},
    {6, {"VOICE;HOME:", "CELL:", "VOICE;WORK:", "VOICE:"}, 4},
    {10, {"VOICE;HOME:", "CELL:", "VOICE;WORK:", "VOICE:"}, 4},
};
const SlotTypes kMailSlots[3] = {
    {14, {"INTERNET:", "CELL:"}, 2},
    {16, {"INTERNET:", "CELL:"}, 2},
    {18, {"INTERNET:", "CELL:"}, 2},
};

// One piece per slot, from its first non-empty cell; the value of the item's column.
std::string slotPieces(WorkbookReader& book, int row, std::string_view item,
                       const SlotTypes (&slots)[3]) {
    std::string value;
    for (const SlotTypes& slot : slots) {
        for (int k = 0; k < slot.count; ++k) {
            std::string text = book.cellText(row, slot.firstColumn + k);
            if (text.empty()) continue;
            value += std::string(item) + slot.codes[k] + text + std::string(kJoin);
            break;
        }
    }
    return value;
}

}  // namespace

long ImportExcelBook(const Store& store, const std::string& path, const ImportProgress& progress) {
    // Only what the import reads: the heading, the data rows and the 19 columns.
    std::unique_ptr<WorkbookReader> book = WorkbookReader::open(path, kLastRow, 19);
    CardWriter writer(store, path, progress);
    std::vector<std::string> lineTemplate = writer.lineTemplate();
    int row = 2;
    try {
        for (; row <= kLastRow; ++row) {
            std::string name = book->cellText(row, 1);
            if (name.empty()) break;
            CardFields card;
            card.name = name;
            // The workbook always gives the number and the mail item a column, empty or not.
            card.numbers = slotPieces(*book, row, kNumberItem, kNumberSlots);
            card.mails = slotPieces(*book, row, kMailItem, kMailSlots);
            card.memoryNumber = std::to_string(row);
            writer.add(buildCardColumns(lineTemplate, card));
        }
    } catch (const TsunagiError& error) {
        rethrowAt(error, path, row);
    }
    // A sheet whose rows all went unread would otherwise end as a silent 0.
    if (row == 2 && book->hasCellsBelow(1))
        throw TsunagiError(path, 2,
                           "シートの 2 行目の A 列（名前）が空のため、データを読み込めません。"
                           "1 行目は見出し、2 行目から 1 行に 1 件、A 列に名前を入れてください。");
    return writer.commit();
}

}  // namespace tsunagi
