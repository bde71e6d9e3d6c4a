// Office Open XML workbooks, written by libxlsxwriter.

#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <map>

#include "platform/error.h"
#include "platform/text_file.h"
#include "workbook/sheet.h"

namespace tsunagi {

namespace {

void check(lxw_error error, const std::string& path, int systemError = 0) {
    if (error == LXW_NO_ERROR) return;
    // A full disk or a folder that refuses the file shows as a zip error: say what it is.
    std::string reason = systemError != 0 ? systemReason(systemError) : lxw_strerror(error);
    throw TsunagiError(path, 0, "ブックを書き出せません（" + reason + "）。");
}

// Sends standard error to /dev/null for as long as it lives.
class QuietStandardError {
  public:
    QuietStandardError() : saved_(dup(STDERR_FILENO)) {
        int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) {
            dup2(null, STDERR_FILENO);
            close(null);
        }
    }
    ~QuietStandardError() {
        if (saved_ >= 0) {
            dup2(saved_, STDERR_FILENO);
            close(saved_);
        }
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

  private:
    int saved_;
};

// The library escapes control characters as _xHHHH_ but leaves a typed "_x0041_" alone, which
// every reader then takes for "A". Its underscore is escaped as _x005F_, as the format says.
std::string escapeLiteralEscapes(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_' &&
            std::all_of(text.begin() + i + 2, text.begin() + i + 6,
                        [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
            out += "_x005F_";
            continue;
        }
        out += text[i];
    }
    return out;
}

}  // namespace

void saveAsXlsx(const Sheet& sheet, AtomicFile& file) {
    const std::string& path = file.path();
    std::string temporary = file.handOver();
    lxw_workbook_options options{};
    // Rows are written in order, so the library streams them to its temporary file instead of
    // keeping them (its strings then stand inline in the cells, which our reader takes too).
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(temporary.c_str(), &options);
    if (!workbook) throw TsunagiError(path, 0, "ブックを作成できません。");
    lxw_worksheet* worksheet = workbook_add_worksheet(workbook, "Sheet1");

    std::map<std::tuple<bool, bool, std::uint32_t>, lxw_format*> formats;
    auto formatFor = [&](const SheetCell& cell) {
        std::uint32_t colour = (cell.fill.red << 16) | (cell.fill.green << 8) | cell.fill.blue;
        auto key = std::make_tuple(cell.border, cell.filled, cell.filled ? colour : 0u);
        auto found = formats.find(key);
        if (found != formats.end()) return found->second;
        lxw_format* format = workbook_add_format(workbook);
        if (sheet.textFormat) format_set_num_format(format, "@");
        if (cell.border) format_set_border(format, LXW_BORDER_THIN);
        if (cell.filled) {
            format_set_pattern(format, LXW_PATTERN_SOLID);
            format_set_bg_color(format, colour);
        }
        formats.emplace(key, format);
        return format;
    };

    lxw_format* textColumns = workbook_add_format(workbook);
    if (sheet.textFormat) format_set_num_format(textColumns, "@");
    for (size_t c = 0; c < sheet.columnWidths.size(); ++c)
        worksheet_set_column(worksheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                             sheet.columnWidths[c], textColumns);

    for (int r = 1; r <= sheet.rows(); ++r) {
        const SheetRow& cells = sheet.row(r);
        for (size_t c = 0; c < cells.cells.size(); ++c) {
            const SheetCell& cell = cells.cells[c];
            lxw_row_t row = static_cast<lxw_row_t>(r - 1);
            lxw_col_t column = static_cast<lxw_col_t>(c);
            if (cell.textSize > 0)
                worksheet_write_string(worksheet, row, column,
                                       escapeLiteralEscapes(std::string(cells.text(cell))).c_str(),
                                       formatFor(cell));
            else if (cell.border || cell.filled)
                worksheet_write_blank(worksheet, row, column, formatFor(cell));
        }
    }
    errno = 0;
    lxw_error closed;
    {
        // The library prints its own "[ERROR]" lines in English; the user hears ours.
        QuietStandardError quiet;
        closed = workbook_close(workbook);
    }
    check(closed, path, errno);
}

}  // namespace tsunagi
