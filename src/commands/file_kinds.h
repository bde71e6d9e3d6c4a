#pragma once

// The kinds of file the program opens and saves, in one table that the dialogs, the command
// line and the commands all read.

#include <optional>
#include <string>
#include <vector>

namespace tsunagi {

enum class FileKind {
    PhoneCards,   // vCard in the phone's dialect (and other programs' vCards, when opened)
    AddressBook,  // CSV address book (and other programs' CSVs, when opened)
    Workbook,     // .xls or .xlsx
    ListPage,     // HTML, written only
    Vcard3,       // vCard 3.0 in UTF-8 for today's phones, written only
    GoogleCsv,    // Google Contacts CSV, written only
};

struct FileKindInfo {
    FileKind kind;
    const char* filterName;               // what the dialogs show: "VCF"
    std::vector<std::string> extensions;  // the dialog's patterns; the first is appended to a
                                          // save name that has none
    const char* nameMark;  // a file's own last extension (either case) asks for this kind; none
                           // for the kinds that are chosen by their filter alone
    bool forTodaysPhones;  // chosen by its filter whatever the name
};

const FileKindInfo& fileKindInfo(FileKind kind);

// The kinds each dialog offers, in the order it shows them. The workbook comes only when
// workbooks are offered.
std::vector<FileKind> openDialogKinds(bool workbooks);
std::vector<FileKind> saveDialogKinds(bool workbooks);

// The kind a name asks for by the marks it contains, tested in the order of each command:
// ".vcf", ".csv", ".xls" to open; ".csv", ".vcf", ".xls", ".html" to save. Each mark is
// matched in lower or upper case only, so "a.Vcf" asks for nothing.
std::optional<FileKind> openKindForName(const std::string& name);
std::optional<FileKind> saveKindForName(const std::string& name);

// A workbook's format by the name's extension: .xlsx (either case) or else .xls.
bool isXlsxName(const std::string& name);

}  // namespace tsunagi
