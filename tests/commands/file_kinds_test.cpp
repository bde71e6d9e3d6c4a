#include "commands/file_kinds.h"

#include <gtest/gtest.h>

#include "commands/file_request.h"
#include "commands/save_command.h"

namespace tsunagi {
namespace {

std::vector<std::string> filterNames(const std::vector<FileFilter>& filters) {
    std::vector<std::string> names;
    for (const FileFilter& filter : filters) names.push_back(filter.name);
    return names;
}

TEST(FileKinds, TheDialogsOfferTheTablesKindsInTheirOrder) {
    EXPECT_EQ(filterNames(fileFilters(openDialogKinds(false))),
              (std::vector<std::string>{"VCF", "CSV"}));
    EXPECT_EQ(filterNames(fileFilters(openDialogKinds(true))),
              (std::vector<std::string>{"VCF", "CSV", "XLS"}));
    EXPECT_EQ(filterNames(fileFilters(saveDialogKinds(true))),
              (std::vector<std::string>{"HTML", "CSV", "VCF", "XLS", "vCard 3.0 スマートフォン用",
                                        "Google 連絡先 CSV"}));
    std::vector<FileFilter> filters = fileFilters(openDialogKinds(true));
    EXPECT_EQ(filters[2].extensions, (std::vector<std::string>{"xls", "XLS", "xlsx", "XLSX"}));
    EXPECT_EQ(filters[2].kind, FileKind::Workbook);
}

TEST(FileKinds, NamesAskForAKindByTheirOwnLastExtension) {
    EXPECT_EQ(saveKindForName("list.Csv"), std::nullopt);
    // A folder named like a file kind changes nothing.
    EXPECT_EQ(saveKindForName("/x/a.csv/list.html"), FileKind::ListPage);
    EXPECT_EQ(saveKindForName("backup.csv/phone.vcf"), FileKind::PhoneCards);
    EXPECT_EQ(openKindForName("old.vcf.d/book.csv"), FileKind::AddressBook);
    EXPECT_EQ(saveKindForName("a.VCF"), FileKind::PhoneCards);
    EXPECT_EQ(saveKindForName("a.xlsx"), FileKind::Workbook);
    EXPECT_EQ(saveKindForName("a.HTML"), FileKind::ListPage);
    EXPECT_EQ(saveKindForName("a.htm"), std::nullopt);
    EXPECT_EQ(openKindForName("a.csv.vcf"), FileKind::PhoneCards);
    EXPECT_EQ(saveKindForName("a.csv.vcf"), FileKind::PhoneCards);
    EXPECT_EQ(saveKindForName("a.vcf.csv"), FileKind::AddressBook);
    EXPECT_EQ(openKindForName("page.html"), std::nullopt);
    EXPECT_TRUE(isXlsxName("a.XLSX"));
    EXPECT_FALSE(isXlsxName("a.xlsx.xls"));
}

TEST(FileKinds, ASaveChoiceByItsFilterAndName) {
    std::string path = "20261206";
    EXPECT_EQ(saveKindForChoice(path, FileKind::ListPage), FileKind::ListPage);
    EXPECT_EQ(path, "20261206.html");
    path = "phone.csv";  // the filters for today's phones win over the name
    EXPECT_EQ(saveKindForChoice(path, FileKind::Vcard3), FileKind::Vcard3);
    EXPECT_EQ(path, "phone.csv");
    path = "book.csv";  // other filters give way to the name
    EXPECT_EQ(saveKindForChoice(path, FileKind::ListPage), FileKind::AddressBook);
    path = "nothing";
    EXPECT_EQ(saveKindForChoice(path, std::nullopt), std::nullopt);
}

}  // namespace
}  // namespace tsunagi
