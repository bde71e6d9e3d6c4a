#include "workbook/workbook_reader.h"

#include <cstdint>
#include <unordered_map>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/helper_process.h"
#include "workbook/sheet_readers.h"

namespace tsunagi {

namespace {

std::string& helperPath() {
    static std::string path = programFolder() + "/tsunagi-xlsread";
    return path;
}

// The first sheet's cells by row and column.
class CellTexts {
  public:
    void set(std::int64_t row, std::int64_t column, std::string text) {
        if (row < 0 || column < 0) return;
        cells_[key(row, column)] = std::move(text);
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

// The cells as the helper process read them (see xlsread_main.cpp).
class HelperReader : public WorkbookReader {
public:
    explicit HelperReader(const std::string& path) {
        ProcessResult result = runProcess(xlsReaderHelper(), {path}, 40, size_t(1) << 30);
        if (!result.started)
            throw TsunagiError(xlsReaderHelper(), 0, "ブックを読むためのプログラムを起動できません。");
        if (result.timedOut)
            throw TsunagiError(path, 0, "ブックの読み込みが終わりません。壊れている可能性があります。");
        switch (result.exitCode) {
            case 0: break;
            case 2: throw TsunagiError(path, 0, "Excel のブックとして読めません。");
            case 3: throw TsunagiError(path, 0, "ブックの最初のシートを読めません。");
            case 4: throw TsunagiError(path, 0, "ブックが大きすぎるか、壊れているため読めません。");
            default: throw TsunagiError(path, 0, "ブックが壊れているため読めません。");
        }
        const std::string& out = result.output;
        size_t at = 0;
        auto take = [&](int bytes) {
            std::uint32_t value = 0;
            for (int k = 0; k < bytes; ++k) value |= std::uint32_t(std::uint8_t(out[at + k])) << (8 * k);
            at += bytes;
            return value;
        };
        while (at + 10 <= out.size()) {
            std::uint32_t row = take(4), column = take(2), length = take(4);
            if (length > out.size() - at) break;
            cells_.set(row - 1, column - 1, out.substr(at, length));
            at += length;
        }
    }
    std::string cellText(int row, int column) override { return cells_.get(row, column); }

private:
    CellTexts cells_;
};

}  // namespace

const std::string& xlsReaderHelper() { return helperPath(); }
void setXlsReaderHelper(std::string path) { helperPath() = std::move(path); }

std::unique_ptr<WorkbookReader> WorkbookReader::open(const std::string& path) {
    if (bookKindOf(path) == BookKind::Unknown)
        throw TsunagiError(path, 0, "Excel のブック（.xls、.xlsx）ではありません。");
    return std::make_unique<HelperReader>(path);
}

}  // namespace tsunagi
