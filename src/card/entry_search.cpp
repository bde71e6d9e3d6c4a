#include "card/entry_search.h"

#include <algorithm>

#include "card/card_view.h"
#include "card/checks.h"
#include "card/dialect.h"
#include "card/unicode.h"
#include "store/entries.h"

namespace tsunagi {

namespace {

// What a search looks through, each value apart so that a match never spans two of them.
std::string searchText(const CardView& card) {
    std::string text;
    auto add = [&text](std::string_view value) {
        text += searchKey(value);
        text += '\n';
    };
    if (card.name) add(*card.name);
    if (card.reading) add(*card.reading);
    for (const NumberPiece& number : card.numbers) {
        add(number.value);
        if (std::optional<std::string> digits = dialledDigits(number.value)) add(*digits);
    }
    for (const MailPiece& mail : card.mails) add(mail.value);
    return text;
}

}  // namespace

std::vector<SearchEntry> readSearchEntries(const Store& store) {
    std::vector<SearchEntry> entries;
    Connection connection = store.open();
    forEachEntry(connection, [&](const EntryRow& row) {
        entries.push_back({row.id, searchText(readCard(row))});
    });
    return entries;
}

SearchQuery searchQueryOf(std::string_view typed) {
    SearchQuery query{searchKey(typed), ""};
    // A number typed in any form finds the number by the digits the phone dials; a part of a
    // number ("1111") is digits too.
    std::string number = asciiNumber(typed);
    bool digitsOnly =
        std::any_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
        number.find_first_not_of("0123456789+-() .") == std::string::npos;
    if (digitsOnly)
        if (std::optional<std::string> digits = dialledDigits(number)) query.digits = *digits;
    return query;
}

bool entryMatches(const SearchEntry& entry, const SearchQuery& query) {
    return query.key.empty() || entry.key.find(query.key) != std::string::npos ||
           (!query.digits.empty() && entry.key.find(query.digits) != std::string::npos);
}

std::string entrySummary(const Store& store, std::int64_t id) {
    Connection connection = store.open();
    std::optional<EntryRow> row = readEntry(connection, id);
    if (!row) return "";
    CardView card = readCard(*row);
    std::string text = card.name ? shownName(*card.name) : "（名前なし）";
    if (card.reading) text += "\n" + shownName(*card.reading);
    for (const NumberPiece& number : card.numbers)
        if (!number.value.empty())
            text += "\n" + std::string(numberClassWord(number.type)) + "：" + number.value;
    for (const MailPiece& mail : card.mails)
        if (!mail.value.empty())
            text += std::string("\n") + (mail.type == MailClass::Cell ? "携帯" : "PC") + "：" +
                    mail.value;
    return text;
}

}  // namespace tsunagi
