#include "import/csv_import.h"

#include "card/dialect.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

// Splits one record; `text` may grow by further lines while a quoted field is open.
bool splitRecord(const std::string& text, std::vector<std::string>& fields) {
    fields.clear();
    std::string field;
    size_t i = 0;
    for (;;) {
        // A field is quoted when its first character after blanks is a double quote.
        size_t start = i;
        while (i < text.size() && text[i] == ' ') ++i;
        if (i < text.size() && text[i] == '"') {
            field.assign(text, start, i - start);
            ++i;
            for (;;) {
                if (i >= text.size()) return false;  // the quote is still open
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
            size_t comma = text.find(',', i);
            field.append(text, i, comma == std::string::npos ? std::string::npos : comma - i);
            i = comma;
        } else {
            i = text.find(',', start);
            field.assign(text, start, i == std::string::npos ? std::string::npos : i - start);
        }
        fields.push_back(std::move(field));
        field.clear();
        if (i == std::string::npos) return true;
        ++i;
    }
}

std::string fieldAt(const std::vector<std::string>& fields, int position) {
    if (position < 0 || position >= static_cast<int>(fields.size())) return {};
    return trimBlanks(fields[position]);
}

}  // namespace

bool CsvRecordReader::next(std::vector<std::string>& fields) {
    std::string record;
    if (!lines_.next(record)) return false;
    std::string more;
    while (!splitRecord(record, fields)) {
        if (!lines_.next(more))
            throw TsunagiError(lines_.name(), lines_.lineNumber(),
                               "閉じられていない「\"」があります。");
        record += "\r\n" + more;
    }
    return true;
}

CsvHeadings findHeadings(const std::vector<std::string>& headings) {
    CsvHeadings found;
    for (int p = 0; p < static_cast<int>(headings.size()); ++p) {
        const std::string& heading = headings[p];
        std::string trimmed = trimBlanks(heading);
        if (trimmed == "表示名")
            found.name = p;
        else if (trimmed == "電子メール アドレス")
            found.mail = p;
        else if (contains(heading, "自宅電話番号"))
            found.home = p;
        else if (contains(heading, "自宅ファックス"))
            found.fax = p;
        else if (contains(heading, "携帯電話"))
            found.mobile = p;
    }
    return found;
}

std::optional<std::vector<std::string>> csvCard(const std::vector<std::string>& lineTemplate,
                                                const CsvHeadings& headings,
                                                const std::vector<std::string>& fields,
                                                long lineCounter) {
    std::string name = fieldAt(fields, headings.name);
    std::string mail = fieldAt(fields, headings.mail);
    std::string home = fieldAt(fields, headings.home);
    std::string fax = fieldAt(fields, headings.fax);
    std::string mobile = fieldAt(fields, headings.mobile);
    if (name.empty() && mail.empty() && home.empty() && fax.empty() && mobile.empty())
        return std::nullopt;

    CardFields card;
    if (!name.empty()) card.name = name;
    if (!mail.empty()) card.mails = std::string(kMailItem) + "INTERNET:" + mail;
    // One number per line: home, else the fax column (which carries the office), else mobile.
    if (!home.empty())
        card.numbers = std::string(kNumberItem) + "VOICE;HOME:" + home + "<>";
    else if (!fax.empty())
        card.numbers = std::string(kNumberItem) + "VOICE;WORK:" + fax + "<>";
    else if (!mobile.empty())
        card.numbers = std::string(kNumberItem) + "CELL:" + mobile + "<>";
    card.memoryNumber = std::to_string(lineCounter);
    return buildCardColumns(lineTemplate, card);
}

long ImportCsvBook(const Store& store, const std::string& path, const ImportProgress& progress) {
    LineReader lines(path);
    return importCsvLines(store, lines, progress);
}

long importCsvLines(const Store& store, LineReader& lines, const ImportProgress& progress) {
    CardWriter writer(store, lines.name(), progress);
    std::vector<std::string> lineTemplate = writer.lineTemplate();
    CsvRecordReader records(lines);
    try {
        std::vector<std::string> fields;
        CsvHeadings headings;
        for (long counter = 0; records.next(fields); ++counter) {
            if (counter == 0) {
                headings = findHeadings(fields);
                continue;
            }
            if (auto card = csvCard(lineTemplate, headings, fields, counter)) writer.add(*card);
        }
    } catch (const TsunagiError& error) {
        rethrowAt(error, lines.name(), lines.lineNumber());
    }
    return writer.commit();
}

}  // namespace tsunagi
