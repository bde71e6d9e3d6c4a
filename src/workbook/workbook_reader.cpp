#include "workbook/workbook_reader.h"

#include <cstdint>
#include <unordered_map>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/helper_process.h"
#include "platform/install_layout.h"
#include "workbook/book_kind.h"
#include "workbook/xlsread_protocol.h"

namespace tsunagi {

namespace {

std::string& helperPath() {
    static std::string path = programFiles(programFolder()).helper;
    return path;
}

// The first sheet's cells by row and column.
class CellTexts {
  public:
    void set(std::int64_t row, std::int64_t column, std::string text) {
        if (row < 0 || column < 0) return;
        cells_[key(row, column)] = std::move(text);
    }
    bool anyBelow(int row) const {
        for (const auto& [key, text] : cells_)
            if (static_cast<std::int64_t>(key >> 20) >= row) return true;
        return false;
    }
    std::string get(int row, int column) const {
        auto found = cells_.find(key(row - 1, column - 1));
        return found == cells_.end() ? std::string() : found->second;
    }

  private:
    static std::uint64_t key(std::int64_t row, std::int64_t column) {
        return (static_cast<std::uint64_t>(row) << 20) | static_cast<std::uint64_t>(column);
    }
    std::unordered_map<std::uint64_t, std::string> cells_;
};

// The cells as the helper process reads them (see xlsread_protocol.h), taken as they come:
// only those within the asked rows and columns are kept, and no more than kMaxKeptBytes of
// them, so this process stays small whatever the workbook holds.
class HelperReader : public WorkbookReader {
  public:
    static constexpr size_t kMaxKeptBytes = size_t(64) << 20;

    HelperReader(const std::string& path, int maxRow, int maxColumn) {
        std::string pending;
        size_t kept = 0;
        bool tooLarge = false;
        ProcessResult result = runProcess(
            xlsReaderHelper(), {path, std::to_string(maxRow), std::to_string(maxColumn)}, 40,
            [&](std::string_view bytes) {
                pending.append(bytes);
                size_t used = 0;
                forEachCellRecord(
                    pending, [&](std::uint32_t row, std::uint32_t column, std::string_view text) {
                        used += 10 + text.size();
                        if (row < 1 || column < 1 || row > std::uint32_t(maxRow) ||
                            column > std::uint32_t(maxColumn))
                            return;
                        kept += text.size() + 32;
                        if (kept <= kMaxKeptBytes)
                            cells_.set(std::int64_t(row) - 1, std::int64_t(column) - 1,
                                       std::string(text));
                    });
                pending.erase(0, used);
                // A record longer than what may be kept cannot be complete either.
                tooLarge = kept > kMaxKeptBytes || pending.size() > kMaxKeptBytes;
                return !tooLarge;
            });
        if (!result.started)
            throw TsunagiError(xlsReaderHelper(), 0,
                               "ブックを読むためのプログラムを起動できません。");
        if (tooLarge)
            throw TsunagiError(path, 0,
                               "ブックのデータが大きすぎるため読めません（64 MiB まで）。");
        if (result.timedOut)
            throw TsunagiError(path, 0,
                               "ブックの読み込みが終わりません。壊れている可能性があります。");
        XlsReadStatus status = xlsReadStatusOf(result.exitCode);
        if (status != XlsReadStatus::Read) throw TsunagiError(path, 0, xlsReadMessage(status));
    }
    std::string cellText(int row, int column) override { return cells_.get(row, column); }
    bool hasCellsBelow(int row) const override { return cells_.anyBelow(row); }

  private:
    CellTexts cells_;
};

}  // namespace

const std::string& xlsReaderHelper() { return helperPath(); }
void setXlsReaderHelper(std::string path) { helperPath() = std::move(path); }

std::unique_ptr<WorkbookReader> WorkbookReader::open(const std::string& path, int maxRow,
                                                     int maxColumn) {
    if (bookKindOf(path) == BookKind::Unknown)
        throw TsunagiError(path, 0, "Excel のブック（.xls、.xlsx）ではありません。");
    return std::make_unique<HelperReader>(path, maxRow, maxColumn);
}

}  // namespace tsunagi
