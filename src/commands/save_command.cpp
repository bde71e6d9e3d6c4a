#include "commands/save_command.h"

#include <algorithm>
#include <memory>

#include "card/card_view.h"
#include "commands/file_request.h"
#include "export/address_book_writer.h"
#include "export/google_csv_writer.h"
#include "export/list_page_writer.h"
#include "export/phone_card_writer.h"
#include "export/vcard3_writer.h"
#include "export/workbook_writer.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/text_file.h"
#include "store/entries.h"

namespace tsunagi {

std::string proposedSaveName(const std::tm& now) {
    char text[16];
    std::strftime(text, sizeof text, "%Y%m%d", &now);
    return text;
}

std::optional<FileKind> saveKindForChoice(std::string& path, std::optional<FileKind> filter) {
    std::optional<FileKind> byName = saveKindForName(path);
    if (!byName && filter) {
        path += "." + fileKindInfo(*filter).extensions.front();
        byName = saveKindForName(path);
    }
    if (filter && fileKindInfo(*filter).forTodaysPhones) return filter;
    return byName;
}

namespace {

// Whether the layout of `kind` has room for every number and mail of the entry: the address
// book has one of each kind, the list page and the workbook three numbers and three mails.
bool fitsLayout(FileKind kind, const EntryRow& row) {
    CardView card = readCard(row, kListedColumns);
    if (kind == FileKind::AddressBook) {
        int home = 0, cell = 0, work = 0, mails = 0;
        for (const NumberPiece& number : card.numbers) {
            if (trimBlanks(number.value).empty()) continue;
            if (number.type == NumberClass::Other) return false;
            home += number.type == NumberClass::Home;
            cell += number.type == NumberClass::Cell;
            work += number.type == NumberClass::Work;
        }
        for (const MailPiece& mail : card.mails) mails += !trimBlanks(mail.value).empty();
        return home <= 1 && cell <= 1 && work <= 1 && mails <= 1;
    }
    for (const NumberPiece& number : card.numbers)
        if (number.slot >= 3 && !trimBlanks(number.value).empty()) return false;
    for (const MailPiece& mail : card.mails)
        if (mail.slot >= 3 && !trimBlanks(mail.value).empty()) return false;
    return true;
}

// Lays the entries out into `file` as `kind`; what the user should hear about it.
std::string writeAs(FileKind kind, const EntryRows& all, const std::string& programFolder,
                    AtomicFile& file) {
    // The formats that hold fewer numbers and mails than an entry may have say whose went.
    std::vector<std::string> notHeld;
    bool fewer =
        kind == FileKind::AddressBook || kind == FileKind::ListPage || kind == FileKind::Workbook;
    EntryRows rows{all.count, [&](const EntryVisit& visit) {
                       notHeld.clear();
                       all.forEach([&](const EntryRow& row, int number) {
                           if (fewer && !fitsLayout(kind, row)) notHeld.push_back(entryName(row));
                           visit(row, number);
                       });
                   }};
    auto notHeldNote = [&notHeld]() -> std::string {
        if (notHeld.empty()) return "";
        return "この形式に入りきらない電話番号やメールアドレスは書き出していません（" +
               namedEntries(notHeld) +
               "）。すべて残すには、vCard 3.0 か Google 連絡先 CSV で保存してください。";
    };
    switch (kind) {
        case FileKind::Workbook:
            WriteExcelBook(rows, programFolder + "/database/template.xls",
                           isXlsxName(file.path()) ? BookKind::Xlsx : BookKind::Xls, file);
            return notHeldNote();
        case FileKind::Vcard3: {
            Utf8Sink sink(file);
            writeVcard3(rows, sink);
            return "";
        }
        case FileKind::GoogleCsv: {
            Utf8Sink sink(file);
            GoogleCsvLeftOut leftOut = writeGoogleCsv(rows, sink);
            if (leftOut.photos.empty()) return "";
            return "Google 連絡先 CSV は写真をリンクでしか持てないため、カードに埋め込まれた写真 " +
                   std::to_string(leftOut.photos.size()) + " 件は書き出していません（" +
                   namedEntries(leftOut.photos) + "）。写真は vCard 3.0 に残ります。";
        }
        default:
            break;
    }
    // The row being written, so that a message can name its entry.
    const EntryRow* current = nullptr;
    EntryRows named{rows.count, [&](const EntryVisit& visit) {
                        rows.forEach([&](const EntryRow& row, int number) {
                            current = &row;
                            visit(row, number);
                        });
                        current = nullptr;
                    }};
    Cp932Sink sink(file, [&] { return current ? entryName(*current) : ""; });
    LeftOutNumbers numbersLeftOut;
    if (kind == FileKind::AddressBook)
        writeAddressBook(named, sink);
    else if (kind == FileKind::PhoneCards)
        numbersLeftOut = writePhoneCards(named, sink);
    else
        WriteHtmlList(named, sink);
    std::string note = describeReplacements(sink.replacements());
    if (numbersLeftOut.count > 0) {
        if (!note.empty()) note += "\n";
        note += "電話番号 " + std::to_string(numbersLeftOut.count) +
                " 件は、電話機で使えない形（数字以外の文字がある、または 24 桁以上）のため"
                "書き出していません（" +
                namedEntries(numbersLeftOut.entries) + "）。";
    }
    if (numbersLeftOut.extensions > 0) {
        if (!note.empty()) note += "\n";
        note += "電話機は内線を持てないため、電話番号 " +
                std::to_string(numbersLeftOut.extensions) + " 件は内線を除いて書き出しました（" +
                namedEntries(numbersLeftOut.extensionEntries) + "）。";
    }
    if (std::string held = notHeldNote(); !held.empty()) note += (note.empty() ? "" : "\n") + held;
    return note;
}

}  // namespace

std::vector<std::string> exportToFiles(const Store& store, const std::string& programFolder,
                                       const std::vector<ExportTarget>& targets) {
    Connection connection = store.open();
    // Only the formats for today's phones write what entries hold beyond the phone's lines.
    bool extras = std::any_of(targets.begin(), targets.end(), [](const ExportTarget& target) {
        return fileKindInfo(target.kind).forTodaysPhones;
    });
    EntryRows rows = storedRows(connection, extras);
    std::vector<std::unique_ptr<AtomicFile>> files;
    std::vector<std::string> notes;
    for (const ExportTarget& target : targets) {
        try {
            files.push_back(std::make_unique<AtomicFile>(target.path));
            notes.push_back(writeAs(target.kind, rows, programFolder, *files.back()));
        } catch (const TsunagiError& error) {
            // Name the file the user asked for, as the user wrote it.
            throw TsunagiError(target.path, error.line(), error.reason());
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        try {
            files[i]->commit();
        } catch (const TsunagiError& error) {
            throw TsunagiError(targets[i].path, error.line(), error.reason());
        }
    }
    return notes;
}

std::string exportToFile(const Store& store, const std::string& programFolder,
                         const std::string& path, FileKind kind) {
    return exportToFiles(store, programFolder, {{path, kind}}).front();
}

bool runSaveCommand(const CommandContext& context) {
    FileRequest request = fileRequest(context, "ファイルへ保存",
                                      fileFilters(saveDialogKinds(context.workbooksOffered)));
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    request.proposedName = proposedSaveName(local);
    if (context.lastSaveKind) request.selectedKind = *context.lastSaveKind;
    std::string path;
    std::optional<FileKind> kind;
    for (;;) {
        std::optional<SaveChoice> chosen = context.ui.chooseFileToSave(request);
        if (!chosen) return false;
        path = chosen->path;
        kind = saveKindForChoice(path, chosen->kind);
        if (!kind) return false;
        if (kind == FileKind::Workbook && !context.workbooksOffered) return false;
        // The kind the save takes, whichever way it was chosen: the dialog's filter then matches
        // the name (a name typed "out.vcf" under the HTML filter is a card file).
        if (context.lastSaveKind) *context.lastSaveKind = kind;
        // The dialog leaves the question to us: only now, with its extension, is the name
        // final. "No" is another name, in the dialog again.
        if (!fileExists(path) ||
            context.ui.ask(path + " は既にあります。置き換えますか？", "置き換える", "いいえ"))
            break;
        request.startFolder = path.substr(0, path.rfind('/') + 1);
        request.proposedName = path.substr(path.rfind('/') + 1);
        request.selectedKind = kind;
    }
    rememberFolderOf(context, path);
    try {
        std::string note = exportToFile(context.store, context.programFolder, path, *kind);
        if (!note.empty()) context.ui.showMessage(path + "\n" + note);
        context.ui.showStatus("保存しました：" + path + "（" + fileKindInfo(*kind).filterName +
                              "）");
        return true;
    } catch (const std::exception& error) {
        context.ui.showMessage("保存に失敗しました。\n" + describeFailure(error));
    }
    return false;
}

}  // namespace tsunagi
