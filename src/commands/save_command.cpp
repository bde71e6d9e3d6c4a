#include "commands/save_command.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

#include "card/card_view.h"
#include "card/dialect.h"
#include "card/properties.h"
#include "card/vcard_line.h"
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

// Adds to `words` what an entry's lines hold that a file of `kind` does not write, in the
// words a person knows it by; false when they hold nothing more. The phone's card file writes
// every one of the phone's lines; the address book, the list page and the workbooks only the
// name, the numbers and the mails.
bool unwrittenLines(FileKind kind, const EntryRow& row, std::vector<std::string>& words) {
    if (kind == FileKind::PhoneCards) return false;
    bool any = false;
    for (const std::optional<std::string>& column : row.columns) {
        if (!column) break;
        std::string_view name = propertyName(*column);
        // The lines every card of the phone has, at a glance.
        if (name == "BEGIN" || name == "VERSION" || name == "END" || name == "N" || name == "TEL" ||
            name == "EMAIL" || name == "X-GNO" || name.starts_with("X-JPG-"))
            continue;
        size_t colon = column->find(':');
        if (colon == std::string::npos || columnKind(*column) != ColumnKind::Other) continue;
        std::string property = upperAscii(name);
        PropertyKind what = propertyKind(property);
        if (what == PropertyKind::Name || what == PropertyKind::Structure ||
            what == PropertyKind::PhoneOnly || carriesNothingOfThePerson(property) ||
            trimBlanks(std::string_view(*column).substr(colon + 1)).find_first_not_of(';') ==
                std::string::npos)
            continue;
        std::string word = what == PropertyKind::Reading ? "読み" : spokenProperty(property);
        if (std::find(words.begin(), words.end(), word) == words.end()) words.push_back(word);
        any = true;
    }
    return any;
}

// The word for a kept line of property `name` other than the name's own (which KeptBeyond
// reads); none for what a phone's format writes after all, or what holds nothing of the person.
std::optional<std::string> keptWord(const std::string& name, std::string_view extra) {
    // Android's own rows by what they hold.
    if (name == "X-ANDROID-CUSTOM") {
        for (auto [kind, property] :
             {std::pair{"/nickname;", "NICKNAME"}, std::pair{"/relation;", "X-ABRELATEDNAMES"},
              std::pair{"/contact_event;", "X-ABDATE"}})
            if (contains(extra, kind)) return spokenProperty(property);
    }
    if (carriesNothingOfThePerson(name)) return std::nullopt;
    switch (propertyKind(name)) {
        case PropertyKind::Telephone:  // the numbers and mails themselves are written
        case PropertyKind::Mail:
        case PropertyKind::PhoneticFamily:  // so is the reading, as the phone's own line
        case PropertyKind::PhoneticGiven:
        case PropertyKind::Structure:
        case PropertyKind::PhoneOnly:
        case PropertyKind::Uid:
            return std::nullopt;
        case PropertyKind::Column: {
            VcardLine line;
            parseVcardLine(extra, line);
            return std::string(line.parameter("X-HEADING").value_or("CSV の列"));
        }
        case PropertyKind::Reading: {
            VcardLine line;
            parseVcardLine(extra, line);
            return spokenProperty(line);
        }
        default:
            return spokenProperty(name);
    }
}

// Whether `shown` is "family given" or "given family": the name the phone shows.
bool shownAsBuilt(std::string_view shown, std::string_view family, std::string_view given) {
    if (family.empty() || given.empty() || shown.size() != family.size() + 1 + given.size())
        return false;
    for (auto [first, second] : {std::pair{family, given}, std::pair{given, family}})
        if (shown.substr(0, first.size()) == first && shown[first.size()] == ' ' &&
            shown.substr(first.size() + 1) == second)
            return true;
    return false;
}

// The word for a ";" within a reading, which the phone's reading line cannot hold.
constexpr std::string_view kSemicolonInReading = "読みの「;」";

// What entries keep beyond the phone's lines, which none of the phone's formats writes: which
// entries keep something worth a word, and the words. Each row is looked at on the store's
// reading thread as it is read, before it is handed on to be written.
class KeptBeyond {
  public:
    // `lastId`: the highest id of an entry looked at.
    explicit KeptBeyond(std::int64_t lastId) : held_(static_cast<size_t>(lastId) + 1, 0) {}

    // `extras`: what the row holds beyond the phone's lines, a line each.
    void look(const EntryRow& row, std::string_view extras) {
        bool named = false;      // the row's kept N read, and its parts
        bool formatted = false;  // its kept FN
        familyRead_ = givenRead_ = false;
        bool held = false;
        while (!extras.empty()) {
            size_t end = std::min(extras.find('\n'), extras.size());
            std::string_view extra = extras.substr(0, end);
            extras.remove_prefix(std::min(end + 1, extras.size()));
            if (std::optional<std::string> word = wordFor(extra, named, formatted)) {
                if (std::find(words_.begin(), words_.end(), *word) == words_.end())
                    words_.push_back(std::move(*word));
                held = true;
            }
        }
        if (held && row.id >= 0 && static_cast<size_t>(row.id) < held_.size()) held_[row.id] = 1;
    }
    // Whether the entry keeps something worth a word, once its row has been looked at.
    bool holds(std::int64_t id) const {
        return id >= 0 && static_cast<size_t>(id) < held_.size() && held_[id];
    }
    // In the order first met, all of them once every row has been read.
    const std::vector<std::string>& words() const { return words_; }

  private:
    std::optional<std::string> wordFor(std::string_view extra, bool& named, bool& formatted) {
        if (extra.empty()) return std::nullopt;
        std::string_view head = propertyName(extra);
        head.remove_prefix(std::min(head.size(), head.find('.') + 1));  // its group
        name_.assign(head);
        for (char& c : name_)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (name_ == "N" || name_ == "FN") {
            // Each name line is read once: N for its parts, and the display name kept after
            // them says nothing more where it is the name they make.
            bool read = parseVcardLine(extra, line_);
            // A name or a display name the card said again is no name of the phone's line.
            bool again = name_ == "N" ? named : formatted;
            if (name_ == "FN") formatted = true;
            if (again && !(read && line_.parameter("ALTID"))) return spokenProperty(name_);
            if (name_ == "N") {
                parts_.clear();
                if (read) splitComponents(line_.value, ';', parts_);
                parts_.resize(std::max<size_t>(parts_.size(), 2));
                named = true;
                family_ = trimBlanks(parts_[0]);
                given_ = trimBlanks(parts_[1]);
                if (read && line_.parameter("ALTID")) return "ほかの言語の名前";
                for (size_t p = 2; read && p < parts_.size(); ++p)
                    if (!trimBlanks(parts_[p]).empty()) return "敬称やミドルネーム";
                return std::nullopt;
            }
            if (!read || line_.parameter("ALTID") || !named ||
                !shownAsBuilt(trimBlanks(line_.value), family_, given_))
                return spokenProperty(name_);
            return std::nullopt;
        }
        // Words that hang on the line, not its property alone (a SOUND is a reading or a
        // sound clip).
        if (name_ == "X-TSUNAGI-COLUMN" || name_ == "X-ANDROID-CUSTOM" || name_ == "SOUND")
            return keptWord(name_, extra);
        // A number or a mail is written as the phone's own line, but for one that holds the
        // line's joiner, which is kept beside it alone.
        if ((name_ == "TEL" || name_ == "EMAIL") &&
            contains(extra.substr(std::min(extra.size(), extra.find(':'))), kJoin))
            return name_ == "TEL" ? "「<>」を含む電話番号" : "「<>」を含むメールアドレス";
        // A reading is written as the phone's own line, but for a ";" within it.
        if (name_ == "X-PHONETIC-LAST-NAME" || name_ == "X-PHONETIC-FIRST-NAME") {
            // The card's first reading is the phone's line; one said again is not.
            bool& seen = name_ == "X-PHONETIC-LAST-NAME" ? familyRead_ : givenRead_;
            if (std::exchange(seen, true)) return spokenProperty(name_);
            if (contains(extra, "\\;")) return std::string(kSemicolonInReading);
        }
        // Most lines of a book are of a few properties: their words are looked up once.
        auto at = wordOf_.find(name_);
        if (at == wordOf_.end()) at = wordOf_.emplace(name_, keptWord(name_, extra)).first;
        return at->second;
    }

    // By id, a byte each: one thread sets them while another reads those set before.
    std::vector<std::uint8_t> held_;
    std::vector<std::string> words_;
    std::unordered_map<std::string, std::optional<std::string>> wordOf_;
    std::string name_, family_, given_;
    bool familyRead_ = false, givenRead_ = false;  // the row's kept readings met
    VcardLine line_;
    std::vector<std::string> parts_;
};

// The first few entries of many by name, and how many more: a message names no more, and
// reading every entry's name would cost as much as writing it.
class FewNamed {
  public:
    void add(const EntryRow& row) {
        if (names_.size() < kShown) names_.push_back(entryName(row));
        ++count_;
    }
    bool empty() const { return count_ == 0; }
    std::string text() const { return namedEntries(names_, kShown, count_); }

  private:
    static constexpr size_t kShown = 5;
    std::vector<std::string> names_;
    size_t count_ = 0;
};

// Lays the entries out into `file` as `kind`; what the user should hear about it.
std::string writeAs(FileKind kind, const EntryRows& all, const KeptBeyond& kept,
                    const std::string& programFolder, AtomicFile& file) {
    // The formats that hold fewer numbers and mails than an entry may have say whose went.
    // The formats of the phone's side say what entries hold that they do not write.
    std::vector<std::string> notHeld, unwritten;
    FewNamed unwrittenEntries;
    bool fewer =
        kind == FileKind::AddressBook || kind == FileKind::ListPage || kind == FileKind::Workbook;
    bool partial = fewer || kind == FileKind::PhoneCards;
    EntryRows rows{all.count,
                   [&](const EntryVisit& visit) {
                       notHeld.clear();
                       unwritten.clear();
                       unwrittenEntries = FewNamed();
                       all.forEach([&](const EntryRow& row, int number) {
                           if (fewer && !fitsLayout(kind, row)) notHeld.push_back(entryName(row));
                           bool lines = partial && unwrittenLines(kind, row, unwritten);
                           if (lines || (partial && kept.holds(row.id))) unwrittenEntries.add(row);
                           visit(row, number);
                       });
                   },
                   all.uidSeed};
    auto notHeldNote = [&]() -> std::string {
        std::string note;
        if (!notHeld.empty())
            note = "この形式に入りきらない電話番号やメールアドレスは書き出していません（" +
                   namedEntries(notHeld) + "）。";
        // The words of the lines first, then those of what entries keep beyond them; none
        // where no entry written holds any (kept lines of an entry no longer there).
        std::vector<std::string> words = unwritten;
        auto said = [&words](std::string_view word) {
            return std::find(words.begin(), words.end(), word) != words.end();
        };
        for (const std::string& word : kept.words())
            // A ";" within a reading goes without a word where the reading goes.
            if (!said(word) && !(word == kSemicolonInReading && said("読み")))
                words.push_back(word);
        if (partial && !unwrittenEntries.empty())
            note += (note.empty() ? "" : "\n") +
                    std::string(kind == FileKind::PhoneCards ? "電話機の" : "この") +
                    "形式にない次の項目は書き出していません：" + namedEntries(words, words.size()) +
                    "（" + unwrittenEntries.text() + "）。";
        if (note.empty()) return "";
        return note + "すべて残すには、vCard 3.0 か Google 連絡先 CSV で保存してください。";
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
            std::string note;
            if (!leftOut.photos.empty())
                note =
                    "Google 連絡先 CSV "
                    "は写真をリンクでしか持てないため、カードに埋め込まれた写真 " +
                    std::to_string(leftOut.photos.size()) + " 件は書き出していません（" +
                    namedEntries(leftOut.photos) + "）。写真は vCard 3.0 に残ります。";
            if (!leftOut.embedded.empty())
                note += std::string(note.empty() ? "" : "\n") +
                        "Google 連絡先 CSV は文字しか持てないため、カードに埋め込まれた次のデータは"
                        "書き出していません：" +
                        namedEntries(leftOut.embedded) + "。vCard 3.0 には残ります。";
            if (!leftOut.parted.empty())
                note += std::string(note.empty() ? "" : "\n") +
                        "Google 連絡先 CSV は「 ::: 」を値の区切りとして読むため、次の値は読み込み"
                        "直すと分かれます：" +
                        namedEntries(leftOut.parted) + "。vCard 3.0 には 1 つのまま残ります。";
            return note;
        }
        default:
            break;
    }
    // The row being written, so that a message can name its entry.
    const EntryRow* current = nullptr;
    EntryRows named{rows.count,
                    [&](const EntryVisit& visit) {
                        rows.forEach([&](const EntryRow& row, int number) {
                            current = &row;
                            visit(row, number);
                        });
                        current = nullptr;
                    },
                    rows.uidSeed};
    Cp932Sink sink(file, [&] { return current ? entryName(*current) : ""; });
    LeftOutNumbers numbersLeftOut;
    if (kind == FileKind::AddressBook)
        writeAddressBook(named, sink);
    else if (kind == FileKind::PhoneCards)
        numbersLeftOut = writePhoneCards(named, sink);
    else
        WriteHtmlList(named, sink);
    std::string note = describeReplacements(sink.replacements());
    if (std::string selectors = describeDroppedSelectors(sink.droppedSelectors());
        !selectors.empty())
        note += (note.empty() ? "" : "\n") + selectors;
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
    if (numbersLeftOut.cardWords > 0) {
        if (!note.empty()) note += "\n";
        note +=
            "電話機は BEGIN:VCARD と END:VCARD をどこにあってもカードの区切りと読むため、"
            "これを含む " +
            std::to_string(numbersLeftOut.cardWords) + " 行は書き出していません（" +
            namedEntries(numbersLeftOut.cardWordEntries) + "）。";
    }
    if (numbersLeftOut.lineBreaks > 0) {
        if (!note.empty()) note += "\n";
        note += "電話機のファイルは 1 行の途中で改行できないため、改行 " +
                std::to_string(numbersLeftOut.lineBreaks) + " か所は空白にして書き出しました（" +
                namedEntries(numbersLeftOut.lineBreakEntries) + "）。";
    }
    if (std::string held = notHeldNote(); !held.empty()) note += (note.empty() ? "" : "\n") + held;
    return note;
}

}  // namespace

std::vector<std::string> exportToFiles(const Store& store, const std::string& programFolder,
                                       const std::vector<ExportTarget>& targets) {
    if (targets.empty()) return {};
    Connection connection = store.open();
    // Only the formats for today's phones write what entries hold beyond the phone's lines;
    // the others name it.
    bool extras = false, named = false;
    for (const ExportTarget& target : targets)
        (fileKindInfo(target.kind).forTodaysPhones ? extras : named) = true;
    KeptBeyond kept(named ? lastEntryId(connection) : 0);
    EntryRows rows = storedRows(
        connection, extras,
        named ? [&kept](const EntryRow& row, std::string_view extras) { kept.look(row, extras); }
              : RowLook());
    std::vector<std::unique_ptr<AtomicFile>> files;
    std::vector<std::string> notes;
    for (const ExportTarget& target : targets) {
        try {
            files.push_back(std::make_unique<AtomicFile>(target.path));
            notes.push_back(writeAs(target.kind, rows, kept, programFolder, *files.back()));
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

bool runSaveCommand(const CommandContext& context, bool* leftOut) {
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
        if (leftOut) *leftOut = !note.empty();
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
