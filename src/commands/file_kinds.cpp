#include "commands/file_kinds.h"

#include <algorithm>

#include "platform/text.h"

namespace tsunagi {

namespace {

const std::vector<FileKindInfo>& table() {
    static const std::vector<FileKindInfo> kinds = {
        {FileKind::PhoneCards, "VCF", {"vcf", "VCF"}, ".vcf", false},
        {FileKind::AddressBook, "CSV", {"csv", "CSV"}, ".csv", false},
        // The workbook engine reads and writes both kinds of workbook.
        {FileKind::Workbook, "XLS", {"xls", "XLS", "xlsx", "XLSX"}, ".xls", false},
        {FileKind::ListPage, "HTML", {"html", "HTML"}, ".html", false},
        {FileKind::Vcard3, "vCard 3.0 スマートフォン用", {"vcf", "VCF"}, nullptr, true},
        {FileKind::GoogleCsv, "Google 連絡先 CSV", {"csv", "CSV"}, nullptr, true},
    };
    return kinds;
}

// The file's own last extension decides, never a folder's name on the way to it: "x.csv/
// phone.vcf" is a card file, "old.vcf.d/book.csv" an address book.
bool hasMark(const std::string& name, FileKind kind) {
    std::string mark = fileKindInfo(kind).nameMark;
    size_t slash = name.find_last_of("/\\");
    std::string_view own =
        std::string_view(name).substr(slash == std::string::npos ? 0 : slash + 1);
    size_t dot = own.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string_view extension = own.substr(dot);
    if (extension == mark || extension == upperAscii(mark)) return true;
    // A workbook's mark is ".xls": ".xlsx" is one too.
    return kind == FileKind::Workbook && (extension == ".xlsx" || extension == ".XLSX");
}

std::optional<FileKind> firstMarked(const std::string& name,
                                    std::initializer_list<FileKind> order) {
    for (FileKind kind : order)
        if (hasMark(name, kind)) return kind;
    return std::nullopt;
}

}  // namespace

const FileKindInfo& fileKindInfo(FileKind kind) {
    return *std::find_if(table().begin(), table().end(),
                         [kind](const FileKindInfo& info) { return info.kind == kind; });
}

std::vector<FileKind> openDialogKinds(bool workbooks) {
    std::vector<FileKind> kinds = {FileKind::PhoneCards, FileKind::AddressBook};
    if (workbooks) kinds.push_back(FileKind::Workbook);
    return kinds;
}

std::vector<FileKind> saveDialogKinds(bool workbooks) {
    std::vector<FileKind> kinds = {FileKind::ListPage, FileKind::AddressBook, FileKind::PhoneCards};
    if (workbooks) kinds.push_back(FileKind::Workbook);
    kinds.insert(kinds.end(), {FileKind::Vcard3, FileKind::GoogleCsv});
    return kinds;
}

std::optional<FileKind> openKindForName(const std::string& name) {
    return firstMarked(name, {FileKind::PhoneCards, FileKind::AddressBook, FileKind::Workbook});
}

std::optional<FileKind> saveKindForName(const std::string& name) {
    return firstMarked(name, {FileKind::AddressBook, FileKind::PhoneCards, FileKind::Workbook,
                              FileKind::ListPage});
}

bool isXlsxName(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string extension = name.substr(dot);
    return extension == ".xlsx" || extension == ".XLSX";
}

}  // namespace tsunagi
