#include "editor/details.h"

#include <algorithm>
#include <filesystem>

#include "card/dialect.h"
#include "card/person.h"
#include "card/vcard_line.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "store/entries.h"

namespace tsunagi {

namespace {

constexpr DetailKind kKinds[] = {DetailKind::Company, DetailKind::Title,   DetailKind::Birthday,
                                 DetailKind::Address, DetailKind::Website, DetailKind::Note,
                                 DetailKind::Group,   DetailKind::Photo};

// A picture file as the card's PHOTO line.
std::string photoLine(const std::string& path) {
    std::string lower = lowerAscii(path);
    const char* type = lower.ends_with(".png")                               ? "PNG"
                       : lower.ends_with(".gif")                             ? "GIF"
                       : lower.ends_with(".jpg") || lower.ends_with(".jpeg") ? "JPEG"
                                                                             : nullptr;
    if (!type) throw TsunagiError(path, 0, "写真は JPEG、PNG、GIF のファイルを指定してください。");
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) throw TsunagiError(path, 0, "写真のファイルを読めません。");
    if (size > (1u << 20))
        throw TsunagiError(path, 0, "写真のファイルが大きすぎます（1 MiB まで）。");
    std::string bytes = readFileBytes(path);
    if (bytes.empty()) throw TsunagiError(path, 0, "写真のファイルを読めません。");
    return std::string("PHOTO;ENCODING=b;TYPE=") + type + ":" + base64Encode(bytes);
}

// The properties whose lines hold a kind.
std::vector<std::string_view> propertiesOf(DetailKind kind) {
    switch (kind) {
        case DetailKind::Company:
            return {"ORG"};
        case DetailKind::Title:
            return {"TITLE"};
        case DetailKind::Birthday:
            return {"BDAY"};
        case DetailKind::Address:
            return {"ADR", "LABEL"};
        case DetailKind::Website:
            return {"URL"};
        case DetailKind::Note:
            return {"NOTE"};
        case DetailKind::Group:
            return {"CATEGORIES", "X-GN"};
        case DetailKind::Photo:
            return {"PHOTO"};
    }
    return {};
}

std::vector<Detail> detailsOf(const EntryRow& row) {
    Person person = readPerson(row);
    std::vector<Detail> details;
    for (const std::vector<std::string>& organization : person.organizations) {
        std::string text;
        for (const std::string& part : organization)
            if (!part.empty()) text += (text.empty() ? "" : " ") + part;
        details.push_back({DetailKind::Company, text});
    }
    for (const std::string& title : person.titles) details.push_back({DetailKind::Title, title});
    if (!person.birthday.empty()) details.push_back({DetailKind::Birthday, person.birthday});
    for (const PersonItem& address : person.addresses) {
        std::string text = address.printed;
        if (text.empty())
            for (const std::string& part : address.components())
                if (!trimBlanks(part).empty()) text += (text.empty() ? "" : " ") + part;
        details.push_back({DetailKind::Address, text});
    }
    for (const PersonItem& website : person.websites)
        details.push_back({DetailKind::Website, website.text()});
    for (const std::string& note : person.notes) details.push_back({DetailKind::Note, note});
    for (const std::string& group : person.categories)
        details.push_back({DetailKind::Group, group});
    if (person.photo) details.push_back({DetailKind::Photo, kCardPhoto});
    return details;
}

std::vector<std::string> valuesOf(const std::vector<Detail>& details, DetailKind kind) {
    std::vector<std::string> values;
    for (const Detail& detail : details)
        if (detail.kind == kind && !trimBlanks(detail.value).empty())
            values.push_back(trimBlanks(detail.value));
    return values;
}

// A detail as the entry keeps it, a vCard 3.0 line.
std::string lineOf(const Detail& detail) {
    std::string value = trimBlanks(detail.value);
    switch (detail.kind) {
        case DetailKind::Company:
            return "ORG:" + escapeText(value);
        case DetailKind::Title:
            return "TITLE:" + escapeText(value);
        case DetailKind::Birthday: {
            // Checked as the form checks a number: a date that is no day is refused.
            std::string date = isoDate(value);
            if (!isCalendarDate(date))
                throw TsunagiError(
                    "", 0,
                    "誕生日「" + value +
                        "」は日付として読めません。1980-05-01 のように書いてください。");
            return "BDAY:" + date;
        }
        case DetailKind::Address:
            return "ADR:;;" + escapeText(value) + ";;;;";
        case DetailKind::Website:
            return "URL:" + value;
        case DetailKind::Note:
            return "NOTE:" + escapeText(detail.value);
        case DetailKind::Group:
            return "CATEGORIES:" + escapeText(value);
        case DetailKind::Photo:
            return photoLine(value);
    }
    return "";
}

bool holds(std::string_view line, DetailKind kind) {
    VcardLine parsed;
    if (!parseVcardLine(line, parsed)) return false;
    std::vector<std::string_view> properties = propertiesOf(kind);
    return std::find(properties.begin(), properties.end(), parsed.name) != properties.end();
}

}  // namespace

void checkDetail(const Detail& detail) {
    if (!trimBlanks(detail.value).empty() && detail.value != kCardPhoto) lineOf(detail);
}

const char* detailWord(DetailKind kind) {
    switch (kind) {
        case DetailKind::Company:
            return "会社";
        case DetailKind::Title:
            return "役職";
        case DetailKind::Birthday:
            return "誕生日";
        case DetailKind::Address:
            return "住所";
        case DetailKind::Website:
            return "Web";
        case DetailKind::Note:
            return "メモ";
        case DetailKind::Group:
            return "グループ";
        case DetailKind::Photo:
            return "写真";
    }
    return "";
}

std::vector<Detail> readDetails(const Store& store, std::int64_t id) {
    Connection connection = store.open();
    std::optional<EntryRow> row = readEntry(connection, id);
    return row ? detailsOf(*row) : std::vector<Detail>();
}

namespace {

// One row of a kind as the entry holds it: its line (in the phone's columns or kept beyond
// them), the lines of its group beside it (its label, an iPhone's X-ABADR), and the value the
// user reads of it.
struct HeldRow {
    bool column = false;
    std::string line;
    std::vector<std::string> groupLines;  // of other kinds, in the line's group
    std::string value;
    bool kept = false;  // the user left it as it was
};

std::string groupOf(const std::string& line) {
    VcardLine parsed;
    return parseVcardLine(line, parsed) ? parsed.group : std::string();
}

// The rows of `kind` an entry holds, in the order the user reads them.
std::vector<HeldRow> heldRows(const std::vector<std::string>& columns,
                              const std::vector<std::string>& extras, DetailKind kind) {
    std::vector<HeldRow> rows;
    auto valueOf = [kind](EntryRow single) {
        std::vector<std::string> values = valuesOf(detailsOf(single), kind);
        return values.empty() ? std::string() : values.front();
    };
    for (const std::string& column : columns)
        if (columnKind(column) == ColumnKind::Other && holds(column, kind)) {
            EntryRow single;
            single.columns.push_back(column);
            rows.push_back({true, column, {}, valueOf(single)});
        }
    for (const std::string& extra : extras) {
        if (!holds(extra, kind)) continue;
        std::string group = groupOf(extra);
        // A printed address (LABEL) of a group goes with the group's ADR.
        if (!group.empty() && kind == DetailKind::Address && propertyName(extra).ends_with("LABEL"))
            continue;
        EntryRow single;
        single.extras.push_back(extra);
        HeldRow row{false, extra, {}, ""};
        if (!group.empty())
            for (const std::string& other : extras)
                if (&other != &extra && groupOf(other) == group) {
                    single.extras.push_back(other);
                    if (!holds(other, kind)) row.groupLines.push_back(other);
                }
        row.value = valueOf(single);
        rows.push_back(std::move(row));
    }
    return rows;
}

// A changed row's new line with what the old one said beyond its value: its group and types.
std::vector<std::string> changedRow(const HeldRow& old, const std::string& fresh) {
    VcardLine before, after;
    if (!parseVcardLine(old.line, before) || !parseVcardLine(fresh, after) ||
        before.name != after.name)
        return {fresh};
    after.group = before.group;
    for (const VcardParameter& parameter : before.parameters)
        if (parameter.name != "CHARSET" && parameter.name != "ENCODING")
            after.parameters.push_back(parameter);
    std::vector<std::string> lines = {keptLine(after, after.value)};
    lines.insert(lines.end(), old.groupLines.begin(), old.groupLines.end());
    return lines;
}

}  // namespace

bool writeDetails(const Store& store, std::int64_t id, const std::vector<Detail>& details) {
    Connection connection = store.open();
    Transaction transaction(connection);
    std::optional<EntryRow> row = readEntry(connection, id);
    if (!row) return false;
    std::vector<Detail> before = detailsOf(*row);
    std::vector<std::string> columns;
    for (const std::optional<std::string>& column : row->columns)
        if (column) columns.push_back(*column);
    std::vector<std::string> extras = row->extras;
    for (DetailKind kind : kKinds) {
        if (valuesOf(before, kind) == valuesOf(details, kind)) continue;
        // The card's own photo, kept as it is where its row stays beside a new one.
        std::vector<std::string> keptPhotos;
        if (kind == DetailKind::Photo && !valuesOf(details, kind).empty() &&
            valuesOf(details, kind).front() == kCardPhoto)
            for (const std::string& extra : extras)
                if (holds(extra, kind)) keptPhotos.push_back(extra);
        // A row the user left as it was keeps its lines byte for byte; a changed one keeps
        // its group, label and types; only a new one is written afresh.
        std::vector<HeldRow> held =
            kind == DetailKind::Photo ? std::vector<HeldRow>() : heldRows(columns, extras, kind);
        std::vector<const Detail*> changed;
        for (const Detail& detail : details) {
            if (detail.kind != kind || trimBlanks(detail.value).empty() ||
                detail.value == kCardPhoto)
                continue;
            auto same = std::find_if(held.begin(), held.end(), [&](const HeldRow& row) {
                return !row.kept && row.value == trimBlanks(detail.value);
            });
            if (same != held.end())
                same->kept = true;
            else
                changed.push_back(&detail);
        }
        std::vector<std::string> added;
        size_t next = 0;
        for (const Detail* detail : changed) {
            std::string fresh = lineOf(*detail);
            while (next < held.size() && (held[next].kept || held[next].column)) ++next;
            if (next < held.size() &&
                (kind == DetailKind::Address || kind == DetailKind::Website)) {
                for (std::string& line : changedRow(held[next], fresh)) added.push_back(line);
                ++next;
            } else {
                added.push_back(std::move(fresh));
            }
        }
        // The phone's own lines of that kind (a number or mail column holds none of them) and
        // the kept ones, with their groups, unless the user left them.
        auto leftAsItWas = [&held](const std::string& line) {
            return std::any_of(held.begin(), held.end(), [&](const HeldRow& row) {
                return row.kept &&
                       (row.line == line || std::find(row.groupLines.begin(), row.groupLines.end(),
                                                      line) != row.groupLines.end());
            });
        };
        std::erase_if(columns, [&](const std::string& column) {
            return columnKind(column) == ColumnKind::Other && holds(column, kind) &&
                   !leftAsItWas(column);
        });
        std::vector<std::string> gone;
        for (const HeldRow& row : held)
            if (!row.kept && !row.column && !groupOf(row.line).empty())
                gone.push_back(groupOf(row.line));
        std::erase_if(extras, [&](const std::string& extra) {
            if (leftAsItWas(extra)) return false;
            if (holds(extra, kind)) return true;
            std::string group = groupOf(extra);
            return !group.empty() && std::find(gone.begin(), gone.end(), group) != gone.end();
        });
        extras.insert(extras.end(), keptPhotos.begin(), keptPhotos.end());
        extras.insert(extras.end(), added.begin(), added.end());
    }
    updateEntry(connection, id, columns);
    writeExtras(connection, id, extras);
    transaction.commit();
    return true;
}

}  // namespace tsunagi
