#include "workbook/sheet_readers.h"

#include <freexl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <orcus/exception.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/sax_parser.hpp>
#include <orcus/spreadsheet/import_interface.hpp>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>
#include <vector>

#include "workbook/xls_formulas.h"
#include "workbook/xlsread_protocol.h"

namespace tsunagi {

namespace ss = orcus::spreadsheet;

std::string numberText(double value) {
    char text[32];
    if (std::isfinite(value) && std::floor(value) == value && std::fabs(value) < 1e15)
        std::snprintf(text, sizeof text, "%.0f", value);
    else
        std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

void readXlsCells(const std::string& path, const CellVisitor& cells) {
    const void* handle = nullptr;
    if (freexl_open(path.c_str(), &handle) != FREEXL_OK || !handle)
        throw XlsReadFailure(path, XlsReadStatus::NotAWorkbook);
    std::unique_ptr<const void, int (*)(const void*)> closer(handle, freexl_close);
    unsigned int sheets = 0, rows = 0;
    unsigned short columns = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0 ||
        freexl_select_active_worksheet(handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
        throw XlsReadFailure(path, XlsReadStatus::SheetUnreadable);
    for (unsigned int r = 0; r < rows && r < 65536; ++r) {
        for (unsigned short c = 0; c < columns && c < 256; ++c) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(handle, r, c, &value) != FREEXL_OK) continue;
            std::string text;
            switch (value.type) {
                case FREEXL_CELL_INT:
                    text = std::to_string(value.value.int_value);
                    break;
                case FREEXL_CELL_DOUBLE:
                    text = numberText(value.value.double_value);
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    if (value.value.text_value) text = value.value.text_value;
                    break;
                default:
                    break;
            }
            if (!text.empty()) cells(r + 1, c + 1u, text);
        }
    }
    // Formula cells, which libfreexl passes over: their cached results, as the sheet shows them.
    std::ifstream in(path, std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    forEachFormulaResult(workbookStreamOf(file),
                         [&](std::uint32_t row, std::uint32_t column, const std::string& text) {
                             if (row <= 65536 && column <= 256) cells(row, column, text);
                         });
}

namespace {

// Text in .xlsx escapes the characters XML cannot carry as _xHHHH_ (a carriage return is
// _x000D_), and an underscore that would read as such an escape as _x005F_.
std::string unescapeOoxml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_' &&
            std::all_of(text.begin() + i + 2, text.begin() + i + 6,
                        [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
            unsigned code = std::stoul(std::string(text.substr(i + 2, 4)), nullptr, 16);
            if (code < 0x80) {
                out += static_cast<char>(code);
            } else if (code < 0x800) {
                out += static_cast<char>(0xC0 | (code >> 6));
                out += static_cast<char>(0x80 | (code & 0x3F));
            } else {
                out += static_cast<char>(0xE0 | (code >> 12));
                out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (code & 0x3F));
            }
            i += 6;
            continue;
        }
        out += text[i];
    }
    return out;
}

// .xlsx through liborcus: it parses the package and hands us the first sheet's cells.
class SharedStrings : public ss::iface::import_shared_strings {
  public:
    size_t append(std::string_view s) override {
        strings.push_back(unescapeOoxml(s));
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
        strings.push_back(unescapeOoxml(segments));
        segments.clear();
        return strings.size() - 1;
    }
    std::vector<std::string> strings;
    std::string segments;
};

class FirstSheet : public ss::iface::import_sheet {
  public:
    FirstSheet(const CellVisitor& cells, SharedStrings& strings, bool keep)
        : cells_(cells), strings_(strings), keep_(keep) {}
    void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override {
        set(row, col, unescapeOoxml(s));
    }
    void set_string(ss::row_t row, ss::col_t col, ss::string_id_t index) override {
        if (index < strings_.strings.size()) set(row, col, strings_.strings[index]);
    }
    void set_value(ss::row_t row, ss::col_t col, double value) override {
        set(row, col, numberText(value));
    }
    void set_bool(ss::row_t row, ss::col_t col, bool value) override {
        set(row, col, value ? "TRUE" : "FALSE");
    }
    void set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int hour,
                       int minute, double second) override {
        char text[64];
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02.0f", year, month, day, hour,
                      minute, second);
        set(row, col, text);
    }
    void set_format(ss::row_t, ss::col_t, size_t) override {}
    void set_format(ss::row_t, ss::col_t, ss::row_t, ss::col_t, size_t) override {}
    void fill_down_cells(ss::row_t, ss::col_t, ss::row_t) override {}
    ss::range_size_t get_sheet_size() const override { return {1048576, 16384}; }

  private:
    void set(ss::row_t row, ss::col_t column, const std::string& text) {
        if (keep_ && row >= 0 && column >= 0 && !text.empty())
            cells_(static_cast<std::uint32_t>(row) + 1, static_cast<std::uint32_t>(column) + 1,
                   text);
    }

    const CellVisitor& cells_;
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
    explicit Factory(const CellVisitor& cells) : cells_(cells) {}
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
    const CellVisitor& cells_;
    SharedStrings strings_;
    A1References references_;
    std::vector<std::unique_ptr<FirstSheet>> sheets_;
    std::vector<std::string> names_;
};

// Cells with inline strings (t="inlineStr"), as openpyxl, Gnumeric and libxlsxwriter's
// streaming mode write them, which liborcus 0.17 passes over without a word. They are read from
// the first sheet's part with liborcus's own zip and XML parsers.
class PartReader {
  public:
    explicit PartReader(const std::string& path) : stream_(path.c_str()), archive_(&stream_) {
        archive_.load();
    }
    std::string part(std::string_view name) {
        std::vector<unsigned char> bytes;
        if (!archive_.read_file_entry(name, bytes)) return "";
        return std::string(bytes.begin(), bytes.end());
    }

  private:
    orcus::zip_archive_stream_fd stream_;
    orcus::zip_archive archive_;
};

// Calls `element(name, attributes)` for every element of an XML part and `text(characters)`
// for its text.
template <typename Element, typename Text>
void walkXml(const std::string& xml, Element element, Text text) {
    struct Handler : orcus::sax_handler {
        Element& onElement;
        Text& onText;
        std::vector<std::pair<std::string, std::string>> attributes;
        Handler(Element& e, Text& t) : onElement(e), onText(t) {}
        void attribute(const orcus::sax::parser_attribute& attr) {
            attributes.emplace_back(std::string(attr.name), std::string(attr.value));
        }
        void start_element(const orcus::sax::parser_element& elem) {
            onElement(elem.name, attributes, true);
            attributes.clear();
        }
        void end_element(const orcus::sax::parser_element& elem) {
            onElement(elem.name, attributes, false);
            attributes.clear();
        }
        void characters(std::string_view value, bool) { onText(value); }
    } handler(element, text);
    orcus::sax_parser<Handler> parser(xml.data(), xml.size(), handler);
    parser.parse();
}

using Attributes = std::vector<std::pair<std::string, std::string>>;

std::string attributeOf(const Attributes& attributes, std::string_view name) {
    for (const auto& [key, value] : attributes)
        if (key == name) return value;
    return "";
}

// The part of the workbook's first sheet, from workbook.xml and its relationships.
std::string firstSheetPart(PartReader& package) {
    std::string id;
    walkXml(
        package.part("xl/workbook.xml"),
        [&](std::string_view name, const Attributes& attributes, bool start) {
            if (start && name == "sheet" && id.empty()) id = attributeOf(attributes, "id");
        },
        [](std::string_view) {});
    std::string target;
    walkXml(
        package.part("xl/_rels/workbook.xml.rels"),
        [&](std::string_view name, const Attributes& attributes, bool start) {
            if (start && name == "Relationship" && attributeOf(attributes, "Id") == id)
                target = attributeOf(attributes, "Target");
        },
        [](std::string_view) {});
    if (target.empty()) return "xl/worksheets/sheet1.xml";
    if (target.front() == '/') return target.substr(1);
    return "xl/" + target;
}

void readInlineStrings(const std::string& path, const CellVisitor& cells) {
    PartReader package(path);
    A1References references;
    std::string reference, text;
    bool inlineCell = false, inText = false, inPhonetic = false;
    walkXml(
        package.part(firstSheetPart(package)),
        [&](std::string_view name, const Attributes& attributes, bool start) {
            if (name == "c") {
                if (start) {
                    reference = attributeOf(attributes, "r");
                    inlineCell = attributeOf(attributes, "t") == "inlineStr";
                    text.clear();
                } else if (inlineCell && !text.empty() && !reference.empty()) {
                    ss::src_address_t at = references.resolve_address(reference);
                    cells(static_cast<std::uint32_t>(at.row) + 1,
                          static_cast<std::uint32_t>(at.column) + 1, unescapeOoxml(text));
                }
            } else if (name == "rPh") {
                inPhonetic = start;  // a reading guide, not the cell's text
            } else if (name == "t") {
                inText = start && inlineCell && !inPhonetic;
            }
        },
        [&](std::string_view characters) {
            if (inText) text.append(characters);
        });
}

}  // namespace

void readXlsxCells(const std::string& path, const CellVisitor& cells) {
    Factory factory(cells);
    try {
        orcus::orcus_xlsx reader(&factory);
        reader.read_file(path);
        readInlineStrings(path, cells);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& error) {
        throw XlsReadFailure(path, XlsReadStatus::NotAWorkbook,
                             std::string("（") + error.what() + "）");
    }
}

}  // namespace tsunagi
