#pragma once

// What tsunagi-xlsread and the program that runs it say to each other. The helper writes the
// first sheet's non-empty cells to standard output, one record each: row (4 bytes), column
// (2 bytes), length (4 bytes), all little-endian, rows and columns counted from 1, then the
// cell's text in UTF-8. Its exit status says how the reading went.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace tsunagi {

enum class XlsReadStatus : int {
    Read = 0,
    NotAWorkbook = 2,
    SheetUnreadable = 3,
    OutOfMemory = 4,
    Damaged = 5,  // anything else: a crash, a signal, a status this side does not know
};

// The status an exit code stands for.
constexpr XlsReadStatus xlsReadStatusOf(int exitCode) {
    switch (exitCode) {
        case 0:
            return XlsReadStatus::Read;
        case 2:
            return XlsReadStatus::NotAWorkbook;
        case 3:
            return XlsReadStatus::SheetUnreadable;
        case 4:
            return XlsReadStatus::OutOfMemory;
        default:
            return XlsReadStatus::Damaged;
    }
}

// What the user is told for each status ("" when the book was read).
constexpr const char* xlsReadMessage(XlsReadStatus status) {
    switch (status) {
        case XlsReadStatus::Read:
            return "";
        case XlsReadStatus::NotAWorkbook:
            return "Excel のブックとして読めません。";
        case XlsReadStatus::SheetUnreadable:
            return "ブックの最初のシートを読めません。";
        case XlsReadStatus::OutOfMemory:
            return "ブックが大きすぎるか、壊れているため読めません。";
        case XlsReadStatus::Damaged:
            break;
    }
    return "ブックが壊れているため読めません。";
}

// A failure of the reading libraries, with the status the helper ends with.
class XlsReadFailure : public TsunagiError {
  public:
    XlsReadFailure(const std::string& path, XlsReadStatus status, const std::string& detail = "")
        : TsunagiError(path, 0, xlsReadMessage(status) + detail), status_(status) {}
    XlsReadStatus status() const { return status_; }

  private:
    XlsReadStatus status_;
};

inline void appendCellRecord(std::string& out, std::uint32_t row, std::uint16_t column,
                             std::string_view text) {
    auto put = [&out](std::uint32_t value, int bytes) {
        for (int k = 0; k < bytes; ++k) out.push_back(static_cast<char>((value >> (8 * k)) & 0xFF));
    };
    put(row, 4);
    put(column, 2);
    put(static_cast<std::uint32_t>(text.size()), 4);
    out.append(text);
}

// Calls `visit(row, column, text)` for each whole record in `bytes`; a record cut short at the
// end is passed over.
template <typename Visit>
void forEachCellRecord(std::string_view bytes, Visit visit) {
    size_t at = 0;
    auto take = [&](int count) {
        std::uint32_t value = 0;
        for (int k = 0; k < count; ++k)
            value |= std::uint32_t(std::uint8_t(bytes[at + k])) << (8 * k);
        at += count;
        return value;
    };
    while (at + 10 <= bytes.size()) {
        std::uint32_t row = take(4), column = take(2), length = take(4);
        if (length > bytes.size() - at) return;
        visit(row, column, bytes.substr(at, length));
        at += length;
    }
}

}  // namespace tsunagi
