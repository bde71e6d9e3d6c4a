#include "workbook/workbook_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <orcus/exception.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/import_interface.hpp>
#include <unordered_map>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/helper_process.h"

namespace tsunagi {

namespace ss = orcus::spreadsheet;

namespace {
std::string& helperPath() {
    static std::string path = programFolder() + "/tsunagi-xlsread";
    return path;
}
}  // namespace

const std::string& xlsReaderHelper() { return helperPath(); }
void setXlsReaderHelper(std::string path) { helperPath() = std::move(path); }

std::string numberText(double value) {
    if (std::isfinite(value) && std::floor(value) == value && std::fabs(value) < 1e15) {
        char text[32];
        std::snprintf(text, sizeof text, "%.0f", value);
        return text;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

namespace {

// The first sheet's cells by row and column.
class CellTexts {
  public:
    void set(ss::row_t row, ss::col_t column, std::string text) {
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

// .xls through libfreexl, run in a helper process of its own (see xlsread_main.cpp).
class XlsReader : public WorkbookReader {
  public:
    explicit XlsReader(const std::string& path) {
        ProcessResult result = runProcess(xlsReaderHelper(), {path}, 40, size_t(1) << 30);
        if (!result.started)
            throw TsunagiError(xlsReaderHelper(), 0,
                               "ブックを読むためのプログラムを起動できません。");
        if (result.exitCode == 2) throw TsunagiError(path, 0, "Excel のブックとして読めません。");
        if (result.exitCode == 3) throw TsunagiError(path, 0, "ブックの最初のシートを読めません。");
        if (result.timedOut)
            throw TsunagiError(path, 0,
                               "ブックの読み込みが終わりません。壊れている可能性があります。");
        if (result.exitCode != 0) throw TsunagiError(path, 0, "ブックが壊れているため読めません。");
        const std::string& out = result.output;
        size_t at = 0;
        auto take = [&](int bytes) {
            std::uint32_t value = 0;
            for (int k = 0; k < bytes; ++k)
                value |= std::uint32_t(std::uint8_t(out[at + k])) << (8 * k);
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

// .xlsx through liborcus: it parses the package and hands us the first sheet's cells.
class SharedStrings : public ss::iface::import_shared_strings {
  public:
    size_t append(std::string_view s) override {
        strings.emplace_back(s);
        return strings.size() - 1;
    }
    size_t add(std::string_view s) override { return append(s); }
    void set_segment_font(size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t,
                                ss::color_elem_t) override {}
    void append_segment(std::string_view s) override { segments.append(s); }
    size_t commit_segments() override {
        strings.push_back(std::move(segments));
        segments.clear();
        return strings.size() - 1;
    }
    std::vector<std::string> strings;
    std::string segments;
};

class FirstSheet : public ss::iface::import_sheet {
  public:
    FirstSheet(CellTexts& cells, SharedStrings& strings, bool keep)
        : cells_(cells), strings_(strings), keep_(keep) {}
    void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override {
        if (keep_) cells_.set(row, col, std::string(s));
    }
    void set_string(ss::row_t row, ss::col_t col, ss::string_id_t index) override {
        if (keep_ && index < strings_.strings.size()) cells_.set(row, col, strings_.strings[index]);
    }
    void set_value(ss::row_t row, ss::col_t col, double value) override {
        if (keep_) cells_.set(row, col, numberText(value));
    }
    void set_bool(ss::row_t row, ss::col_t col, bool value) override {
        if (keep_) cells_.set(row, col, value ? "TRUE" : "FALSE");
    }
    void set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int hour,
                       int minute, double second) override {
        if (!keep_) return;
        char text[64];
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02.0f", year, month, day, hour,
                      minute, second);
        cells_.set(row, col, text);
    }
    void set_format(ss::row_t, ss::col_t, size_t) override {}
    void set_format(ss::row_t, ss::col_t, ss::row_t, ss::col_t, size_t) override {}
    void fill_down_cells(ss::row_t, ss::col_t, ss::row_t) override {}
    ss::range_size_t get_sheet_size() const override { return {1048576, 16384}; }

  private:
    CellTexts& cells_;
    SharedStrings& strings_;
    bool keep_;
};

// Cell references in A1 form ("B12", "A1:S2"), which the parser asks us to resolve.
class A1References : public ss::iface::import_reference_resolver {
  public:
    ss::src_address_t resolve_address(std::string_view address) override {
        ss::src_address_t result{0, 0, 0};
        size_t i = 0;
        while (i < address.size() && address[i] == '$') ++i;
        long column = 0;
        for (; i < address.size() && std::isalpha(static_cast<unsigned char>(address[i])); ++i)
            column = column * 26 + (std::toupper(static_cast<unsigned char>(address[i])) - 'A' + 1);
        while (i < address.size() && address[i] == '$') ++i;
        long row = 0;
        for (; i < address.size() && std::isdigit(static_cast<unsigned char>(address[i])); ++i)
            row = std::min(row * 10 + (address[i] - '0'), 1L << 24);
        if (column == 0 || row == 0 || i != address.size())
            throw orcus::invalid_arg_error("not a cell address");
        result.row = static_cast<ss::row_t>(row - 1);
        result.column = static_cast<ss::col_t>(std::min(column, 1L << 16) - 1);
        return result;
    }
    ss::src_range_t resolve_range(std::string_view range) override {
        size_t colon = range.find(':');
        if (colon == std::string_view::npos) {
            ss::src_address_t single = resolve_address(range);
            return {single, single};
        }
        return {resolve_address(range.substr(0, colon)), resolve_address(range.substr(colon + 1))};
    }
};

class Factory : public ss::iface::import_factory {
  public:
    explicit Factory(CellTexts& cells) : cells_(cells) {}
    ss::iface::import_shared_strings* get_shared_strings() override { return &strings_; }
    ss::iface::import_reference_resolver* get_reference_resolver(
        ss::formula_ref_context_t) override {
        return &references_;
    }
    ss::iface::import_sheet* append_sheet(ss::sheet_t index, std::string_view name) override {
        sheets_.push_back(std::make_unique<FirstSheet>(cells_, strings_, index == 0));
        names_.emplace_back(name);
        return sheets_.back().get();
    }
    ss::iface::import_sheet* get_sheet(std::string_view name) override {
        for (size_t i = 0; i < names_.size(); ++i)
            if (names_[i] == name) return sheets_[i].get();
        return nullptr;
    }
    ss::iface::import_sheet* get_sheet(ss::sheet_t index) override {
        return index >= 0 && static_cast<size_t>(index) < sheets_.size() ? sheets_[index].get()
                                                                         : nullptr;
    }
    void finalize() override {}

  private:
    CellTexts& cells_;
    SharedStrings strings_;
    A1References references_;
    std::vector<std::unique_ptr<FirstSheet>> sheets_;
    std::vector<std::string> names_;
};

class XlsxReader : public WorkbookReader {
  public:
    explicit XlsxReader(const std::string& path) {
        Factory factory(cells_);
        try {
            orcus::orcus_xlsx reader(&factory);
            reader.read_file(path);
        } catch (const std::exception& error) {
            throw TsunagiError(
                path, 0,
                std::string("Excel のブック（.xlsx）として読めません（") + error.what() + "）。");
        }
    }
    std::string cellText(int row, int column) override { return cells_.get(row, column); }

  private:
    CellTexts cells_;
};

}  // namespace

std::unique_ptr<WorkbookReader> WorkbookReader::open(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TsunagiError(path, 0, "ファイルを開けません。");
    char magic[8] = {};
    in.read(magic, sizeof magic);
    if (in.gcount() >= 8 &&
        std::string(magic, 8) == std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return std::make_unique<XlsReader>(path);
    if (in.gcount() >= 4 && std::string(magic, 4) == std::string("PK\x03\x04", 4))
        return std::make_unique<XlsxReader>(path);
    throw TsunagiError(path, 0, "Excel のブック（.xls、.xlsx）ではありません。");
}

}  // namespace tsunagi
