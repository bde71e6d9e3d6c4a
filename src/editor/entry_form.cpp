#include "editor/entry_form.h"

#include <algorithm>

#include "card/card_view.h"
#include "card/checks.h"
#include "card/dialect.h"
#include "card/vcard_line.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

constexpr size_t kNameLength = kPhoneNameLength;

}  // namespace

std::optional<std::string> keptNameIfCut(const std::string& name) {
    if (characterCount(name) <= kNameLength) return std::nullopt;
    return leftCharacters(name, kNameLength);
}

namespace {
constexpr size_t kNumberLength = 24;
constexpr size_t kMailLength = 60;

// The number type word of a stored head: the last of 自宅, 携帯, 会社 whose code it holds.
std::string_view numberWordForHead(std::string_view head) {
    std::string_view word = kNumberTypes[0].word;
    for (size_t row = 1; row < kNumberTypes.size(); ++row)
        if (contains(head, kNumberTypes[row].loadingCode)) word = kNumberTypes[row].word;
    return word;
}

std::string_view savingCode(const std::vector<TypeWord>& table, const std::string& word) {
    for (const TypeWord& type : table)
        if (type.word == word) return type.savingCode;
    return table[0].savingCode;
}

// Every shape of number that the phone can dial, as the imports take them: "+81 90-1234-5678",
// "(03) 1234-5678", "03.5555.6666".
bool numberTaken(const std::string& text) { return dialledDigits(text).has_value(); }

CardFields formFields(const FormContent& form, bool forUpdate) {
    CardFields fields;
    if (!form.name.empty()) fields.name = leftCharacters(form.name, kNameLength);
    std::string numbers;
    for (const Slot& slot : form.numbers) {
        if (!numberTaken(slot.text)) continue;
        std::string number =
            forUpdate ? slot.text : leftCharacters(*dialledDigits(slot.text), kNumberLength);
        numbers += std::string(kNumberItem) + std::string(savingCode(kNumberTypes, slot.type)) +
                   number + std::string(kJoin);
    }
    if (!numbers.empty()) fields.numbers = numbers;
    std::string mails;
    for (const Slot& slot : form.mails) {
        if (slot.text.empty() || !IsMailAddress(slot.text)) continue;
        mails += std::string(kMailItem) + std::string(savingCode(kMailTypes, slot.type)) +
                 leftCharacters(slot.text, kMailLength) + std::string(kJoin);
    }
    if (!mails.empty()) fields.mails = mails;
    return fields;
}

}  // namespace

FormContent normalisedForm(FormContent form) {
    for (Slot& slot : form.numbers) slot.text = asciiNumber(slot.text);
    return form;
}

std::vector<FieldProblem> formProblems(const FormContent& form) {
    std::vector<FieldProblem> problems;
    for (int i = 0; i < 3; ++i) {
        const std::string& number = form.numbers[i].text;
        if (!trimBlanks(number).empty() && !numberTaken(number))
            problems.push_back({1 + i, "電話番号" + std::to_string(i + 1) +
                                           "：数字とハイフン以外の文字があります（" + number +
                                           "）"});
    }
    for (int i = 0; i < 3; ++i) {
        const std::string& mail = form.mails[i].text;
        if (!trimBlanks(mail).empty() && !IsMailAddress(mail))
            problems.push_back({4 + i, "メール" + std::to_string(i + 1) +
                                           "：メールアドレスの形ではありません（" + mail + "）"});
    }
    return problems;
}

std::string describeProblems(const std::vector<FieldProblem>& problems) {
    std::string text = "次の項目は保存できません。直してから、もう一度押してください。";
    for (const FieldProblem& problem : problems) text += "\n" + problem.message;
    return text;
}

FormContent emptyForm() {
    FormContent form;
    for (Slot& slot : form.numbers) slot.type = kNumberTypes[0].word;
    for (Slot& slot : form.mails) slot.type = kMailTypes[0].word;
    return form;
}

FormContent formFromRow(const EntryRow& row) {
    FormContent form = emptyForm();
    CardView card = readCard(row);
    if (card.name) form.name = *card.name;
    for (const NumberPiece& number : card.numbers) {
        if (number.slot >= 3) continue;
        form.numbers[number.slot].type = numberWordForHead(number.head);
        form.numbers[number.slot].text = number.value;
    }
    size_t hiddenNumbers = std::count_if(card.numbers.begin(), card.numbers.end(),
                                         [](const NumberPiece& n) { return n.slot >= 3; });
    size_t hiddenMails = std::count_if(card.mails.begin(), card.mails.end(),
                                       [](const MailPiece& m) { return m.slot >= 3; });
    if (hiddenNumbers + hiddenMails > 0)
        form.notice = "このデータには、フォームに表示しきれない電話番号 " +
                      std::to_string(hiddenNumbers) + " 件、メールアドレス " +
                      std::to_string(hiddenMails) +
                      " 件があります。フォームには最初の 3 件ずつを表示します。"
                      "更新しても、表示していないものは消えずに残ります。";
    for (const MailPiece& mail : card.mails) {
        if (mail.slot >= 3) continue;
        // The form's own rule: the type box shows 携帯 for CELL, and the address only shows
        // for the two kinds the form knows.
        form.mails[mail.slot].type =
            contains(mail.head, "CELL") ? kMailTypes[1].word : kMailTypes[0].word;
        if (mail.type != MailClass::Neither) form.mails[mail.slot].text = mail.value;
    }
    return form;
}

std::vector<std::string> newEntryColumns(const std::vector<std::string>& lineTemplate,
                                         const FormContent& form) {
    return buildCardColumns(lineTemplate, formFields(form, false));
}

std::vector<std::string> updatedEntryColumns(const std::vector<std::string>& lineTemplate,
                                             const FormContent& form, const EntryRow& stored) {
    CardFields fields = formFields(form, true);
    fields.owner.clear();
    fields.group.clear();
    // The lines the form does not show (a note, a reading, an address, the phone's own extra
    // lines) are kept in their order; only what the form writes is replaced.
    std::vector<std::string> kept;
    // Every stored line counts, empty columns (as workbook imports leave them) included.
    for (int p = 0; p < kCardColumns; ++p) {
        const std::string& value = stored.at(p);
        if (value.empty()) continue;
        std::string part = pieceAt(value, ":", 1);
        bool written = contains(value, kBeginLine) || contains(value, kEndLine) ||
                       columnKind(value) != ColumnKind::Other || nameOfLine(value).has_value();
        if (contains(value, kOwnerItem)) fields.owner = part, written = true;
        if (contains(value, kGroupItem)) fields.group = part, written = true;
        if (contains(value, "X-JPG-MDNO")) fields.memoryNumber = part, written = true;
        for (const std::string& item : lineTemplate) written = written || value == item;
        if (!written) kept.push_back(value);
    }
    // Numbers and mails past the form's three boxes (a merged entry has them) stay, after the
    // ones the form writes.
    CardView card = readCard(stored);
    for (const NumberPiece& number : card.numbers)
        if (number.slot >= 3)
            fields.numbers =
                fields.numbers.value_or("") + number.head + ":" + number.value + std::string(kJoin);
    for (const MailPiece& mail : card.mails)
        if (mail.slot >= 3)
            fields.mails =
                fields.mails.value_or("") + mail.head + ":" + mail.value + std::string(kJoin);
    std::vector<std::string> columns = buildCardColumns(lineTemplate, fields);
    auto end = std::find(columns.rbegin(), columns.rend(), std::string(kEndLine));
    columns.insert(end == columns.rend() ? columns.end() : std::prev(end.base()), kept.begin(),
                   kept.end());
    return columns;
}

FormContent formContentOf(const Store& store, std::optional<std::int64_t> id) {
    if (!id) return emptyForm();
    Connection connection = store.open();
    std::optional<EntryRow> row = readEntry(connection, *id);
    return row ? formFromRow(*row) : emptyForm();
}

namespace {

// What the entry keeps of a name its phone's line cuts: the whole name, as N, for today's
// phones (a kept N of another name is replaced; one of this name stays as it is).
std::vector<std::string> extrasForName(const std::string& name, std::vector<std::string> extras) {
    if (!keptNameIfCut(name)) return extras;
    std::vector<std::string> parts;
    splitComponents(name, ';', parts);
    parts.resize(std::max<size_t>(parts.size(), 5));
    // The entry's own kept N is its first; one the card said again after it stays.
    VcardLine line;
    auto own = std::find_if(extras.begin(), extras.end(), [&line](const std::string& extra) {
        return propertyName(extra) == "N" && parseVcardLine(extra, line) &&
               !line.parameter("ALTID");
    });
    if (own != extras.end()) {
        std::vector<std::string> kept;
        splitComponents(line.value, ';', kept);
        kept.resize(std::max<size_t>(kept.size(), 2));
        if (joinedName(trimBlanks(kept[0]), trimBlanks(kept[1])) == name) return extras;
        extras.erase(own);
    }
    std::string n = "N:";
    for (size_t i = 0; i < 5; ++i) n += (i ? ";" : "") + escapeText(trimBlanks(parts[i]));
    extras.insert(extras.begin(), n);
    return extras;
}

}  // namespace

void addEntry(const Store& store, const FormContent& form) {
    Connection connection = store.open();
    std::vector<std::string> columns = newEntryColumns(readLineTemplate(connection), form);
    std::vector<std::string> extras = extrasForName(form.name, {});
    EntryInserter(connection)
        .insert(std::span<const std::string>(columns), std::span<const std::string>(extras));
}

bool rewriteEntry(const Store& store, std::int64_t id, const FormContent& form) {
    Connection connection = store.open();
    std::optional<EntryRow> stored = readEntry(connection, id);
    if (!stored) return false;
    std::vector<std::string> columns =
        updatedEntryColumns(readLineTemplate(connection), form, *stored);
    std::vector<std::string> extras = extrasForName(form.name, stored->extras);
    if (extras != stored->extras) writeExtras(connection, id, extras);
    return updateEntry(connection, id, columns);
}

void removeEntry(const Store& store, std::int64_t id) {
    Connection connection = store.open();
    deleteEntry(connection, id);
}

}  // namespace tsunagi
